#include "ImpresionNotaCredito.h"

ImpresionNotaCredito::ImpresionNotaCredito(ContextoImpresion& contexto) : ctx_(contexto) {}

void ImpresionNotaCredito::ImprimirNotaCredito() {}
