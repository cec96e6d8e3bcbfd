#include "ventana/Led.h"

#include "ventana/ImagenesLed.h"

#include <QPainter>

namespace
{
constexpr int kLadoVisible = 22;
}

Led::Led(FilaLed fila, int indice, QWidget* parent) : QWidget(parent)
{
    setObjectName(
        (fila == FilaLed::EF ? QStringLiteral("EF%1") : QStringLiteral("EI%1")).arg(indice));
    setToolTip(Leds::Tooltip(fila, indice));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void Led::PonerColor(ColorLed color)
{
    if (color == color_)
        return;
    color_ = color;
    update();
}

QSize Led::sizeHint() const
{
    return {kLadoVisible, kLadoVisible};
}

QSize Led::minimumSizeHint() const
{
    return sizeHint();
}

void Led::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const int lado = qMin(width(), height());
    const QRect r((width() - lado) / 2, (height() - lado) / 2, lado, lado);
    p.drawPixmap(r, ImagenesLed::Imagen(color_));
}
