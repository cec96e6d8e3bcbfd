#pragma once

#include "impresora/Leds.h"

#include <QIcon>
#include <QPixmap>

// The four lamp pictures (grey, green, red, orange), all of one size, drawn
// by the program so that no image file has to travel with it.
class ImagenesLed
{
  public:
    static constexpr int kLado = 50;

    // The picture of a colour, kLado pixels square (sharp on high-density
    // screens too).
    static const QPixmap& Imagen(ColorLed color);
    // The program's icon: a green lamp (window and tray).
    static QIcon Icono();

  private:
    static QPixmap Dibujar(ColorLed color, int lado, qreal escala);
};
