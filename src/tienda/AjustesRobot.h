#pragma once

#include "tienda/Configuracion.h"
#include "impresora/Tiempos.h"

#include <QString>

// What start-up hands to the robot: the settings and the resolved paths.
struct AjustesRobot {
    Configuracion config;
    QString dispositivo;   // serial device resolved from the Puerto setting
    QString rutaPrograma;
    QString rutaBaseDatos; // file paths as this platform writes them
    QString rutaBaseLocal;
    Tiempos tiempos;
};
