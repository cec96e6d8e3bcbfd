#pragma once

#include "BaseDatos.h"

#include <QSqlRecord>

#include <optional>

// The shop database ("Base de Datos.dba"): company settings, the pending
// invoices and credit notes of a till, the documents to print, and the
// printed marks written back. Every SQL text the robot uses on it is here.
class BaseTienda : public BaseDatos
{
  public:
    explicit BaseTienda(const QString& conexion = QStringLiteral("rovend.tienda"));

    QStringList Verificar() override;

    // Pending documents of a till, lowest Código first.
    std::optional<QList<Pendiente>> FacturasPendientes(int caja);
    std::optional<QList<Pendiente>> NotasPendientes(int caja);

    // First row of [Configuración]; nullopt when it cannot be read or is empty.
    std::optional<QSqlRecord> ConfiguracionTienda();

    // Reads: nullopt when the query failed, an empty list when nothing matched.
    std::optional<QList<QSqlRecord>> Venta(qlonglong codigo);
    std::optional<QList<QSqlRecord>> LineasVenta(qlonglong venta);
    std::optional<QList<QSqlRecord>> NotaCredito(qlonglong codigo);
    std::optional<QList<QSqlRecord>> LineasNota(qlonglong nota);

    // A printed invoice: Factura = Control = numero, Impresa -1, Imprimir 0.
    Actualizacion EscribirFactura(qlonglong codigo, const QString& numero, qlonglong numeroZ);
    // An invoice found closed on the printer by an interrupted run: marked
    // printed without a number, MáquinaFiscal 0.
    Actualizacion RecuperarFactura(qlonglong codigo, qlonglong numeroZ);
    // A printed credit note: Número = Control = numero, Impresa -1, Imprimir 0.
    Actualizacion EscribirNota(qlonglong codigo, const QString& numero, qlonglong numeroZ);

    // How SQLite runs the two pending queries (for checks and measurements).
    QStringList PlanPendientes(int caja);
};
