#include "comun/Texto.h"

#include <cmath>

namespace
{
template <typename T> T recortar(const T& s)
{
    qsizetype a = 0;
    qsizetype b = s.size();
    while (a < b && s.at(a) == ' ')
        ++a;
    while (b > a && s.at(b - 1) == ' ')
        --b;
    return s.mid(a, b - a);
}

template <typename T> T medio(const T& s, qsizetype desde, qsizetype largo)
{
    if (desde < 1)
        desde = 1;
    if (desde > s.size())
        return T();
    return s.mid(desde - 1, largo < 0 ? -1 : largo);
}
} // namespace

QString Texto::Recortado(const QString& s)
{
    return recortar(s);
}
QByteArray Texto::Recortado(const QByteArray& s)
{
    return recortar(s);
}

QString Texto::Izquierda(const QString& s, qsizetype n)
{
    return n <= 0 ? QString() : s.left(n);
}

QString Texto::Medio(const QString& s, qsizetype desde, qsizetype largo)
{
    return medio(s, desde, largo);
}

QByteArray Texto::Medio(const QByteArray& s, qsizetype desde, qsizetype largo)
{
    return medio(s, desde, largo);
}

QString Texto::NumeroSinSigno(double v)
{
    if (v == 0 || !std::isfinite(v))
        return QStringLiteral("0");
    // 15 significant digits, as the old number printing gives them.
    QString s = QString::number(v, 'g', 15);
    if (s.contains(QLatin1Char('e'))) {
        s.replace(QLatin1Char('e'), QLatin1Char('E'));
        return s;
    }
    if (s.startsWith(QLatin1String("0.")))
        s.remove(0, 1);
    else if (s.startsWith(QLatin1String("-0.")))
        s.remove(1, 1);
    return s;
}

QString Texto::NumeroConSigno(double v)
{
    const QString s = NumeroSinSigno(v);
    return s.startsWith(QLatin1Char('-')) ? s : QLatin1Char(' ') + s;
}

double Texto::ValorInicial(const QString& s)
{
    qsizetype i = 0;
    const qsizetype n = s.size();
    while (i < n && (s.at(i) == ' ' || s.at(i) == '\t'))
        ++i;
    const qsizetype inicio = i;
    if (i < n && (s.at(i) == '+' || s.at(i) == '-'))
        ++i;
    qsizetype digitos = 0;
    while (i < n && s.at(i).isDigit() && s.at(i).unicode() < 128) {
        ++i;
        ++digitos;
    }
    if (i < n && s.at(i) == '.') {
        ++i;
        while (i < n && s.at(i).isDigit() && s.at(i).unicode() < 128) {
            ++i;
            ++digitos;
        }
    }
    if (digitos == 0)
        return 0;
    qsizetype fin = i;
    // An exponent counts only when digits follow it.
    if (i < n && (s.at(i) == 'e' || s.at(i) == 'E')) {
        qsizetype j = i + 1;
        if (j < n && (s.at(j) == '+' || s.at(j) == '-'))
            ++j;
        qsizetype k = j;
        while (k < n && s.at(k).isDigit() && s.at(k).unicode() < 128)
            ++k;
        if (k > j)
            fin = k;
    }
    bool ok = false;
    const double v = s.mid(inicio, fin - inicio).toDouble(&ok);
    return ok && std::isfinite(v) ? v : 0;
}
