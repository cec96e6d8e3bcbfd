#pragma once

#include "tienda/AjustesRobot.h"

#include <QLockFile>
#include <QString>
#include <QStringList>
#include <memory>

// Start-up before the robot runs: the program's folder, the marker file,
// Vendrix.inf, the data folder and its maintenance marker, the databases,
// the printer's port and the single-instance lock, in that order. Every bad
// input ends with a message that names the file, folder or value; only a
// second copy that runs in the same folder ends silently.
class Arranque
{
public:
    enum class Fin { Seguir, Mensaje, Silencio };

    // Exit statuses of the program.
    static constexpr int kSalidaNormal = 0;
    static constexpr int kSalidaMensaje = 1;  // ended after a message to the operator
    static constexpr int kSalidaSegundaCopia = 3;

    // How long start-up waits for a shop database that another program has
    // locked before it says so.
    static constexpr int kEsperaBloqueoMs = 10000;

    struct Resultado {
        Fin fin = Fin::Seguir;
        QString mensaje;
        int codigoSalida = kSalidaNormal;
        AjustesRobot ajustes;
        std::unique_ptr<QLockFile> candado; // held for the program's life
        // Found but no reason to stop (a printer port absent for now): for the log.
        QStringList avisos;
    };

    static Resultado Form_Load(const QString& rutaPrograma, int esperaBloqueoMs = kEsperaBloqueoMs);

    // True when a normal file (not a folder, not hidden) of that name exists.
    static bool ChequeoExistenciaArchivo(const QString& archivo);

    // Whether `dispositivo` opens as a serial port: an empty text when it
    // does, else why not. A device that does not exist (an unplugged USB
    // adapter) is not refused: `ausente` is set and the text says so.
    static QString ProbarPuerto(const QString& dispositivo, bool* ausente = nullptr);

    static constexpr char kMensajeMantenimiento[] =
        "El servidor parece estar en mantenimiento. Por favor verifique e intente de nuevo más "
        "tarde.";
};
