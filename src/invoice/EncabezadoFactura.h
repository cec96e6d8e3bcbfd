#pragma once

#include "DatosEncabezado.h"

#include <QSqlRecord>
#include <QVariant>
#include <optional>

class CorridaFactura;

// Opens the fiscal invoice with the customer's name and RIF, prints the
// optional header lines and collects what the items need.
class EncabezadoFactura
{
  public:
    explicit EncabezadoFactura(CorridaFactura& corrida);

    // nullopt: the run must give up at the stage the run shows.
    std::optional<DatosEncabezado> Imprimir(const QSqlRecord& venta);

    static VarianteInstalacion Variante(const QString& registro);
    // The words for a payment-means code; empty for any other value.
    static QString TextoMedioPago(const QVariant& codigo);

  private:
    bool AbrirFactura(const QSqlRecord& venta);
    bool LeerValores(const QSqlRecord& venta);
    void LineasNombre(const QSqlRecord& venta);
    QString TextoOrden(const QSqlRecord& venta) const;
    bool LineasOpcionales(const QSqlRecord& venta, const QString& orden);
    void LineasVehiculo(const QSqlRecord& venta);

    CorridaFactura& corrida_;
    DatosEncabezado datos_;
    bool vehiculos_ = false;
    int lineasEncabezado_ = 0; // optional lines under the opening, three at most
};
