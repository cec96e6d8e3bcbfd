#pragma once

#include "DatosEncabezado.h"

#include <QSqlRecord>
#include <optional>

class CorridaFactura;

// The item lines of the invoice with their continuation lines and re-sends,
// the end of the items, and the closing text lines the installation asks for.
class ArticulosFactura
{
  public:
    ArticulosFactura(CorridaFactura& corrida, const DatosEncabezado& datos);

    // Items, the separator item, the end of items. False: the run must give
    // up at the stage the run shows.
    bool ImprimirArticulos(qlonglong venta);
    // Vehicle, address, phone and payment-condition lines.
    void ImprimirLineasFinales();

    // Re-sends of refused items allowed in one invoice, all items together.
    static constexpr int kReintentosMaximos = 3;

  private:
    // False on a Null field or an amount the printer cannot take.
    bool ImprimirArticulo(const QSqlRecord& linea, bool& continuo);
    std::optional<QString> Descripcion(const QSqlRecord& linea) const;
    std::optional<double> Cantidad(const QSqlRecord& linea) const;
    // Text lines with the rest of a long description; true when it printed any.
    bool Continuaciones(const QString& descripcion);
    void Separador();

    CorridaFactura& corrida_;
    const DatosEncabezado& datos_;
    int ancho_ = 0;      // description characters per item line
    int reintentos_ = 0; // shared by all the items of the invoice
};
