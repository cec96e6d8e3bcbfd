#pragma once

#include "tienda/BaseDatos.h"

#include <QDate>

// The robot's local database ("VendrixFiscal.dba"): the non-fiscal tickets
// waiting for this till, and their purge at start-up.
class BaseLocal : public BaseDatos
{
  public:
    explicit BaseLocal(const QString& conexion = QStringLiteral("rovend.local"));

    QStringList Verificar() override;

    // Pending tickets of a till, lowest Código first.
    std::optional<QList<Pendiente>> TiketsPendientes(int caja);
    // Deletes the tickets dated before `hoy`; today's stay.
    Actualizacion PurgarTikets(const QDate& hoy);

    QStringList PlanPendientes(int caja);
};
