#include "impresora/PuertoQt.h"

PuertoQt::PuertoQt(const QString& dispositivo) : dispositivo_(dispositivo) {}

QSerialPort& PuertoQt::Puerto()
{
    if (!puerto_) {
        puerto_ = std::make_unique<QSerialPort>();
        puerto_->setPortName(dispositivo_);
    }
    return *puerto_;
}

QString PuertoQt::Nombre() const { return dispositivo_; }

bool PuertoQt::Abrir()
{
    error_.clear();
    Puerto().setBaudRate(QSerialPort::Baud9600);
    Puerto().setDataBits(QSerialPort::Data8);
    Puerto().setParity(QSerialPort::NoParity);
    Puerto().setStopBits(QSerialPort::OneStop);
    Puerto().setFlowControl(QSerialPort::NoFlowControl);
    if (!Puerto().open(QIODevice::ReadWrite)) {
        error_ = Puerto().errorString();
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
    if (Puerto().write(datos) != datos.size()) {
        error_ = Puerto().errorString();
        return false;
    }
    while (Puerto().bytesToWrite() > 0) {
        if (!Puerto().waitForBytesWritten(msLimite)) {
            error_ = Puerto().errorString();
            return false;
        }
    }
    return true;
}

void PuertoQt::Descartar()
{
    Puerto().clear(QSerialPort::Input);
}

qint64 PuertoQt::BytesEsperando()
{
    return Puerto().bytesAvailable();
}

bool PuertoQt::EsperarDatos(int ms)
{
    return ms > 0 && Puerto().waitForReadyRead(ms);
}

QByteArray PuertoQt::LeerTodo()
{
    return Puerto().readAll();
}

void PuertoQt::Cerrar()
{
    if (puerto_ && puerto_->isOpen())
        puerto_->close();
}
