#include "servidor/Pizarra.h"

#include "comun/CodigoPagina.h"

#include <QColor>
#include <QList>

void Pizarra::Guardar(const QString& rtf)
{
    // Kept as its opening without the closing brace, which Rtf() adds back.
    cabeza_ = rtf.endsWith(QLatin1Char('}')) ? rtf.chopped(1) : rtf;
    cierre_ = rtf.endsWith(QLatin1Char('}'));
    vacia_ = false;
    lineas_.clear();
    tamano_ = 0;
    quitadas_ = 0;
}

QString Pizarra::Rtf() const
{
    if (vacia_)
        return QString();
    QString t = cabeza_;
    for (const QString& l : lineas_)
        t += l;
    if (cierre_)
        t += QLatin1Char('}');
    return t + QStringLiteral("\r\n");
}

QString Pizarra::TomarPizarra()
{
    QString t = Rtf();
    t.chop(3);
    Guardar(QString());
    cierre_ = false;
    vacia_ = true;
    return t;
}

void Pizarra::IniciarPizarra()
{
    QString t;
    t += QStringLiteral("{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang3082{\\fonttbl{\\f0\\fswiss\\fcharset0 "
                        "Microsoft Sans Serif;}{\\f1\\fnil\\fcharset0 MS Sans Serif;}}");
    t += QStringLiteral("{\\colortbl ;\\red100\\green100\\blue0;\\red100\\green100\\blue100;\\red0\\green0"
                        "\\blue255;\\red0\\green0\\blue0;\\red255\\green0\\blue255;\\red0\\green255\\blue255;}");
    t += QStringLiteral("\\viewkind4\\uc1\\pard\\f0\\fs24  \\cf1\\fs16");
    t += QStringLiteral(" Servidor dice:");
    t += QChar(13);
    t += QStringLiteral("\\par \\cf2         Recibiendo solicitud de inicio de sesión...");
    t += QStringLiteral("\\cf3 .\\cf4 .\\cf5 .\\cf1 .\\cf0 .\\cf6 .");
    t += QStringLiteral("}");
    Guardar(t);
}

void Pizarra::Agregar(const QString& linea)
{
    // A board taken empty (TomarPizarra) gets its closing brace back.
    cierre_ = true;
    vacia_ = false;
    lineas_.push_back(linea);
    tamano_ += linea.size();
    quitadas_ = 0;
    while (lineas_.size() > 1 &&
           (lineas_.size() > std::size_t(kMaxLineas) || tamano_ > kMaxTexto)) {
        tamano_ -= lineas_.front().size();
        lineas_.pop_front();
        ++quitadas_;
    }
}

QString Pizarra::Escapar(const QString& texto)
{
    QString t;
    t.reserve(texto.size() + 16);
    for (const QChar c : texto) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('{') || c == QLatin1Char('}')) {
            t += QLatin1Char('\\');
            t += c;
        } else if (CodigoPagina::Codigo(c) < 0) {
            // RTF writes the code as a signed 16-bit number.
            t += QStringLiteral("\\u%1?").arg(qint16(c.unicode()));
        } else {
            t += c;
        }
    }
    return t;
}

void Pizarra::ChatServidor(const QString& cuerpo)
{
    QString texto = cuerpo;
    if (texto.size() > kMaxCuerpo) {
        texto.truncate(kMaxCuerpo);
        texto += QStringLiteral(" [...]");
    }
    Agregar(QStringLiteral("\\cf1  ") + QStringLiteral("Servidor dice:") + QStringLiteral("\\par \\cf2         ") +
            Escapar(texto));
}

void Pizarra::Eco(const QString& mensaje, const QString& hablante, bool visible)
{
    const QString tipo = mensaje.left(2);
    if (tipo != QLatin1String("M%") && tipo != QLatin1String("D%") && tipo != QLatin1String("N%"))
        return;
    if (!visible)
        return; // nothing to echo; the board keeps its chat
    const QString cuerpo = Escapar(mensaje.mid(2));
    if (tipo == QLatin1String("N%"))
        Agregar(cuerpo);
    else
        Agregar(QStringLiteral("\\cf3  ") + Escapar(hablante) + QStringLiteral(" dice:") +
                QStringLiteral("\\par \\cf0         ") + cuerpo);
}

QString Pizarra::HtmlLinea(const QString& linea) const
{
    // The colour table of the opening, then the line alone.
    const qsizetype p = cabeza_.indexOf(QLatin1String("{\\colortbl"));
    const qsizetype f = p < 0 ? -1 : cabeza_.indexOf(QLatin1Char('}'), p);
    const QString tabla = f < 0 ? QString() : cabeza_.mid(p, f - p + 1);
    return AHtml(tabla + linea);
}

