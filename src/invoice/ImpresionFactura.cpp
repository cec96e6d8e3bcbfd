#include "ImpresionFactura.h"

ImpresionFactura::ImpresionFactura(ContextoImpresion& contexto) : ctx_(contexto) {}

void ImpresionFactura::ImprimirFactura() {}
