#include "comun/Conversiones.h"

#include "comun/CodigoPagina.h"
#include "comun/Texto.h"

#include <cmath>

namespace
{
// Accented letters and their plain forms; each keeps the text's length.
constexpr struct {
    char16_t letra;
    char llana;
} kLetras[] = {
    {u'\u00D1', 'N'}, {u'\u00F1', 'n'}, // Ñ ñ
    {u'\u00C1', 'A'}, {u'\u00E1', 'a'}, // Á á
    {u'\u00C9', 'E'}, {u'\u00E9', 'e'}, // É é
    {u'\u00CD', 'I'}, {u'\u00ED', 'i'}, // Í í
    {u'\u00D3', 'O'}, {u'\u00F3', 'o'}, // Ó ó
    {u'\u00DA', 'U'}, {u'\u00FA', 'u'}, // Ú ú
};

// Significant digits of the amount as a person wrote it; a double holds no
// more, and the binary noise beyond them must not decide a tie.
constexpr int kDigitos = 15;

// Adds one to a string of decimal digits ("0999" -> "1000", "99" -> "100").
void SumoUno(QString& digitos)
{
    for (qsizetype i = digitos.size() - 1; i >= 0; --i) {
        if (digitos.at(i) != QLatin1Char('9')) {
            digitos[i] = QChar(digitos.at(i).unicode() + 1);
            return;
        }
        digitos[i] = QLatin1Char('0');
    }
    digitos.prepend(QLatin1Char('1'));
}
} // namespace

QString Conversiones::LimpioRif(const QString& cadenita)
{
    QString r = cadenita;
    r.remove(QLatin1Char('.'));
    r.remove(QLatin1Char(','));
    return r;
}

QString Conversiones::LimpioCadena(const QString& cadenita)
{
    // A letter stored with a separate combining accent is joined first, so it
    // is made plain like its one-character form instead of gaining a blank.
    const QString t = cadenita.normalized(QString::NormalizationForm_C);
    QString r;
    r.reserve(t.size());
    for (qsizetype i = 0; i < t.size(); ++i) {
        QChar c = t.at(i);
        for (const auto& l : kLetras) {
            if (c.unicode() == l.letra) {
                c = QLatin1Char(l.llana);
                break;
            }
        }
        // A character beyond 16 bits (an emoji) is one character: one blank.
        if (c.isHighSurrogate() && i + 1 < t.size() && t.at(i + 1).isLowSurrogate())
            ++i;
        // Outside the code page (-1) counts as above 125.
        const int codigo = CodigoPagina::Codigo(c);
        r.append(codigo < 33 || codigo > 125 ? QLatin1Char(' ') : c);
    }
    return Texto::Recortado(r);
}

QString Conversiones::TextoDeBase(const QString& texto)
{
    const QString t = texto.normalized(QString::NormalizationForm_C);
    QString r;
    r.reserve(t.size());
    for (qsizetype i = 0; i < t.size(); ++i) {
        const QChar c = t.at(i);
        if (c.isSurrogate()) {
            if (c.isHighSurrogate() && i + 1 < t.size() && t.at(i + 1).isLowSurrogate())
                ++i;
            r.append(QChar(QChar::ReplacementCharacter));
        } else {
            r.append(c);
        }
    }
    return r;
}

QString Conversiones::Cifras(double monto)
{
    if (!std::isfinite(monto))
        return QString();
    // "d.dddddddddddddde+XX": always C-locale digits, whatever the machine's.
    const QString escrito = QString::number(std::fabs(monto), 'e', kDigitos - 1);
    const qsizetype e = escrito.indexOf(QLatin1Char('e'));
    if (e < 2)
        return QString();
    QString digitos = escrito.left(e);
    digitos.remove(1, 1);
    const int exponente = escrito.mid(e + 1).toInt();
    // From 10^15 on the written form needs an exponent and has no hundredths
    // left; such an amount is refused rather than printed wrong.
    if (exponente >= kDigitos)
        return QString();

    // The first `enteros` digits are the whole hundredths; the next one
    // decides the rounding, half away from zero.
    const int enteros = exponente + 3;
    QString centesimos;
    if (enteros <= 0) {
        const bool arriba = enteros == 0 && digitos.at(0) >= QLatin1Char('5');
        centesimos = arriba ? QStringLiteral("1") : QStringLiteral("0");
    } else if (enteros >= kDigitos) {
        centesimos = digitos + QString(enteros - kDigitos, QLatin1Char('0'));
    } else {
        centesimos = digitos.left(enteros);
        if (digitos.at(enteros) >= QLatin1Char('5'))
            SumoUno(centesimos);
    }
    while (centesimos.size() > 1 && centesimos.startsWith(QLatin1Char('0')))
        centesimos.remove(0, 1);

    // Zero is "000"; below one, the two decimals alone ("05", "50").
    if (centesimos == QLatin1String("0"))
        return QStringLiteral("000");
    return RellenoCeros(centesimos, 2);
}

QString Conversiones::RellenoCeros(const QString& cadena, int largo)
{
    if (cadena.size() >= largo)
        return cadena;
    return QString(largo - cadena.size(), QLatin1Char('0')) + cadena;
}

QString Conversiones::Decoro_RIF(const QString& cadenita)
{
    return Texto::Medio(cadenita, 1, 1) + QLatin1Char('-') + Texto::Medio(cadenita, 2, 8) +
           QLatin1Char('-') + Texto::Medio(cadenita, 10, 1);
}

QString Conversiones::CampoCantidad(double cantidad)
{
    return Cifras(cantidad * 10);
}

QString Conversiones::CampoPrecio(double precio)
{
    return Cifras(precio);
}

QString Conversiones::CampoTasa(double tasaFraccion, bool exento)
{
    if (exento)
        return QStringLiteral("0000");
    // An unprintable rate must stay empty: padded it would read as exempt.
    const QString cifras = Cifras(tasaFraccion * 100);
    return cifras.isEmpty() ? cifras : RellenoCeros(cifras, 4);
}