namespace {
QString escaparHtml(QChar c)
{
    switch (c.unicode()) {
    case '<': return QStringLiteral("&lt;");
    case '>': return QStringLiteral("&gt;");
    case '&': return QStringLiteral("&amp;");
    case ' ': return QStringLiteral("&nbsp;");
    default: return QString(c);
    }
}
} // namespace

QString Pizarra::AHtml(const QString& rtf)
{
    // A small reader for the subset the board writes; anything else is
    // skipped, and no input can make it fail.
    QList<QColor> colores; // index 0 is the default colour (the entry without values)
    QString html;
    int profundidad = 0;
    int grupoTabla = -1; // depth of a {\fonttbl} or {\colortbl} group being skipped
    bool enColores = false;
    int rojo = 0, verde = 0, azul = 0;
    bool entradaConColor = false;
    bool spanAbierto = false;

    auto cambiarColor = [&](int indice) {
        if (spanAbierto)
            html += QStringLiteral("</span>");
        spanAbierto = false;
        if (indice > 0 && indice < colores.size() && colores.at(indice).isValid()) {
            html += QStringLiteral("<span style=\"color:%1\">").arg(colores.at(indice).name());
            spanAbierto = true;
        }
    };

    const qsizetype n = rtf.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = rtf.at(i);
        if (c == QLatin1Char('{')) {
            ++profundidad;
            continue;
        }
        if (c == QLatin1Char('}')) {
            if (grupoTabla == profundidad) {
                grupoTabla = -1;
                enColores = false;
            }
            --profundidad;
            continue;
        }
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            continue;
        if (c == QLatin1Char('\\') && i + 1 < n) {
            const QChar s = rtf.at(i + 1);
            if (s == QLatin1Char('\\') || s == QLatin1Char('{') || s == QLatin1Char('}')) {
                if (grupoTabla < 0)
                    html += escaparHtml(s);
                ++i;
                continue;
            }
            if (s == QLatin1Char('\'') && i + 3 < n) {
                bool ok = false;
                const int codigo = rtf.mid(i + 2, 2).toInt(&ok, 16);
                if (ok && grupoTabla < 0)
                    html += escaparHtml(CodigoPagina::ATexto(QByteArray(1, char(codigo))).at(0));
                i += 3;
                continue;
            }
            // A control word: letters, an optional signed number, one optional blank.
            qsizetype j = i + 1;
            while (j < n && rtf.at(j).isLetter() && rtf.at(j).unicode() < 128)
                ++j;
            const QString palabra = rtf.mid(i + 1, j - i - 1);
            qsizetype k = j;
            if (k < n && rtf.at(k) == QLatin1Char('-'))
                ++k;
            while (k < n && rtf.at(k).isDigit() && rtf.at(k).unicode() < 128)
                ++k;
            const int valor = rtf.mid(j, k - j).toInt();
            const bool conValor = k > j;
            if (k < n && rtf.at(k) == QLatin1Char(' '))
                ++k;
            i = k - 1;
            if (palabra.isEmpty())
                continue;
            if (palabra == QLatin1String("fonttbl") || palabra == QLatin1String("colortbl")) {
                grupoTabla = profundidad;
                enColores = palabra == QLatin1String("colortbl");
            } else if (enColores && palabra == QLatin1String("red")) {
                rojo = valor;
                entradaConColor = true;
            } else if (enColores && palabra == QLatin1String("green")) {
                verde = valor;
                entradaConColor = true;
            } else if (enColores && palabra == QLatin1String("blue")) {
                azul = valor;
                entradaConColor = true;
            } else if (grupoTabla < 0 && palabra == QLatin1String("u") && conValor) {
                // A character by its code, then one stand-in for old readers.
                html += escaparHtml(QChar(char16_t(valor & 0xFFFF)));
                if (i + 1 < n && rtf.at(i + 1) != QLatin1Char('\\') && rtf.at(i + 1) != QLatin1Char('{') &&
                    rtf.at(i + 1) != QLatin1Char('}'))
                    ++i;
            } else if (grupoTabla < 0 && palabra == QLatin1String("par")) {
                html += QStringLiteral("<br>");
            } else if (grupoTabla < 0 && palabra == QLatin1String("cf") && conValor) {
                cambiarColor(valor);
            }
            continue;
        }
        if (enColores) {
            if (c == QLatin1Char(';')) {
                if (colores.size() < 256)
                    colores.append(entradaConColor ? QColor(qBound(0, rojo, 255), qBound(0, verde, 255),
                                                            qBound(0, azul, 255))
                                                   : QColor());
                rojo = verde = azul = 0;
                entradaConColor = false;
            }
            continue;
        }
        if (grupoTabla >= 0)
            continue;
        html += escaparHtml(c);
    }
    if (spanAbierto)
        html += QStringLiteral("</span>");
    return html;
}
