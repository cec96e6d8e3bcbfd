#include "impresora/EnlaceImpresora.h"

#include "comun/Legible.h"
#include "impresora/Protocolo.h"
#include "impresora/Trama.h"

#include <QLoggingCategory>
#include <algorithm>

Q_LOGGING_CATEGORY(lcImpresora, "rovend.printer")

namespace
{
// Bytes of a failed reply that go into one log line.
constexpr qsizetype kRegistroMaximo = 256;
} // namespace

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

bool EnlaceImpresora::Cancelando() const
{
    return cancelar && cancelar->load();
}

EnlaceImpresora::Entrega EnlaceImpresora::EnviarComando()
{
    inicioMs_ = reloj_.AhoraMs();
    Secuencia = Trama::SiguienteSecuencia(Secuencia);
    const QByteArray trama = Trama::Enmarcar(Comando, Secuencia);
    const QByteArray salida = trama + Trama::Checksum(trama);
    Comando = trama;
    Respuesta.clear();

    // After a stop nothing more reaches the printer: a document in progress
    // stays as it is, for the operator and the recovery to settle.
    if (Cancelando())
        return Fallar(QStringLiteral("detenido: no se envía"), Entrega::NoEscrita);
    // A port that cannot be opened is a printer that does not answer, at once.
    if (!puerto_.Abrir())
        return Fallar(QStringLiteral("no se pudo abrir el puerto %1: %2")
                          .arg(puerto_.Nombre(), puerto_.Error()),
                      Entrega::NoEscrita);
    if (!puerto_.Escribir(salida, tiempos.escrituraMs)) {
        // Part of the frame may have left: the printer may have it.
        const QString motivo = puerto_.Error();
        puerto_.Cerrar();
        return Fallar(
            QStringLiteral("no se pudo escribir en el puerto %1: %2").arg(puerto_.Nombre(), motivo),
            Entrega::SinRespuesta);
    }
    puerto_.Descartar();
    puerto_.Descartar();

    const Lectura lectura = LeerRespuesta();
    puerto_.Cerrar();
    return Concluir(lectura);
}

EnlaceImpresora::Lectura EnlaceImpresora::LeerRespuesta()
{
    const qint64 inicio = reloj_.AhoraMs();
    qint64 limite = inicio + (EsperaCorta ? tiempos.esperaCortaMs : tiempos.esperaLargaMs);
    // Busy bytes move the deadline, but never past this: a printer that
    // sends DC2 for ever must not hold the robot for ever.
    const qint64 limiteOcupado = inicio + tiempos.limiteOcupadoMs;
    Lectura l;
    bool etxVisto = false;
    qsizetype trasEtx = 0; // characters after the ETX in the piece that held it

    while (!Cancelando() && reloj_.AhoraMs() < limite) {
        if (!etxVisto && puerto_.BytesEsperando() >= 4) {
            const QByteArray trozo = puerto_.LeerTodo();
            l.crudo.append(trozo);
            if (l.crudo.size() > kRespuestaMaxima) {
                l.excedida = true;
                return l;
            }
            const qsizetype p = trozo.indexOf(Protocolo::ETX);
            // Moved later only: a DC2 never brings the deadline forward.
            if (trozo.contains(Protocolo::DC2))
                limite = std::max(limite, std::min(reloj_.AhoraMs() + tiempos.extensionDc2Ms,
                                                   limiteOcupado));
            if (p >= 0) {
                etxVisto = true;
                trasEtx = trozo.size() - (p + 1);
            }
        }
        if (etxVisto && puerto_.BytesEsperando() >= 4 - trasEtx) {
            l.crudo.append(puerto_.LeerTodo());
            l.completa = true;
            return l;
        }
        const qint64 resta = limite - reloj_.AhoraMs();
        if (resta > 0)
            puerto_.EsperarDatos(int(std::min<qint64>(tiempos.rebanadaMs, resta)));
    }
    return l;
}

EnlaceImpresora::Entrega EnlaceImpresora::Concluir(const Lectura& l)
{
    const QByteArray& crudo = l.crudo;
    const bool excedida = l.excedida;
    const bool completa = l.completa;
    if (excedida)
        return Fallar(QStringLiteral("más de %1 bytes sin una respuesta completa en %2: %3")
                          .arg(kRespuestaMaxima)
                          .arg(puerto_.Nombre(), Legible::Texto(crudo.left(kRegistroMaximo))),
                      Entrega::SinRespuesta);
    if (!completa)
        return Fallar(QStringLiteral("sin respuesta completa en %1, recibido: %2")
                          .arg(puerto_.Nombre(), Legible::Texto(crudo.left(kRegistroMaximo))),
                      Entrega::SinRespuesta);
    Respuesta = Recortar(crudo);
    // Without an STX there is no reply at all; it must never pass as one.
    if (Respuesta.isEmpty())
        return Fallar(QStringLiteral("respuesta sin STX en %1: %2")
                          .arg(puerto_.Nombre(), Legible::Texto(crudo.left(kRegistroMaximo))),
                      Entrega::SinRespuesta);
    UltimaEntrega = Entrega::Buena;
    if (!Integra(Respuesta)) {
        UltimaEntrega = Entrega::Danada;
        qCWarning(lcImpresora).noquote()
            << "respuesta con suma de control o secuencia que no corresponde:"
            << Legible::Texto(Respuesta);
    }
    qCInfo(lcImpresora).noquote() << "enviado:" << Legible::Texto(Comando)
                                  << "recibido:" << Legible::Texto(Respuesta);
    if (AlTerminar)
        AlTerminar(Comando, Respuesta);
    return UltimaEntrega;
}

bool EnlaceImpresora::Integra(const QByteArray& respuesta) const
{
    const qsizetype etx = respuesta.indexOf(Protocolo::ETX);
    if (etx < 2 || respuesta.size() != etx + 5)
        return false;
    return respuesta.at(1) == char(Secuencia) &&
           respuesta.mid(etx + 1) == Trama::Checksum(respuesta.left(etx + 1));
}

EnlaceImpresora::Entrega EnlaceImpresora::Fallar(const QString& motivo, Entrega entrega)
{
    qCWarning(lcImpresora).noquote() << motivo;
    if (PrimeraActivacion && AvisoOperador)
        AvisoOperador(QStringLiteral("Error de Comunicación"));
    Respuesta = RespuestaError();
    UltimaEntrega = entrega;
    qCInfo(lcImpresora).noquote() << "enviado:" << Legible::Texto(Comando)
                                  << "recibido:" << Legible::Texto(Respuesta);
    if (AlTerminar)
        AlTerminar(Comando, Respuesta);
    return entrega;
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
    for (qint64 ahora = reloj_.AhoraMs(); ahora < fin && !Cancelando(); ahora = reloj_.AhoraMs())
        reloj_.DormirMs(int(std::min<qint64>(tiempos.rebanadaMs, fin - ahora)));
}
