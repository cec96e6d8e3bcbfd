#pragma once

#include <QSqlRecord>
#include <QString>

// The shop-wide settings read from the first row of [Configuración] at the
// first activation.
struct AjustesTienda {
    QString DireccionServidor;
    int PuertoServidor = 0;
    bool ModoSoloServicio = false;
    QString RifCompania;
    // 0 neither (also when either field is Null), 1 VerCantidad only,
    // 2 VerCantidadDecimal only, 3 both.
    int ModoCantidad = 0;

    static AjustesTienda Desde(const QSqlRecord& fila);
    static int CalcularModoCantidad(const QVariant& verCantidad, const QVariant& verCantidadDecimal);
};
