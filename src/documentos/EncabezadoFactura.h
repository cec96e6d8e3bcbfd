#pragma once

#include "documentos/DatosEncabezado.h"

#include <QSqlRecord>
#include <QVariant>
#include <optional>

class ArmadoFactura;

// The command that opens the fiscal invoice with the customer's name and
// RIF, the optional header lines, and what the items need.
class EncabezadoFactura
{
  public:
    explicit EncabezadoFactura(ArmadoFactura& armado);

    // nullopt: a field cannot be printed (the builder names it).
    std::optional<DatosEncabezado> Armar(const QSqlRecord& venta);

    static VarianteInstalacion Variante(const QString& registro);
    // The words for a payment-means code; empty for any other value.
    static QString TextoMedioPago(const QVariant& codigo);

  private:
    bool AbrirFactura(const QSqlRecord& venta);
    bool LeerValores(const QSqlRecord& venta);
    void LineasNombre(const QSqlRecord& venta);
    QString TextoOrden(const QSqlRecord& venta) const;
    void LineasOpcionales(const QSqlRecord& venta, const QString& orden);
    void LineasVehiculo(const QSqlRecord& venta);

    ArmadoFactura& corrida_;
    DatosEncabezado datos_;
    bool vehiculos_ = false;
    int lineasEncabezado_ = 0; // optional lines under the opening, three at most
};
