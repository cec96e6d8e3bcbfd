#pragma once

#include "ContextoImpresion.h"

// Prints the first pending invoice and writes the printer's numbers back.
class ImpresionFactura
{
public:
    explicit ImpresionFactura(ContextoImpresion& contexto);
    void ImprimirFactura();

private:
    ContextoImpresion& ctx_;
};
