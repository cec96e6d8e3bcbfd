#include "ventana/ImagenesLed.h"

#include <QGuiApplication>
#include <QPainter>
#include <QRadialGradient>
#include <array>

namespace
{
QColor Base(ColorLed color)
{
    switch (color) {
    case ColorLed::Verde:
        return QColor(0x2e, 0xb8, 0x3c);
    case ColorLed::Rojo:
        return QColor(0xd9, 0x2b, 0x22);
    case ColorLed::Naranja:
        return QColor(0xf3, 0x8a, 0x10);
    case ColorLed::Gris:
        break;
    }
    return QColor(0x9a, 0x9d, 0xa1);
}
} // namespace

QPixmap ImagenesLed::Dibujar(ColorLed color, int lado, qreal escala)
{
    QPixmap pm(QSize(lado, lado) * escala);
    pm.setDevicePixelRatio(escala);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor base = Base(color);
    const QRectF aro(1.5, 1.5, lado - 3.0, lado - 3.0);
    // A dark bezel, then the lens lit from the upper left.
    p.setPen(QPen(base.darker(220), 2.0));
    QRadialGradient lente(aro.center() - QPointF(lado * 0.15, lado * 0.15), lado * 0.6);
    lente.setColorAt(0.0, base.lighter(160));
    lente.setColorAt(0.55, base);
    lente.setColorAt(1.0, base.darker(150));
    p.setBrush(lente);
    p.drawEllipse(aro);
    // The glint that makes it read as a lamp even when it is grey.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 110));
    p.drawEllipse(QRectF(lado * 0.24, lado * 0.16, lado * 0.34, lado * 0.22));
    return pm;
}

const QPixmap& ImagenesLed::Imagen(ColorLed color)
{
    static const std::array<QPixmap, 4> imagenes = [] {
        const qreal escala = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
        return std::array<QPixmap, 4>{
            Dibujar(ColorLed::Gris, kLado, escala), Dibujar(ColorLed::Verde, kLado, escala),
            Dibujar(ColorLed::Rojo, kLado, escala), Dibujar(ColorLed::Naranja, kLado, escala)};
    }();
    return imagenes.at(std::size_t(color));
}

QIcon ImagenesLed::Icono()
{
    QIcon icono;
    for (int lado : {16, 24, 32, 48, 64})
        icono.addPixmap(Dibujar(ColorLed::Verde, lado, 1.0));
    return icono;
}
