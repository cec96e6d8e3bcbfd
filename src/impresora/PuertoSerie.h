#pragma once

#include <QByteArray>
#include <QString>

// What the exchange needs of a serial line. QSerialPort in the program,
// a scripted fake in the tests and fuzzers.
class PuertoSerie
{
  public:
    virtual ~PuertoSerie() = default;

    virtual QString Nombre() const = 0;
    // Sets 9600 baud, 8 data bits, no parity, 1 stop bit and opens the line.
    virtual bool Abrir() = 0;
    // Why the last Abrir or Escribir failed.
    virtual QString Error() const = 0;
    // Writes every byte and waits until they have left (bounded by msLimite).
    virtual bool Escribir(const QByteArray& datos, int msLimite) = 0;
    // Throws away whatever is waiting in the receive buffer.
    virtual void Descartar() = 0;
    virtual qint64 BytesEsperando() = 0;
    // Blocks until new bytes arrive or ms pass; true when bytes arrived.
    virtual bool EsperarDatos(int ms) = 0;
    virtual QByteArray LeerTodo() = 0;
    virtual void Cerrar() = 0;
};
