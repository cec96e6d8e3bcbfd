#pragma once

#include "documentos/BitacoraCorrida.h"
#include "impresora/ComandosFiscales.h"
#include "impresora/EnlaceImpresora.h"
#include "impresora/HechosImpresora.h"
#include "tienda/AjustesTienda.h"
#include "tienda/BaseTienda.h"
#include "tienda/Configuracion.h"

// Everything a printing run works with, owned by the robot thread. The
// settings are read-only here; the printer's facts are the engine's, which
// the run keeps up to date from the replies it reads.
struct ContextoImpresion {
    EnlaceImpresora& enlace;
    ComandosFiscales& comandos;
    BaseTienda& tienda;
    const Configuracion& config;
    const AjustesTienda& ajustesTienda;
    HechosImpresora& hechos;
    BitacoraCorrida& bitacora;
    QString rutaPrograma; // holds Log.log and the credit-note marker
};
