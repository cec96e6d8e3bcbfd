#pragma once

#include <QString>

// What the printer last told of itself, as the engine keeps it: the screen
// shows it (L(1), L(4), L(5), L(6)) and the runs read it from here, never
// back from a label.
struct HechosImpresora {
    QString Registro;      // registration number, from the greeting
    QString UltimaFactura; // last invoice number, "8" FS "N"
    QString UltimaZ;       // last daily closing, "8" FS "N"
    QString UltimaNota;    // last credit note, "0000" and the field of "8" FS "T"
    QString CodigoEstado;  // state code, "8" FS "T"
};
