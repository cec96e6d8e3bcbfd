#include "DocumentoImpreso.h"

#include <QJsonArray>
#include <QMap>

QList<DocumentoImpreso::Articulo> DocumentoImpreso::articulos() const
{
    QList<Articulo> r;
    for (const Renglon& g : renglones)
        if (g.clase == Renglon::Clase::Articulo)
            r.append(g.articulo);
    return r;
}

QStringList DocumentoImpreso::lineas() const
{
    QStringList r;
    for (const Renglon& g : renglones)
        if (g.clase == Renglon::Clase::Texto)
            r.append(g.texto);
    return r;
}

bool DocumentoImpreso::esFiscal() const
{
    return tipo == Tipo::Factura || tipo == Tipo::NotaCredito;
}

qint64 DocumentoImpreso::Importe(const Articulo& a)
{
    // Quantity and price are bounded by the item checks, so this cannot overflow.
    return (a.cantidad * a.precio + 500) / 1000;
}

QList<DocumentoImpreso::Impuesto> DocumentoImpreso::impuestos() const
{
    QMap<int, qint64> bases;
    for (const Articulo& a : articulos())
        bases[a.tasa] += Importe(a);
    QList<Impuesto> r;
    for (auto it = bases.cbegin(); it != bases.cend(); ++it)
        r.append(Impuesto{it.key(), it.value(), (it.value() * it.key() + 5000) / 10000});
    return r;
}

qint64 DocumentoImpreso::sumaArticulos() const
{
    qint64 s = 0;
    for (const Impuesto& i : impuestos())
        s += i.base + i.iva;
    return s;
}

QString DocumentoImpreso::NombreTipo(Tipo t)
{
    switch (t) {
    case Tipo::Factura:
        return QStringLiteral("factura");
    case Tipo::NotaCredito:
        return QStringLiteral("nota_credito");
    case Tipo::NoFiscal:
        return QStringLiteral("no_fiscal");
    case Tipo::CierreX:
        return QStringLiteral("cierre_x");
    case Tipo::CierreZ:
        return QStringLiteral("cierre_z");
    case Tipo::Reporte:
        return QStringLiteral("reporte");
    case Tipo::Anulado:
        return QStringLiteral("anulado");
    }
    return QString();
}

QJsonObject DocumentoImpreso::Json() const
{
    QJsonArray items;
    for (const Articulo& a : articulos()) {
        items.append(QJsonObject{{"descripcion", a.descripcion},
                                 {"cantidad", double(a.cantidad) / 1000.0},
                                 {"precio", double(a.precio) / 100.0},
                                 {"tasa", double(a.tasa) / 100.0}});
    }
    QJsonObject o{{"tipo", NombreTipo(tipo)},
                  {"numero", numero},
                  {"cliente", cliente},
                  {"rif", rif},
                  {"factura_afectada", facturaAfectada},
                  {"fecha_factura", fechaFactura},
                  {"serial", serial},
                  {"items", items},
                  {"lineas", QJsonArray::fromStringList(lineas())},
                  {"total", double(total) / 100.0},
                  {"z", z},
                  {"hora", hora.toString(Qt::ISODate)}};
    if (tipo == Tipo::Anulado)
        o.insert("documento_anulado", NombreTipo(anuladoDe));
    return o;
}
