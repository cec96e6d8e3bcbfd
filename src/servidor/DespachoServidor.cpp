#include "servidor/DespachoServidor.h"

#include <QRegularExpression>

namespace {
const QString kCierreX = QStringLiteral("Se ha solicitado cierre X");
const QString kCierreZ = QStringLiteral("Se ha solicitado cierre Z");
} // namespace

int DespachoServidor::CajaDeSolicitud(const QString& mensaje, const QString& solicitud)
{
    const qsizetype p = mensaje.indexOf(solicitud, 0, Qt::CaseInsensitive);
    if (p < 0)
        return 0;
    // Every word that holds a digit, with a sign, letters or a decimal part
    // glued to it, so that "-1", "0x1" and "3.5" are seen whole.
    static const QRegularExpression palabra(
        QStringLiteral("[+\\-]?[\\p{L}\\p{N}_]*\\d[\\p{L}\\p{N}_]*(?:\\.\\d+)*"));
    static const QRegularExpression cifras(QStringLiteral("^\\d+$"));
    QString ultima;
    auto it = palabra.globalMatch(mensaje, p + solicitud.size());
    while (it.hasNext())
        ultima = it.next().captured();
    if (ultima.isNull())
        return 0;
    if (!cifras.match(ultima).hasMatch())
        return kNingunaCaja;
    bool ok = false;
    const int caja = ultima.toInt(&ok);
    return ok ? caja : kNingunaCaja;
}

DespachoServidor::Resultado DespachoServidor::Despachar(const QString& mensaje)
{
    Resultado r;
    const QString tipo = mensaje.left(2);
    r.cuerpo = mensaje.mid(2);
    if (tipo == QLatin1String("F%")) {
        r.accion = r.cuerpo == QLatin1String("Si") ? Accion::EsperaCorta : Accion::Ignorar;
    } else if (tipo == QLatin1String("0%")) {
        r.accion = Accion::ResponderVivo;
    } else if (tipo == QLatin1String("B%")) {
        r.accion = Accion::Registrar;
    } else if (tipo == QLatin1String("M%")) {
        r.accion = Accion::Cierres;
        if (mensaje.contains(kCierreX, Qt::CaseInsensitive))
            r.cierreX = CajaDeSolicitud(mensaje, kCierreX);
        if (mensaje.contains(kCierreZ, Qt::CaseInsensitive))
            r.cierreZ = CajaDeSolicitud(mensaje, kCierreZ);
    } else if (tipo == QLatin1String("H%")) {
        r.accion = r.cuerpo.isEmpty() ? Accion::ResponderH : Accion::Charla;
    } else if (tipo == QLatin1String("X%")) {
        r.accion = Accion::Salir;
    }
    return r;
}
