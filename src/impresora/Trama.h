#pragma once

#include <QByteArray>

// The frame around every command: STX, sequence byte, command, ETX, then
// four upper-case hexadecimal digits of the byte sum.
class Trama
{
  public:
    static constexpr int kSecuenciaMin = 32;
    static constexpr int kSecuenciaMax = 70;

    // STX, sequence byte, the bare command, ETX (no checksum).
    static QByteArray Enmarcar(const QByteArray& comando, int secuencia);
    // Sum of every byte of the frame (STX and ETX included) modulo 65536,
    // as four hexadecimal digits, most significant first.
    static QByteArray Checksum(const QByteArray& trama);
    // The next sequence value: one more, back to 32 when outside 32..70.
    static qint16 SiguienteSecuencia(qint16 actual);
};
