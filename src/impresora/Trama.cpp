#include "impresora/Trama.h"

#include "impresora/Protocolo.h"

QByteArray Trama::Enmarcar(const QByteArray& comando, int secuencia)
{
    QByteArray t;
    t.reserve(comando.size() + 3);
    t.append(Protocolo::STX);
    t.append(char(secuencia));
    t.append(comando);
    t.append(Protocolo::ETX);
    return t;
}

QByteArray Trama::Checksum(const QByteArray& trama)
{
    unsigned suma = 0;
    for (char c : trama)
        suma += static_cast<unsigned char>(c);
    suma %= 65536;
    static constexpr char kHex[] = "0123456789ABCDEF";
    QByteArray d(4, '0');
    for (int i = 3; i >= 0; --i) {
        d[i] = kHex[suma % 16];
        suma /= 16;
    }
    return d;
}

qint16 Trama::SiguienteSecuencia(qint16 actual)
{
    const int s = actual + 1;
    return qint16(s < kSecuenciaMin || s > kSecuenciaMax ? kSecuenciaMin : s);
}
