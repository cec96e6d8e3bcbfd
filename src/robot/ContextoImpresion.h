#pragma once

#include "AjustesTienda.h"
#include "BaseTienda.h"
#include "ComandosFiscales.h"
#include "Configuracion.h"
#include "ControlRobot.h"
#include "EnlaceImpresora.h"
#include "Pantalla.h"

// Everything a printing run works with, owned by the robot thread. The runs
// keep no other state between calls except their own members.
struct ContextoImpresion {
    EnlaceImpresora& enlace;
    ComandosFiscales& comandos;
    BaseTienda& tienda;
    Pantalla& pantalla;
    // Settings of Vendrix.inf; a run may switch some off for the rest of the
    // program (the vehicle installation does so).
    Configuracion& config;
    const AjustesTienda& ajustesTienda;
    ControlRobot& control;
    QString rutaPrograma; // holds Log.log and the credit-note marker
};
