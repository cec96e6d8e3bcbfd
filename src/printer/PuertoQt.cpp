#include "PuertoQt.h"

PuertoQt::PuertoQt(const QString& dispositivo)
{
    puerto_.setPortName(dispositivo);
}

QString PuertoQt::Nombre() const
{
    return puerto_.portName();
}

bool PuertoQt::Abrir()
{
    error_.clear();
    puerto_.setBaudRate(QSerialPort::Baud9600);
    puerto_.setDataBits(QSerialPort::Data8);
    puerto_.setParity(QSerialPort::NoParity);
    puerto_.setStopBits(QSerialPort::OneStop);
    puerto_.setFlowControl(QSerialPort::NoFlowControl);
    if (!puerto_.open(QIODevice::ReadWrite)) {
        error_ = puerto_.errorString();
        return false;
    }
    return true;
}

QString PuertoQt::Error() const
{
    return error_;
}

bool PuertoQt::Escribir(const QByteArray& datos, int msLimite)
{
    if (puerto_.write(datos) != datos.size()) {
        error_ = puerto_.errorString();
        return false;
    }
    while (puerto_.bytesToWrite() > 0) {
        if (!puerto_.waitForBytesWritten(msLimite)) {
            error_ = puerto_.errorString();
            return false;
        }
    }
    return true;
}

void PuertoQt::Descartar()
{
    puerto_.clear(QSerialPort::Input);
}

qint64 PuertoQt::BytesEsperando()
{
    return puerto_.bytesAvailable();
}

bool PuertoQt::EsperarDatos(int ms)
{
    return ms > 0 && puerto_.waitForReadyRead(ms);
}

QByteArray PuertoQt::LeerTodo()
{
    return puerto_.readAll();
}

void PuertoQt::Cerrar()
{
    if (puerto_.isOpen())
        puerto_.close();
}
