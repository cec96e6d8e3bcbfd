#include "comun/Legible.h"

#include "comun/CodigoPagina.h"

QString Legible::Texto(const QByteArray& bytes)
{
    static const char* const kNombres[32] = {"NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL",
                                             "BS",  "HT",  "LF",  "VT",  "FF",  "CR",  "SO",  "SI",
                                             "DLE", "DC1", "DC2", "DC3", "DC4", "NAK", "SYN", "ETB",
                                             "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};
    QString s;
    s.reserve(bytes.size() + 16);
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (b < 32)
            s += QLatin1Char('<') + QLatin1String(kNombres[b]) + QLatin1Char('>');
        else if (b == 127)
            s += QLatin1String("<DEL>");
        else if (b >= 0x80 && b < 0xA0 &&
                 CodigoPagina::ATexto(QByteArray(1, ch)).at(0) == QChar(0xFFFD))
            s += QStringLiteral("<%1>").arg(b, 2, 16, QLatin1Char('0')).toUpper();
        else
            s += CodigoPagina::ATexto(QByteArray(1, ch));
    }
    return s;
}
