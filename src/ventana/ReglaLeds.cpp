#include "ventana/ReglaLeds.h"

#include <QPainter>

ReglaLeds::ReglaLeds(QWidget* parent) : QLabel(parent)
{
    setObjectName(QStringLiteral("Label11"));
    setText(QStringLiteral(" 1    2   3   4   5    6   7    8   9  10  11 12 13 14 15  16"));
}

void ReglaLeds::PonerColumnas(const QList<QWidget*>& leds)
{
    columnas_.clear();
    for (QWidget* w : leds)
        columnas_.append(w);
    update();
}

QSize ReglaLeds::sizeHint() const
{
    if (columnas_.isEmpty())
        return QLabel::sizeHint();
    return {fontMetrics().horizontalAdvance(QStringLiteral("16")) * int(columnas_.size()),
            fontMetrics().height()};
}

QSize ReglaLeds::minimumSizeHint() const
{
    return sizeHint();
}

void ReglaLeds::paintEvent(QPaintEvent* e)
{
    const QStringList numeros = text().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (columnas_.isEmpty() || numeros.size() != columnas_.size()) {
        QLabel::paintEvent(e);
        return;
    }
    QPainter p(this);
    p.setPen(palette().color(QPalette::WindowText));
    for (qsizetype i = 0; i < numeros.size(); ++i) {
        const QWidget* led = columnas_.at(i);
        if (!led)
            continue;
        const int centro =
            led->mapTo(window(), led->rect().center()).x() - mapTo(window(), QPoint(0, 0)).x();
        const int ancho = fontMetrics().horizontalAdvance(numeros.at(i)) + 4;
        p.drawText(QRect(centro - ancho / 2, 0, ancho, height()), Qt::AlignCenter, numeros.at(i));
    }
}
