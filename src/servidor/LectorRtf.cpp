#include "servidor/LectorRtf.h"

#include "comun/CodigoPagina.h"

namespace
{
QString EscaparHtml(QChar c)
{
    switch (c.unicode()) {
    case '<':
        return QStringLiteral("&lt;");
    case '>':
        return QStringLiteral("&gt;");
    case '&':
        return QStringLiteral("&amp;");
    case ' ':
        return QStringLiteral("&nbsp;");
    default:
        return QString(c);
    }
}

bool EsLlaveOBarra(QChar c)
{
    return c == QLatin1Char('\\') || c == QLatin1Char('{') || c == QLatin1Char('}');
}
} // namespace

QString LectorRtf::AHtml(const QString& rtf)
{
    return LectorRtf(rtf).Leer();
}

QString LectorRtf::Leer()
{
    for (i_ = 0; i_ < n_; ++i_)
        Caracter(rtf_.at(i_));
    if (spanAbierto_)
        html_ += QStringLiteral("</span>");
    return html_;
}

void LectorRtf::Caracter(QChar c)
{
    if (c == QLatin1Char('{')) {
        ++profundidad_;
        return;
    }
    if (c == QLatin1Char('}')) {
        if (grupoTabla_ == profundidad_) {
            grupoTabla_ = -1;
            enColores_ = false;
        }
        --profundidad_;
        return;
    }
    if (c == QLatin1Char('\r') || c == QLatin1Char('\n'))
        return;
    if (c == QLatin1Char('\\') && i_ + 1 < n_) {
        Control();
        return;
    }
    if (enColores_) {
        if (c == QLatin1Char(';'))
            TerminarColor();
        return;
    }
    if (grupoTabla_ < 0)
        html_ += EscaparHtml(c);
}

void LectorRtf::Control()
{
    const QChar s = rtf_.at(i_ + 1);
    if (EsLlaveOBarra(s)) {
        if (grupoTabla_ < 0)
            html_ += EscaparHtml(s);
        ++i_;
    } else if (s == QLatin1Char('\'') && i_ + 3 < n_) {
        Hexadecimal();
    } else {
        PalabraControl();
    }
}

void LectorRtf::Hexadecimal()
{
    // A character of the code page by its two hex digits.
    bool ok = false;
    const int codigo = rtf_.mid(i_ + 2, 2).toInt(&ok, 16);
    if (ok && grupoTabla_ < 0)
        html_ += EscaparHtml(CodigoPagina::ATexto(QByteArray(1, char(codigo))).at(0));
    i_ += 3;
}

void LectorRtf::PalabraControl()
{
    // A control word: letters, an optional signed number, one optional blank.
    qsizetype j = i_ + 1;
    while (j < n_ && rtf_.at(j).isLetter() && rtf_.at(j).unicode() < 128)
        ++j;
    const QString palabra = rtf_.mid(i_ + 1, j - i_ - 1);
    qsizetype k = j;
    if (k < n_ && rtf_.at(k) == QLatin1Char('-'))
        ++k;
    while (k < n_ && rtf_.at(k).isDigit() && rtf_.at(k).unicode() < 128)
        ++k;
    const int valor = rtf_.mid(j, k - j).toInt();
    const bool conValor = k > j;
    if (k < n_ && rtf_.at(k) == QLatin1Char(' '))
        ++k;
    i_ = k - 1;
    if (!palabra.isEmpty())
        Palabra(palabra, valor, conValor);
}

void LectorRtf::Palabra(const QString& palabra, int valor, bool conValor)
{
    if (palabra == QLatin1String("fonttbl") || palabra == QLatin1String("colortbl")) {
        grupoTabla_ = profundidad_;
        enColores_ = palabra == QLatin1String("colortbl");
    } else if (enColores_ && palabra == QLatin1String("red")) {
        rojo_ = valor;
        entradaConColor_ = true;
    } else if (enColores_ && palabra == QLatin1String("green")) {
        verde_ = valor;
        entradaConColor_ = true;
    } else if (enColores_ && palabra == QLatin1String("blue")) {
        azul_ = valor;
        entradaConColor_ = true;
    } else if (grupoTabla_ < 0 && palabra == QLatin1String("u") && conValor) {
        Unicode(valor);
    } else if (grupoTabla_ < 0 && palabra == QLatin1String("par")) {
        html_ += QStringLiteral("<br>");
    } else if (grupoTabla_ < 0 && palabra == QLatin1String("cf") && conValor) {
        CambiarColor(valor);
    }
}

void LectorRtf::Unicode(int valor)
{
    // A character by its code, then one stand-in for old readers.
    html_ += EscaparHtml(QChar(char16_t(valor & 0xFFFF)));
    if (i_ + 1 < n_ && !EsLlaveOBarra(rtf_.at(i_ + 1)))
        ++i_;
}

void LectorRtf::TerminarColor()
{
    if (colores_.size() < 256)
        colores_.append(entradaConColor_ ? QColor(qBound(0, rojo_, 255), qBound(0, verde_, 255),
                                                  qBound(0, azul_, 255))
                                         : QColor());
    rojo_ = verde_ = azul_ = 0;
    entradaConColor_ = false;
}

void LectorRtf::CambiarColor(int indice)
{
    if (spanAbierto_)
        html_ += QStringLiteral("</span>");
    spanAbierto_ = false;
    if (indice > 0 && indice < colores_.size() && colores_.at(indice).isValid()) {
        html_ += QStringLiteral("<span style=\"color:%1\">").arg(colores_.at(indice).name());
        spanAbierto_ = true;
    }
}
