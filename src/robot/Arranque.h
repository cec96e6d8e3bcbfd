#pragma once

#include "AjustesRobot.h"

#include <QLockFile>
#include <QString>
#include <memory>

// Start-up before the robot runs: the program's folder, the marker file,
// Vendrix.inf, the maintenance marker, the databases, the port setting and
// the single-instance lock, in that order. Every bad input ends with a
// message that names the file or value; a second copy ends silently.
class Arranque
{
public:
    enum class Fin { Seguir, Mensaje, Silencio };

    // Exit statuses of the program.
    static constexpr int kSalidaNormal = 0;
    static constexpr int kSalidaMensaje = 1;  // ended after a message to the operator
    static constexpr int kSalidaSegundaCopia = 3;

    struct Resultado {
        Fin fin = Fin::Seguir;
        QString mensaje;
        int codigoSalida = kSalidaNormal;
        AjustesRobot ajustes;
        std::unique_ptr<QLockFile> candado; // held for the program's life
    };

    static Resultado Form_Load(const QString& rutaPrograma);

    // True when a normal file (not a folder, not hidden) of that name exists.
    static bool ChequeoExistenciaArchivo(const QString& archivo);

    static constexpr char kMensajeMantenimiento[] =
        "El servidor parece estar en mantenimiento. Por favor verifique e intente de nuevo más "
        "tarde.";
};
