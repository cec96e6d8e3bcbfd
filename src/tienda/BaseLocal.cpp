#include "tienda/BaseLocal.h"

namespace
{
// Imprimir <> 0 AND Impresa = 0 match the partial index of the schema.
const QString kTiketsPendientes =
    QStringLiteral("SELECT Código, 'Documento: ' || Otro2 AS VistaEspecial "
                   "FROM [Consulta TiketNoFiscal] "
                   "WHERE Imprimir <> 0 AND Impresa = 0 AND Caja = ? "
                   "ORDER BY Código");
} // namespace

BaseLocal::BaseLocal(const QString& conexion) : BaseDatos(conexion) {}

QStringList BaseLocal::Verificar()
{
    return VerificarObjetos({
        {QStringLiteral("TiketNoFiscal"), {QStringLiteral("Fecha")}},
        {QStringLiteral("Consulta TiketNoFiscal"),
         {QStringLiteral("Código"), QStringLiteral("Otro2"), QStringLiteral("Fecha"),
          QStringLiteral("Imprimir"), QStringLiteral("Impresa"), QStringLiteral("Caja")}},
    });
}

std::optional<QList<Pendiente>> BaseLocal::TiketsPendientes(int caja)
{
    return ConsultarPendientes(kTiketsPendientes, caja);
}

Actualizacion BaseLocal::PurgarTikets(const QDate& hoy)
{
    // Dates are ISO text, so the text order is the date order.
    return Ejecutar(QStringLiteral("DELETE FROM [TiketNoFiscal] WHERE Fecha < ?"),
                    {hoy.toString(Qt::ISODate)});
}

QStringList BaseLocal::PlanPendientes(int caja)
{
    return Plan(kTiketsPendientes, {caja});
}
