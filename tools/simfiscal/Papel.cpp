#include "Papel.h"

#include <QFile>
#include <QJsonDocument>

namespace
{
using Tipo = DocumentoImpreso::Tipo;
using Renglon = DocumentoImpreso::Renglon;

QString Importe(qint64 centesimas)
{
    const QString signo = centesimas < 0 ? QStringLiteral("-") : QString();
    const qint64 v = centesimas < 0 ? -centesimas : centesimas;
    return signo + QStringLiteral("%1.%2").arg(v / 100).arg(v % 100, 2, 10, QLatin1Char('0'));
}

QString Cantidad(qint64 milesimas)
{
    return QStringLiteral("%1.%2")
        .arg(milesimas / 1000)
        .arg(milesimas % 1000, 3, 10, QLatin1Char('0'));
}

QString Tasa(int centesimas)
{
    return QStringLiteral("%1.%2%")
        .arg(centesimas / 100)
        .arg(centesimas % 100, 2, 10, QLatin1Char('0'));
}

QString Numero(int n, int ancho)
{
    return QStringLiteral("%1").arg(n, ancho, 10, QLatin1Char('0'));
}

// Left text and right text on one line; the right one moves down when they do not fit.
QString Extremos(const QString& izq, const QString& der)
{
    const int hueco = Papel::kAncho - int(izq.size()) - int(der.size());
    if (hueco >= 1)
        return izq + QString(hueco, QLatin1Char(' ')) + der + QLatin1Char('\n');
    return izq + QLatin1Char('\n') + der.rightJustified(Papel::kAncho) + QLatin1Char('\n');
}

QString Centrado(const QString& s)
{
    const int margen = qMax(0, (Papel::kAncho - int(s.size())) / 2);
    return QString(margen, QLatin1Char(' ')) + s + QLatin1Char('\n');
}

QString Raya(QChar c = QLatin1Char('-'))
{
    return QString(Papel::kAncho, c) + QLatin1Char('\n');
}

QString Titulo(Tipo t)
{
    switch (t) {
    case Tipo::Factura:
        return QStringLiteral("FACTURA");
    case Tipo::NotaCredito:
        return QStringLiteral("NOTA DE CREDITO");
    case Tipo::NoFiscal:
        return QStringLiteral("DOCUMENTO NO FISCAL");
    case Tipo::CierreX:
        return QStringLiteral("REPORTE X");
    case Tipo::CierreZ:
        return QStringLiteral("REPORTE Z");
    case Tipo::Reporte:
        return QStringLiteral("REPORTE");
    case Tipo::Anulado:
        break;
    }
    return QString();
}

QString Totales(const DocumentoImpreso& d)
{
    QString s = Raya();
    qint64 subtotal = 0;
    for (const auto& i : d.impuestos())
        subtotal += i.base;
    s += Extremos(QStringLiteral("SUBTTL"), Importe(subtotal));
    for (const auto& i : d.impuestos()) {
        if (i.tasa == 0) {
            s += Extremos(QStringLiteral("EXENTO (E)"), Importe(i.base));
        } else {
            s += Extremos(QStringLiteral("BI G (%1)").arg(Tasa(i.tasa)), Importe(i.base));
            s += Extremos(QStringLiteral("IVA G (%1)").arg(Tasa(i.tasa)), Importe(i.iva));
        }
    }
    s += Raya();
    s += Extremos(QStringLiteral("TOTAL"), Importe(d.sumaArticulos()));
    return s;
}
} // namespace

Papel::Papel(const QString& rollo, const QString& diario) : rollo_(rollo), diario_(diario) {}

QString Papel::Rollo(const DocumentoImpreso& d)
{
    const Tipo tipo = d.tipo == Tipo::Anulado ? d.anuladoDe : d.tipo;
    const bool fiscal = tipo == Tipo::Factura || tipo == Tipo::NotaCredito;
    QString s = Raya(QLatin1Char('='));
    for (const QString& e : d.encabezado)
        if (!e.isEmpty())
            s += Centrado(e);
    if (fiscal) {
        s += QStringLiteral("RIF/C.I.: %1\n").arg(d.rif);
        s += QStringLiteral("RAZON SOCIAL: %1\n").arg(d.cliente);
    }
    if (tipo == Tipo::NotaCredito) {
        s += QStringLiteral("FACTURA AFECTADA: %1\n").arg(d.facturaAfectada);
        s += QStringLiteral("FECHA FACTURA: %1\n").arg(d.fechaFactura);
        s += QStringLiteral("SERIAL: %1\n").arg(d.serial);
    }
    s += Raya();
    const bool numerado = d.tipo != Tipo::Anulado && d.tipo != Tipo::Reporte;
    s += Extremos(Titulo(tipo),
                  numerado ? QStringLiteral("N. %1").arg(Numero(d.numero, 8)) : QString());
    s += Extremos(QStringLiteral("FECHA: %1").arg(d.hora.toString(QStringLiteral("dd-MM-yyyy"))),
                  QStringLiteral("HORA: %1").arg(d.hora.toString(QStringLiteral("HH:mm:ss"))));
    s += Raya();

    bool totalesImpresos = false;
    for (const Renglon& g : d.renglones) {
        switch (g.clase) {
        case Renglon::Clase::Texto:
            s += g.texto + QLatin1Char('\n');
            break;
        case Renglon::Clase::Articulo: {
            const auto& a = g.articulo;
            s += QStringLiteral("%1 x %2\n").arg(Cantidad(a.cantidad), Importe(a.precio));
            const QString marca = a.tasa == 0 ? QStringLiteral("(E)") : QStringLiteral("(G)");
            s += Extremos(a.descripcion,
                          marca + QLatin1Char(' ') + Importe(DocumentoImpreso::Importe(a)));
            break;
        }
        case Renglon::Clase::Subtotal:
            s += Totales(d);
            totalesImpresos = true;
            break;
        }
    }
    if (fiscal && !totalesImpresos)
        s += Totales(d);
    if (tipo == Tipo::NoFiscal)
        s += Centrado(QStringLiteral("NO FISCAL"));
    if (d.tipo == Tipo::Anulado)
        s += Centrado(QStringLiteral("*** DOCUMENTO ANULADO ***"));
    for (const QString& p : d.pie)
        if (!p.isEmpty())
            s += Centrado(p);
    s += Extremos(QStringLiteral("Z: %1").arg(Numero(d.z, 4)), d.registro);
    if (fiscal && d.tipo != Tipo::Anulado)
        s += Centrado(QStringLiteral("MH"));
    return s;
}

QByteArray Papel::LineaDiario(const DocumentoImpreso& d)
{
    return QJsonDocument(d.Json()).toJson(QJsonDocument::Compact) + '\n';
}

bool Papel::agregar(const QString& ruta, const QByteArray& bytes)
{
    if (ruta.isEmpty())
        return true;
    QFile f(ruta);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append) || f.write(bytes) != bytes.size()) {
        error_ = QStringLiteral("%1: %2").arg(ruta, f.errorString());
        return false;
    }
    return true;
}

bool Papel::imprimir(const DocumentoImpreso& d)
{
    documentos_.append(d);
    if (documentos_.size() > kMemoria)
        documentos_.removeFirst();
    const bool rollo = agregar(rollo_, Rollo(d).toUtf8());
    const bool diario = agregar(diario_, LineaDiario(d));
    return rollo && diario;
}

bool Papel::avanzar(int lineas)
{
    return agregar(rollo_, QByteArray(qMax(0, lineas), '\n'));
}

bool Papel::cortar()
{
    return agregar(rollo_, QByteArray("- - - - - - - - - 8< - - - - - - - - - -\n"));
}
