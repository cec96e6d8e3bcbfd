#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

// Cuts the byte stream coming from the robot into frames:
// STX, sequence byte, command, ETX, four upper-case hex checksum digits.
// It keeps its own checksum code on purpose: the simulator must be an
// independent check of the robot's framing, not a copy of it.
class LectorTramas
{
  public:
    struct Trama {
        bool valida = false;
        char secuencia = 0;
        QByteArray comando;  // bytes between the sequence byte and the ETX
        QByteArray bruta;    // the whole frame as received
        QString motivo;      // why an invalid frame was ignored
        qint64 inicioNs = 0; // when its STX arrived
        qint64 finNs = 0;    // when its last byte arrived
    };

    // Longest command accepted between STX and ETX; longer runs are dropped
    // so that a stream without ETX cannot grow without bound.
    static constexpr qsizetype kMaximo = 1024;

    // Feeds bytes that arrived at `instanteNs` and returns the frames they
    // completed, valid or not, in order.
    QList<Trama> alimentar(QByteArrayView bytes, qint64 instanteNs = 0);
    void reiniciar();

    // Bytes dropped because they were outside any frame.
    qint64 descartados() const { return descartados_; }

    static quint16 SumaControl(QByteArrayView bytes);
    static QByteArray DigitosControl(quint16 suma);
    // STX, sequence, content, ETX and the checksum digits.
    static QByteArray Enmarcar(char secuencia, QByteArrayView contenido);
    // Bytes with control characters spelled out: <STX>8<FS>N<ETX>00C8.
    static QString Legible(QByteArrayView bytes);

  private:
    enum class Fase { FueraDeTrama, Secuencia, Comando, Digitos };

    void empezar(qint64 instanteNs);
    Trama cerrar(qint64 instanteNs);

    Fase fase_ = Fase::FueraDeTrama;
    QByteArray actual_;
    int digitos_ = 0;
    qint64 inicioNs_ = 0;
    qint64 descartados_ = 0;
};
