#include "servidor/Pizarra.h"

#include "comun/CodigoPagina.h"
#include "servidor/LectorRtf.h"

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
    t += QStringLiteral(
        "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang3082{\\fonttbl{\\f0\\fswiss\\fcharset0 "
        "Microsoft Sans Serif;}{\\f1\\fnil\\fcharset0 MS Sans Serif;}}");
    t += QStringLiteral(
        "{\\colortbl ;\\red100\\green100\\blue0;\\red100\\green100\\blue100;\\red0\\green0"
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
    Agregar(QStringLiteral("\\cf1  ") + QStringLiteral("Servidor dice:") +
            QStringLiteral("\\par \\cf2         ") + Escapar(texto));
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

QString Pizarra::AHtml(const QString& rtf)
{
    return LectorRtf::AHtml(rtf);
}
