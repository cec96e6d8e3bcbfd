#include "PuertoPrueba.h"

#include "LectorTramas.h"
#include "impresora/Protocolo.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QSerialPort>

PuertoPrueba::Intercambio PuertoPrueba::Intercambiar(const QString& ruta, const QByteArray& trama,
                                                     int plazoMs)
{
    Intercambio r;
    QSerialPort p(ruta);
    if (!p.open(QIODevice::ReadWrite))
        return r;
    p.setBaudRate(QSerialPort::Baud9600);
    p.setDataBits(QSerialPort::Data8);
    p.setParity(QSerialPort::NoParity);
    p.setStopBits(QSerialPort::OneStop);
    p.setFlowControl(QSerialPort::NoFlowControl);
    QElapsedTimer reloj;
    reloj.start();
    p.write(trama);
    p.waitForBytesWritten(1000);
    p.clear(QSerialPort::Input);
    const QDeadlineTimer plazo(plazoMs);
    while (!plazo.hasExpired()) {
        if (!p.waitForReadyRead(int(qMin<qint64>(100, qMax<qint64>(1, plazo.remainingTime())))))
            continue;
        const QByteArray b = p.readAll();
        r.lecturas.append(b);
        r.recibido += b;
        r.ms = reloj.elapsed();
        const qsizetype etx =
            r.recibido.indexOf('\x03', qMax<qsizetype>(0, r.recibido.indexOf('\x02')));
        if (r.recibido.contains('\x02') && etx >= 0 && r.recibido.size() >= etx + 5) {
            r.completo = true;
            break;
        }
    }
    p.close();
    return r;
}

QByteArray PuertoPrueba::Respuesta(const QByteArray& recibido)
{
    const qsizetype stx = recibido.indexOf('\x02');
    if (stx < 0)
        return QByteArray();
    const qsizetype etx = recibido.indexOf('\x03', stx);
    if (etx < 0 || recibido.size() < etx + 5)
        return QByteArray();
    return recibido.mid(stx, etx + 5 - stx);
}

QByteArray PuertoPrueba::Preguntar(const QString& ruta, char secuencia, const QByteArray& comando)
{
    return Respuesta(Intercambiar(ruta, LectorTramas::Enmarcar(secuencia, comando)).recibido);
}

QByteArray PuertoPrueba::Comando(char comando, const QList<QByteArray>& campos)
{
    QByteArray b(1, comando);
    for (const QByteArray& c : campos)
        b += Protocolo::FS + c;
    return b;
}
