#include "EnlaceImpresora.h"

#include "Legible.h"
#include "Protocolo.h"
#include "Trama.h"

#include <QLoggingCategory>
#include <algorithm>

Q_LOGGING_CATEGORY(lcImpresora, "rovend.printer")

EnlaceImpresora::EnlaceImpresora(PuertoSerie& puerto, Reloj& reloj) : puerto_(puerto), reloj_(reloj)
{
}

QByteArray EnlaceImpresora::RespuestaError()
{
    QByteArray r;
    r.append(Protocolo::STX);
    r.append('0').append(Protocolo::FS).append('0').append(Protocolo::FS).append('0');
    r.append(Protocolo::FS).append("ERROR DE COMUNICACION").append(Protocolo::ETX);
    return r;
}

bool EnlaceImpresora::Cancelado() const
{
    return cancelar && cancelar->load();
}

void EnlaceImpresora::EnviarComando()
{
    Secuencia = Trama::SiguienteSecuencia(Secuencia);
    const QByteArray trama = Trama::Enmarcar(Comando, Secuencia);
    const QByteArray salida = trama + Trama::Checksum(trama);
    Comando = trama;
    Respuesta.clear();

    // A port that cannot be opened is a printer that does not answer, at once.
    if (!puerto_.Abrir()) {
        Fallar(QStringLiteral("no se pudo abrir el puerto %1: %2")
                   .arg(puerto_.Nombre(), puerto_.Error()));
        return;
    }
    if (!puerto_.Escribir(salida, tiempos.escrituraMs)) {
        const QString motivo = puerto_.Error();
        puerto_.Cerrar();
        Fallar(QStringLiteral("no se pudo escribir en el puerto %1: %2")
                   .arg(puerto_.Nombre(), motivo));
        return;
    }
    puerto_.Descartar();
    puerto_.Descartar();

    qint64 limite =
        reloj_.AhoraMs() + (EsperaCorta ? tiempos.esperaCortaMs : tiempos.esperaLargaMs);
    QByteArray crudo;
    bool esperandoEtx = true;
    bool etxVisto = false;
    bool completa = false;
    qsizetype trasEtx = 0; // characters after the ETX in the piece that held it

    while (!completa && !Cancelado()) {
        const qint64 ahora = reloj_.AhoraMs();
        if (ahora >= limite)
            break;
        if (esperandoEtx && puerto_.BytesEsperando() >= 4) {
            const QByteArray trozo = puerto_.LeerTodo();
            crudo.append(trozo);
            const qsizetype p = trozo.indexOf(Protocolo::ETX);
            if (trozo.contains(Protocolo::DC2))
                limite = reloj_.AhoraMs() + tiempos.extensionDc2Ms;
            if (p >= 0) {
                etxVisto = true;
                trasEtx = trozo.size() - (p + 1);
            }
        }
        if (etxVisto) {
            esperandoEtx = false;
            if (puerto_.BytesEsperando() >= 4 - trasEtx) {
                crudo.append(puerto_.LeerTodo());
                completa = true;
                break;
            }
        }
        const qint64 resta = limite - reloj_.AhoraMs();
        if (resta > 0)
            puerto_.EsperarDatos(int(std::min<qint64>(tiempos.rebanadaMs, resta)));
    }
    puerto_.Cerrar();

    if (completa) {
        Respuesta = Recortar(crudo);
        // Without an STX there is no reply at all; it must never pass as one.
        if (Respuesta.isEmpty()) {
            Fallar(QStringLiteral("respuesta sin STX en %1: %2")
                       .arg(puerto_.Nombre(), Legible::Texto(crudo)));
            return;
        }
    } else {
        Fallar(QStringLiteral("sin respuesta completa en %1, recibido: %2")
                   .arg(puerto_.Nombre(), Legible::Texto(crudo)));
        return;
    }
    qCInfo(lcImpresora).noquote() << "enviado:" << Legible::Texto(Comando)
                                  << "recibido:" << Legible::Texto(Respuesta);
    if (AlTerminar)
        AlTerminar(Comando, Respuesta);
}

void EnlaceImpresora::Fallar(const QString& motivo)
{
    qCWarning(lcImpresora).noquote() << motivo;
    if (PrimeraActivacion && AvisoOperador)
        AvisoOperador(QStringLiteral("Error de Comunicación"));
    Respuesta = RespuestaError();
    qCInfo(lcImpresora).noquote() << "enviado:" << Legible::Texto(Comando)
                                  << "recibido:" << Legible::Texto(Respuesta);
    if (AlTerminar)
        AlTerminar(Comando, Respuesta);
}

QByteArray EnlaceImpresora::Recortar(const QByteArray& crudo)
{
    // Up to the first ETX and the four characters after it, then from the first STX.
    QByteArray r = crudo;
    const qsizetype etx = r.indexOf(Protocolo::ETX);
    if (etx >= 0)
        r.truncate(std::min(r.size(), etx + 5));
    const qsizetype stx = r.indexOf(Protocolo::STX);
    return stx < 0 ? QByteArray() : r.mid(stx);
}

void EnlaceImpresora::DelayMili(int n)
{
    const qint64 fin = reloj_.AhoraMs() + qint64(n) * tiempos.centesimaMs;
    for (qint64 ahora = reloj_.AhoraMs(); ahora < fin && !Cancelado(); ahora = reloj_.AhoraMs())
        reloj_.DormirMs(int(std::min<qint64>(tiempos.rebanadaMs, fin - ahora)));
}
