#include "documentos/ArmadoNotaCredito.h"

#include "comun/CodigoPagina.h"
#include "comun/Conversiones.h"
#include "comun/Texto.h"
#include "impresora/ComandosFiscales.h"
#include "impresora/Protocolo.h"

#include <QDate>
#include <QDateTime>
#include <QVariant>

#include <cmath>

namespace
{
const QByteArray kDel(1, Protocolo::DEL);

QByteArray LineaTexto(const QString& texto)
{
    return ComandosFiscales::Armar('A', {CodigoPagina::ABytes(texto), kDel});
}

QByteArray Articulo(const QString& descripcion, const QString& cantidad, const QString& precio,
                    const QString& tasa)
{
    return ComandosFiscales::Armar('B',
                                   {CodigoPagina::ABytes(descripcion), cantidad.toLatin1(),
                                    precio.toLatin1(), tasa.toLatin1(), "M", kDel, kDel, kDel});
}

std::optional<double> Numero(const QVariant& v)
{
    if (v.isNull())
        return std::nullopt;
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (!ok || !std::isfinite(d))
        return std::nullopt;
    return d;
}

// "FechaVenta" as mmddyyyy; empty for a Null; nullopt when it is no date.
// The shop stores dates as ISO text, possibly with a time after the date.
std::optional<QString> FechaFactura(const QVariant& v)
{
    if (v.isNull())
        return QString();
    QDate fecha;
    const int tipo = v.metaType().id();
    if (tipo == QMetaType::QDate || tipo == QMetaType::QDateTime) {
        fecha = v.toDate();
    } else {
        const QString t = Texto::Recortado(Conversiones::TextoDeBase(v.toString()));
        if (t.isEmpty())
            return QString();
        fecha = QDate::fromString(t.left(10), QStringLiteral("yyyy-MM-dd"));
    }
    if (!fecha.isValid())
        return std::nullopt;
    return fecha.toString(QStringLiteral("MMddyyyy"));
}

// The failure of a field, for the operator.
QString Falla(const QString& campo, const QString& donde, bool vacio)
{
    return QStringLiteral("El campo \"%1\"%2 %3.")
        .arg(campo, donde,
             vacio ? QStringLiteral("está vacío")
                   : QStringLiteral("no tiene un valor que se pueda imprimir"));
}

// A text of the database as the printer fields count it, trimmed.
QString Recortado(const QVariant& v)
{
    return Texto::Recortado(Conversiones::TextoDeBase(v.toString()));
}

// The header's values, read and converted; a failure leaves its text.
struct Cabecera {
    QString nombreGuardado; // as stored: the first text line cuts it untrimmed
    QString nombre;
    QString rif;
    QString factura;
    QString fecha;
    QString campoTasa;
    double monto = 0;
    double montoExcento = 0;
    QString direccion;
    QString falla;
};

Cabecera LeerCabecera(const QSqlRecord& nota, const QString& deNota)
{
    Cabecera h;
    // The ones the document always reads must not be Null.
    for (const char* campo : {"NombreCliente", "Rif"})
        if (nota.value(QString::fromUtf8(campo)).isNull()) {
            h.falla = Falla(QString::fromUtf8(campo), deNota, true);
            return h;
        }
    h.nombreGuardado =
        Conversiones::TextoDeBase(nota.value(QStringLiteral("NombreCliente")).toString());
    h.nombre = Texto::Recortado(h.nombreGuardado);
    h.rif = Recortado(nota.value(QStringLiteral("Rif")));
    const QVariant factura = nota.value(QStringLiteral("factura"));
    h.factura = factura.isNull() ? QString() : Recortado(factura);
    const std::optional<QString> fecha = FechaFactura(nota.value(QStringLiteral("FechaVenta")));
    if (!fecha) {
        h.falla = Falla(QStringLiteral("FechaVenta"), deNota, false);
        return h;
    }
    h.fecha = *fecha;
    double tasa = 0;
    double* const destinos[3] = {&tasa, &h.monto, &h.montoExcento};
    const QString campos[3] = {QStringLiteral("PorcentImpuesto"), QStringLiteral("Monto"),
                               QStringLiteral("MontoExcento")};
    for (int i = 0; i < 3; ++i) {
        const QVariant v = nota.value(campos[i]);
        const std::optional<double> n = Numero(v);
        if (!n) {
            h.falla = Falla(campos[i], deNota, v.isNull());
            return h;
        }
        *destinos[i] = *n;
    }
    h.campoTasa = Conversiones::CampoTasa(tasa, false);
    if (h.campoTasa.isEmpty())
        h.falla = Falla(campos[0], deNota, false);
    else if (nota.value(QStringLiteral("Dirección")).isNull())
        h.falla = Falla(QStringLiteral("Dirección"), deNota, true);
    h.direccion = Conversiones::LimpioCadena(
        Conversiones::TextoDeBase(nota.value(QStringLiteral("Dirección")).toString()));
    return h;
}
// A note without lines is a discount on the whole invoice: one item for the
// taxed amount, one for the exempt one. A non-empty text is the failure.
QString Descuentos(const ArmadoNotaCredito::Ajustes& a, const Cabecera& h, const QString& deNota,
                   QList<QByteArray>& articulos)
{
    const struct {
        double monto;
        const char* campo;
        QString tasa;
    } partes[] = {{h.monto, "Monto", h.campoTasa}, {h.montoExcento, "MontoExcento", "0000"}};
    for (const auto& p : partes) {
        if (p.monto <= 0)
            continue;
        const QString precio = Conversiones::Cifras(p.monto);
        if (precio.isEmpty())
            return Falla(QString::fromLatin1(p.campo), deNota, false);
        articulos << Articulo(a.TextoDescuento, QStringLiteral("1000"), precio, p.tasa);
    }
    return QString();
}

// The item of one line of the note; a non-empty text is the failure.
QString ArticuloDeLinea(const ArmadoNotaCredito::Ajustes& a, const QSqlRecord& linea,
                        const QString& donde, const QString& campoTasa,
                        QList<QByteArray>& articulos)
{
    // Mode 0 reads "Cantidad" like mode 1: a zero quantity is never right.
    const QString nombreCantidad =
        a.ModoCantidad >= 2 ? QStringLiteral("CantDec") : QStringLiteral("Cantidad");
    const QVariant cantidadGuardada = linea.value(nombreCantidad);
    const std::optional<double> cantidad = Numero(cantidadGuardada);
    const QString campoCantidad = cantidad ? Conversiones::CampoCantidad(*cantidad) : QString();
    if (campoCantidad.isEmpty())
        return Falla(nombreCantidad, donde, cantidadGuardada.isNull());
    const QVariant precioGuardado = linea.value(QStringLiteral("Precio"));
    const std::optional<double> precio = Numero(precioGuardado);
    const QString campoPrecio = precio ? Conversiones::CampoPrecio(*precio) : QString();
    if (campoPrecio.isEmpty())
        return Falla(QStringLiteral("Precio"), donde, precioGuardado.isNull());

    const QVariant nombreProducto = linea.value(QStringLiteral("Nombre"));
    QString descripcion;
    if (a.CodProd) {
        descripcion = Recortado(linea.value(QStringLiteral("COD_PROD"))) + QLatin1Char(' ') +
                      Recortado(nombreProducto);
    } else {
        if (nombreProducto.isNull())
            return Falla(QStringLiteral("Nombre"), donde, true);
        descripcion = Recortado(nombreProducto);
    }
    // Cut to the width: a credit note prints no continuation lines.
    descripcion =
        Conversiones::LimpioCadena(Texto::Recortado(Texto::Izquierda(descripcion, a.AnchoNota)));
    const QVariant exento = linea.value(QStringLiteral("ExcentoImpuesto"));
    const bool esExento = exento.isNull() || Numero(exento).value_or(exento.toBool()) != 0;
    articulos << Articulo(descripcion, campoCantidad, campoPrecio,
                          esExento ? QStringLiteral("0000") : campoTasa);
    return QString();
}
} // namespace

