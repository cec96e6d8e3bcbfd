#include "tienda/AjustesTienda.h"

#include "comun/Texto.h"

#include <QVariant>

namespace {
// Booleans are integers: 0 false, anything else true; Null is false.
bool verdad(const QVariant& v) { return !v.isNull() && v.toLongLong() != 0; }
} // namespace

int AjustesTienda::CalcularModoCantidad(const QVariant& verCantidad, const QVariant& verCantidadDecimal)
{
    if (verCantidad.isNull() || verCantidadDecimal.isNull())
        return 0;
    const bool entera = verdad(verCantidad);
    const bool decimal = verdad(verCantidadDecimal);
    if (entera && decimal)
        return 3;
    if (decimal)
        return 2;
    return entera ? 1 : 0;
}

AjustesTienda AjustesTienda::Desde(const QSqlRecord& fila)
{
    AjustesTienda a;
    a.DireccionServidor = fila.value(QStringLiteral("ipServidor")).toString();
    a.PuertoServidor = int(Texto::ValorInicial(fila.value(QStringLiteral("PuertoServicio")).toString()));
    a.ModoSoloServicio = verdad(fila.value(QStringLiteral("ModoSoloServicio")));
    a.RifCompania = fila.value(QStringLiteral("RIFCompañía")).toString();
    a.ModoCantidad = CalcularModoCantidad(fila.value(QStringLiteral("VerCantidad")),
                                          fila.value(QStringLiteral("VerCantidadDecimal")));
    return a;
}
