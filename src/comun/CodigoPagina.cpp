#include "comun/CodigoPagina.h"

namespace
{
// Codes 0x80 to 0x9F; 0 marks the five codes the page leaves unassigned.
constexpr char16_t kAlto[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
} // namespace

int CodigoPagina::Codigo(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF))
        return u;
    for (int i = 0; i < 32; ++i)
        if (kAlto[i] != 0 && kAlto[i] == u)
            return 0x80 + i;
    return -1;
}

QByteArray CodigoPagina::ABytes(const QString& s)
{
    QByteArray b;
    b.reserve(s.size());
    for (QChar c : s) {
        const int k = Codigo(c);
        b.append(k < 0 ? '?' : char(k));
    }
    return b;
}

QString CodigoPagina::ATexto(const QByteArray& b)
{
    QString s;
    s.reserve(b.size());
    for (char ch : b) {
        const auto k = static_cast<unsigned char>(ch);
        if (k >= 0x80 && k < 0xA0)
            s.append(kAlto[k - 0x80] ? QChar(kAlto[k - 0x80]) : QChar(0xFFFD));
        else
            s.append(QChar(k));
    }
    return s;
}
