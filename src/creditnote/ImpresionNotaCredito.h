#pragma once

#include "ContextoImpresion.h"

// Prints the first pending credit note and writes the printer's number back.
class ImpresionNotaCredito
{
public:
    explicit ImpresionNotaCredito(ContextoImpresion& contexto);
    void ImprimirNotaCredito();

private:
    ContextoImpresion& ctx_;
};
