#include "LectorTramas.h"

#include "impresora/Protocolo.h"

namespace
{
bool esDigitoHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

const char* nombreControl(unsigned char c)
{
    static const char* const nombres[32] = {"NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL",
                                            "BS",  "HT",  "LF",  "VT",  "FF",  "CR",  "SO",  "SI",
                                            "DLE", "DC1", "DC2", "DC3", "DC4", "NAK", "SYN", "ETB",
                                            "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};
    return c < 32 ? nombres[c] : nullptr;
}
} // namespace

quint16 LectorTramas::SumaControl(QByteArrayView bytes)
{
    quint32 suma = 0;
    for (char c : bytes)
        suma += static_cast<unsigned char>(c);
    return static_cast<quint16>(suma & 0xFFFF);
}

QByteArray LectorTramas::DigitosControl(quint16 suma)
{
    static const char hex[] = "0123456789ABCDEF";
    QByteArray d(4, '0');
    for (int i = 3; i >= 0; --i) {
        d[i] = hex[suma & 0xF];
        suma >>= 4;
    }
    return d;
}

QByteArray LectorTramas::Enmarcar(char secuencia, QByteArrayView contenido)
{
    QByteArray t;
    t.reserve(contenido.size() + 7);
    t.append(Protocolo::STX);
    t.append(secuencia);
    t.append(contenido);
    t.append(Protocolo::ETX);
    t.append(DigitosControl(SumaControl(t)));
    return t;
}

QString LectorTramas::Legible(QByteArrayView bytes)
{
    QString s;
    s.reserve(bytes.size() * 2);
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (const char* n = nombreControl(c))
            s += QLatin1Char('<') + QLatin1String(n) + QLatin1Char('>');
        else if (c == 0x7F)
            s += QLatin1String("<DEL>");
        else if (c >= 0x80)
            s += QStringLiteral("<%1>").arg(c, 2, 16, QLatin1Char('0')).toUpper();
        else
            s += QLatin1Char(ch);
    }
    return s;
}

void LectorTramas::reiniciar()
{
    fase_ = Fase::FueraDeTrama;
    actual_.clear();
}

void LectorTramas::empezar(qint64 instanteNs)
{
    actual_.clear();
    actual_.append(Protocolo::STX);
    inicioNs_ = instanteNs;
    fase_ = Fase::Secuencia;
}

LectorTramas::Trama LectorTramas::cerrar(qint64 instanteNs)
{
    Trama t;
    t.bruta = actual_;
    t.inicioNs = inicioNs_;
    t.finNs = instanteNs;
    fase_ = Fase::FueraDeTrama;
    actual_.clear();

    const qsizetype n = t.bruta.size();
    // STX, sequence, ETX and 4 digits at least.
    t.secuencia = t.bruta.at(1);
    t.comando = t.bruta.mid(2, n - 7);
    const QByteArray digitos = t.bruta.right(4);
    const auto seq = static_cast<unsigned char>(t.secuencia);
    if (seq < 32 || seq > 70) {
        t.motivo = QStringLiteral("secuencia fuera de rango (%1)").arg(seq);
        return t;
    }
    for (char c : digitos) {
        if (!esDigitoHex(c)) {
            t.motivo = QStringLiteral("digitos de control no validos");
            return t;
        }
    }
    const QByteArray esperados = DigitosControl(SumaControl(QByteArrayView(t.bruta).first(n - 4)));
    if (digitos != esperados) {
        t.motivo = QStringLiteral("suma de control erronea: llego %1, debia ser %2")
                       .arg(QString::fromLatin1(digitos), QString::fromLatin1(esperados));
        return t;
    }
    t.valida = true;
    return t;
}

QList<LectorTramas::Trama> LectorTramas::alimentar(QByteArrayView bytes, qint64 instanteNs)
{
    QList<Trama> listas;
    for (char c : bytes) {
        switch (fase_) {
        case Fase::FueraDeTrama:
            if (c == Protocolo::STX)
                empezar(instanteNs);
            else
                ++descartados_;
            break;
        case Fase::Secuencia:
        case Fase::Comando:
            if (c == Protocolo::STX) {
                // A new frame starts before the old one ended: the old one
                // was cut short by the line, so drop it and follow the new one.
                descartados_ += actual_.size();
                empezar(instanteNs);
            } else if (fase_ == Fase::Comando && c == Protocolo::ETX) {
                actual_.append(c);
                fase_ = Fase::Digitos;
                digitos_ = 0;
            } else if (actual_.size() > kMaximo + 2) {
                Trama t;
                t.bruta = actual_.left(64);
                t.inicioNs = inicioNs_;
                t.finNs = instanteNs;
                t.motivo = QStringLiteral("trama demasiado larga");
                descartados_ += actual_.size() + 1;
                fase_ = Fase::FueraDeTrama;
                actual_.clear();
                listas.append(t);
            } else {
                actual_.append(c);
                fase_ = Fase::Comando;
            }
            break;
        case Fase::Digitos:
            if (c == Protocolo::STX) {
                // Not a digit: this frame is broken; the STX may start the next.
                Trama t;
                t.bruta = actual_;
                t.inicioNs = inicioNs_;
                t.finNs = instanteNs;
                t.motivo = QStringLiteral("trama sin sus cuatro digitos de control");
                listas.append(t);
                empezar(instanteNs);
                break;
            }
            actual_.append(c);
            if (++digitos_ == 4)
                listas.append(cerrar(instanteNs));
            break;
        }
    }
    return listas;
}
