#include "DespachoServidor.h"

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
    static const QRegularExpression numero(QStringLiteral("\\d+"));
    int caja = 0;
    auto it = numero.globalMatch(mensaje, p + solicitud.size());
    while (it.hasNext()) {
        bool ok = false;
        const int n = it.next().captured().toInt(&ok);
        caja = ok ? n : caja; // a number too long for a till addresses nobody new
    }
    return caja;
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
