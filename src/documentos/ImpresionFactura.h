#pragma once

#include "documentos/ContextoImpresion.h"
#include "documentos/CorridaDocumento.h"
#include "documentos/ResultadoCorrida.h"

#include <QString>

// Prints one pending invoice: its recovery when the marker names it,
// otherwise the sale and its lines read, the invoice built whole, then the
// shared run.
class ImpresionFactura
{
  public:
    explicit ImpresionFactura(ContextoImpresion& contexto);
    // `codigo`: the first pending invoice of the engine's fresh list.
    ResultadoCorrida ImprimirFactura(qlonglong codigo);

    static constexpr char kArchivoMarca[] = "Log.log";

  private:
    // The operator's message for a run that stops: with the stage and the
    // last exchange, or a message of its own.
    ResultadoCorrida Detenido(const CorridaDocumento& corrida, const CorridaDocumento::Fin& fin);

    ContextoImpresion& ctx_;
};
