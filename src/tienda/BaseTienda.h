#pragma once

#include "tienda/BaseDatos.h"

#include <QSqlRecord>

#include <optional>

// The shop database ("Base de Datos.dba", or the shop's database on a
// PostgreSQL server): company settings, the pending invoices and credit notes
// of a till, the documents to print, and the printed marks written back.
// Every SQL text the robot uses on it is here, in both dialects.
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

    // The write-backs below each change the document's own row only, in a
    // transaction of their own (see BaseDatos::ActualizarFila).
    // A printed invoice: Factura = Control = numero, Impresa true, Imprimir false.
    Actualizacion EscribirFactura(qlonglong codigo, const QString& numero, qlonglong numeroZ);
    // An invoice found closed on the printer by an interrupted run: marked
    // printed without a number, MáquinaFiscal 0.
    Actualizacion RecuperarFactura(qlonglong codigo, qlonglong numeroZ);
    // A printed credit note: Número = Control = numero, Impresa true, Imprimir false.
    Actualizacion EscribirNota(qlonglong codigo, const QString& numero, qlonglong numeroZ);
    // A credit note found closed on the printer by an interrupted run: marked
    // printed like a recovered invoice, Número and Control left as they are.
    Actualizacion RecuperarNota(qlonglong codigo, qlonglong numeroZ);

    // How the engine runs the two pending queries (for checks and
    // measurements); see BaseDatos::Plan for `soloIndices`.
    QStringList PlanPendientes(int caja, bool soloIndices = false);
};
