#include "ventana/DelegadoControl.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>

namespace
{
constexpr int kRelleno = 3; // inner padding of a symbol box
constexpr int kHueco = 1;   // gap either side of a box

QColor ColorSimbolo(const QString& nombre)
{
    if (nombre == QLatin1String("STX") || nombre == QLatin1String("ETX"))
        return QColor(0x2f, 0x5d, 0x8a); // frame limits
    if (nombre == QLatin1String("FS"))
        return QColor(0x5f, 0x66, 0x6d); // field separator
    if (nombre == QLatin1String("DC2"))
        return QColor(0xb3, 0x5c, 0x12); // printer busy
    return QColor(0x7a, 0x3b, 0x8f);
}
} // namespace

QString DelegadoControl::Simbolo(QChar c)
{
    static const char* const kNombres[32] = {"NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL",
                                             "BS",  "HT",  "LF",  "VT",  "FF",  "CR",  "SO",  "SI",
                                             "DLE", "DC1", "DC2", "DC3", "DC4", "NAK", "SYN", "ETB",
                                             "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};
    const char16_t u = c.unicode();
    if (u < 32)
        return QString::fromLatin1(kNombres[u]);
    if (u == 127)
        return QStringLiteral("DEL");
    if (u >= 0x80 && u < 0xA0)
        return QStringLiteral("%1").arg(int(u), 2, 16, QLatin1Char('0')).toUpper();
    if (u == 0xFFFD)
        return QStringLiteral("?");
    return QString();
}

QList<DelegadoControl::Trozo> DelegadoControl::Trozos(const QString& texto)
{
    QList<Trozo> trozos;
    QString corrido;
    for (QChar c : texto) {
        const QString s = Simbolo(c);
        if (s.isEmpty()) {
            corrido += c;
            continue;
        }
        if (!corrido.isEmpty())
            trozos.append({corrido, false});
        corrido.clear();
        trozos.append({s, true});
    }
    if (!corrido.isEmpty())
        trozos.append({corrido, false});
    return trozos;
}

QFont DelegadoControl::FuenteSimbolo(const QFont& base)
{
    QFont f = base;
    f.setBold(true);
    if (f.pointSizeF() > 0)
        f.setPointSizeF(f.pointSizeF() * 0.72);
    else
        f.setPixelSize(qMax(7, f.pixelSize() * 3 / 4));
    return f;
}

int DelegadoControl::AnchoTrozo(const Trozo& t, const QFont& fuente)
{
    if (!t.simbolo)
        return QFontMetrics(fuente).horizontalAdvance(t.texto);
    return QFontMetrics(FuenteSimbolo(fuente)).horizontalAdvance(t.texto) + 2 * kRelleno +
           2 * kHueco;
}

void DelegadoControl::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QString texto = opt.text;
    opt.text.clear();
    const QWidget* widget = opt.widget;
    QStyle* estilo = widget ? widget->style() : QApplication::style();
    // Background, selection and focus as the style draws them; the text is ours.
    estilo->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    const QRect area = estilo->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget);
    const bool seleccionado = opt.state & QStyle::State_Selected;
    const QColor tinta =
        opt.palette.color(opt.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled,
                          seleccionado ? QPalette::HighlightedText : QPalette::Text);
    const QFont fuenteSimbolo = FuenteSimbolo(opt.font);
    const QFontMetrics mSimbolo(fuenteSimbolo);

    painter->save();
    painter->setClipRect(area);
    painter->setRenderHint(QPainter::Antialiasing);
    int x = area.left() + 2;
    for (const Trozo& t : Trozos(texto)) {
        const int ancho = AnchoTrozo(t, opt.font);
        if (!t.simbolo) {
            painter->setFont(opt.font);
            painter->setPen(tinta);
            painter->drawText(QRect(x, area.top(), ancho, area.height()),
                              Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, t.texto);
        } else {
            const int alto = mSimbolo.height() + 2;
            const QRectF caja(x + kHueco, area.center().y() - alto / 2.0 + 1, ancho - 2 * kHueco,
                              alto);
            QPainterPath borde;
            borde.addRoundedRect(caja, 3, 3);
            painter->fillPath(borde, ColorSimbolo(t.texto));
            painter->setFont(fuenteSimbolo);
            painter->setPen(Qt::white);
            painter->drawText(caja, Qt::AlignCenter, t.texto);
        }
        x += ancho;
        if (x > area.right())
            break;
    }
    painter->restore();
}

QSize DelegadoControl::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    int ancho = 8;
    for (const Trozo& t : Trozos(opt.text))
        ancho += AnchoTrozo(t, opt.font);
    // The row height of a plain one-line entry: a control byte such as LF
    // must not make the style measure the entry as several lines.
    QStyleOptionViewItem linea = opt;
    linea.text = QStringLiteral("X");
    const QWidget* widget = opt.widget;
    QStyle* estilo = widget ? widget->style() : QApplication::style();
    const QSize base = estilo->sizeFromContents(QStyle::CT_ItemViewItem, &linea, QSize(), widget);
    return {ancho, qMax(base.height(), QFontMetrics(opt.font).height() + 4)};
}
