#include "documentos/ArmadoNotaCredito.h"

#include "comun/CodigoPagina.h"
#include "impresora/ComandosFiscales.h"
#include "comun/Conversiones.h"
#include "impresora/Protocolo.h"
#include "comun/Texto.h"

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

ArmadoNotaCredito::Resultado Falla(const QString& campo, const QString& donde, bool vacio)
{
    return {std::nullopt,
            QStringLiteral("El campo \"%1\"%2 %3.")
                .arg(campo, donde,
                     vacio ? QStringLiteral("está vacío")
                           : QStringLiteral("no tiene un valor que se pueda imprimir"))};
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

    // Header values: the ones the document always reads must not be Null.
    const QVariant nombreGuardado = nota.value(QStringLiteral("NombreCliente"));
    if (nombreGuardado.isNull())
        return Falla(QStringLiteral("NombreCliente"), deNota, true);
    const QString nombre = Texto::Recortado(Conversiones::TextoDeBase(nombreGuardado.toString()));
    const QVariant rif = nota.value(QStringLiteral("Rif"));
    if (rif.isNull())
        return Falla(QStringLiteral("Rif"), deNota, true);
    const QVariant facturaGuardada = nota.value(QStringLiteral("factura"));
    const QString factura =
        facturaGuardada.isNull() ? QString() : Texto::Recortado(Conversiones::TextoDeBase(facturaGuardada.toString()));
    const std::optional<QString> fecha = FechaFactura(nota.value(QStringLiteral("FechaVenta")));
    if (!fecha)
        return Falla(QStringLiteral("FechaVenta"), deNota, false);

    std::optional<double> valores[3];
    const QString camposValor[3] = {QStringLiteral("PorcentImpuesto"), QStringLiteral("Monto"),
                                    QStringLiteral("MontoExcento")};
    for (int i = 0; i < 3; ++i) {
        const QVariant v = nota.value(camposValor[i]);
        valores[i] = Numero(v);
        if (!valores[i])
            return Falla(camposValor[i], deNota, v.isNull());
    }
    const double monto = *valores[1];
    const double montoExcento = *valores[2];
    const QString campoTasa = Conversiones::CampoTasa(*valores[0], false);
    if (campoTasa.isEmpty())
        return Falla(camposValor[0], deNota, false);

    const QVariant direccionGuardada = nota.value(QStringLiteral("Dirección"));
    if (direccionGuardada.isNull())
        return Falla(QStringLiteral("Dirección"), deNota, true);
    const QString direccion = Conversiones::LimpioCadena(Conversiones::TextoDeBase(direccionGuardada.toString()));

    Comandos c;
    c.Apertura = ComandosFiscales::Armar(
        '@', {CodigoPagina::ABytes(Conversiones::LimpioCadena(Texto::Izquierda(nombre, 38))),
              CodigoPagina::ABytes(
                  Texto::Izquierda(Texto::Recortado(Conversiones::LimpioRif(Conversiones::TextoDeBase(rif.toString()))), 13)),
              CodigoPagina::ABytes(factura), CodigoPagina::ABytes(a.Serial),
              CodigoPagina::ABytes(*fecha), "1200", "D", kDel});

    // The opening holds 38 characters of the name; a longer one is printed
    // again in full on up to two text lines.
    if (nombre.size() > 38) {
        c.Nombre << LineaTexto(Conversiones::LimpioCadena(
            Texto::Recortado(Texto::Izquierda(Conversiones::TextoDeBase(nombreGuardado.toString()), 39))));
        if (nombre.size() > 39)
            c.Nombre << LineaTexto(Conversiones::LimpioCadena(Texto::Medio(nombre, 40, 39)));
    }

    if (lineas.isEmpty()) {
        // A note without lines is a discount on the whole invoice.
        if (monto > 0) {
            const QString precio = Conversiones::Cifras(monto);
            if (precio.isEmpty())
                return Falla(camposValor[1], deNota, false);
            c.Articulos << Articulo(a.TextoDescuento, QStringLiteral("1000"), precio, campoTasa);
        }
        if (montoExcento > 0) {
            const QString precio = Conversiones::Cifras(montoExcento);
            if (precio.isEmpty())
                return Falla(camposValor[2], deNota, false);
            c.Articulos << Articulo(a.TextoDescuento, QStringLiteral("1000"), precio,
                                    QStringLiteral("0000"));
        }
    }
    // Mode 0 reads "Cantidad" like mode 1: a zero quantity is never right.
    const QString nombreCantidad =
        a.ModoCantidad >= 2 ? QStringLiteral("CantDec") : QStringLiteral("Cantidad");
    for (qsizetype i = 0; i < lineas.size(); ++i) {
        const QSqlRecord& linea = lineas.at(i);
        const QString donde = QStringLiteral(" de la línea %1").arg(i + 1) + deNota;
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
            descripcion = Texto::Recortado(Conversiones::TextoDeBase(linea.value(QStringLiteral("COD_PROD")).toString())) +
                          QLatin1Char(' ') + Texto::Recortado(Conversiones::TextoDeBase(nombreProducto.toString()));
        } else {
            if (nombreProducto.isNull())
                return Falla(QStringLiteral("Nombre"), donde, true);
            descripcion = Texto::Recortado(Conversiones::TextoDeBase(nombreProducto.toString()));
        }
        // Cut to the width: a credit note prints no continuation lines.
        descripcion = Conversiones::LimpioCadena(
            Texto::Recortado(Texto::Izquierda(descripcion, a.AnchoNota)));

        const QVariant exento = linea.value(QStringLiteral("ExcentoImpuesto"));
        const bool esExento = exento.isNull() || Numero(exento).value_or(exento.toBool()) != 0;
        c.Articulos << Articulo(descripcion, campoCantidad, campoPrecio,
                                esExento ? QStringLiteral("0000") : campoTasa);
    }

    if (a.Direccion && !direccion.isEmpty()) {
        c.Direccion << LineaTexto(Conversiones::LimpioCadena(
            QStringLiteral("DIRECCION: ") + Texto::Recortado(Texto::Izquierda(direccion, 28))));
        if (direccion.size() > 28)
            c.Direccion << LineaTexto(
                Conversiones::LimpioCadena(Texto::Recortado(Texto::Medio(direccion, 29, 39))));
    }
    return {std::move(c), QString()};
}
