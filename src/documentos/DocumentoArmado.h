#pragma once

#include <QByteArray>
#include <QList>

// One line of a document between its opening and its closing: a bare
// command, the stage a failure on it names, and whether the printer's own
// refusal of it is answered by sending it again (the invoice's items).
struct LineaDocumento {
    QByteArray Comando;
    double Etapa = 0;
    bool Reenviable = false;
};

// A fiscal document with every command built, before anything is sent: a
// value that cannot be printed stops the run while nothing is open.
struct DocumentoArmado {
    qlonglong Codigo = 0;
    QByteArray Apertura;          // "@": opens the document
    double EtapaRechazo = 0;      // the stage named when the printer refuses the opening
    QList<LineaDocumento> Lineas; // items, text lines, the end of the items
};