QString ArmadoNotaCredito::TextoDescuento(bool columnas80)
{
    return columnas80 ? QStringLiteral("Descuento aplicado a factura")
                      : QStringLiteral("Descuento aplicado");
}

int ArmadoNotaCredito::AnchoNota(bool columnas80)
{
    return columnas80 ? 39 : 19;
}

ArmadoNotaCredito::Resultado ArmadoNotaCredito::Armar(const Ajustes& a, qlonglong codigo,
                                                      const QSqlRecord& nota,
                                                      const QList<QSqlRecord>& lineas)
{
    const QString deNota =
        QStringLiteral(" de la nota") + Texto::NumeroConSigno(static_cast<double>(codigo));
    const Cabecera h = LeerCabecera(nota, deNota);
    if (!h.falla.isEmpty())
        return {std::nullopt, h.falla};

    Comandos c;
    c.Apertura = ComandosFiscales::Armar(
        '@', {CodigoPagina::ABytes(Conversiones::LimpioCadena(Texto::Izquierda(h.nombre, 38))),
              CodigoPagina::ABytes(
                  Texto::Izquierda(Texto::Recortado(Conversiones::LimpioRif(h.rif)), 13)),
              CodigoPagina::ABytes(h.factura), CodigoPagina::ABytes(a.Serial),
              CodigoPagina::ABytes(h.fecha), "1200", "D", kDel});
    // The opening holds 38 characters of the name; a longer one is printed
    // again in full on up to two text lines.
    if (h.nombre.size() > 38) {
        c.Nombre << LineaTexto(
            Conversiones::LimpioCadena(Texto::Recortado(Texto::Izquierda(h.nombreGuardado, 39))));
        if (h.nombre.size() > 39)
            c.Nombre << LineaTexto(Conversiones::LimpioCadena(Texto::Medio(h.nombre, 40, 39)));
    }
    QString falla = lineas.isEmpty() ? Descuentos(a, h, deNota, c.Articulos) : QString();
    for (qsizetype i = 0; i < lineas.size() && falla.isEmpty(); ++i)
        falla =
            ArticuloDeLinea(a, lineas.at(i), QStringLiteral(" de la línea %1").arg(i + 1) + deNota,
                            h.campoTasa, c.Articulos);
    if (!falla.isEmpty())
        return {std::nullopt, falla};
    if (a.Direccion && !h.direccion.isEmpty()) {
        c.Direccion << LineaTexto(Conversiones::LimpioCadena(
            QStringLiteral("DIRECCION: ") + Texto::Recortado(Texto::Izquierda(h.direccion, 28))));
        if (h.direccion.size() > 28)
            c.Direccion << LineaTexto(
                Conversiones::LimpioCadena(Texto::Recortado(Texto::Medio(h.direccion, 29, 39))));
    }
    return {std::move(c), QString()};
}
