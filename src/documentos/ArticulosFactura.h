#pragma once

#include "documentos/DatosEncabezado.h"

#include <QList>
#include <QSqlRecord>
#include <optional>

class ArmadoFactura;

// The item lines of the invoice with their continuation lines, the end of
// the items, and the closing text lines the installation asks for.
class ArticulosFactura
{
  public:
    ArticulosFactura(ArmadoFactura& armado, const DatosEncabezado& datos);

    // Items (each sent again if the printer refuses it), the separator item,
    // the end of items. False: a field cannot be printed (the builder names it).
    bool ArmarArticulos(const QList<QSqlRecord>& lineas);
    // Vehicle, address, phone and payment-condition lines.
    void ArmarLineasFinales();

  private:
    // False on a Null field or an amount the printer cannot take.
    bool ArmarArticulo(const QSqlRecord& linea, bool& continuo);
    std::optional<QString> Descripcion(const QSqlRecord& linea) const;
    std::optional<double> Cantidad(const QSqlRecord& linea) const;
    // Text lines with the rest of a long description; true when it printed any.
    bool Continuaciones(const QString& descripcion);
    void Separador();

    ArmadoFactura& corrida_;
    const DatosEncabezado& datos_;
    int ancho_ = 0; // description characters per item line
};
