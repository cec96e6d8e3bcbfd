#pragma once

#include "impresora/Leds.h"

#include <QWidget>

// One status lamp (EF0..EF15, EI0..EI15): shows one of the four lamp
// pictures, scaled to the widget, with the bit's name as tooltip.
class Led : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(int color READ ColorNumero)
  public:
    Led(FilaLed fila, int indice, QWidget* parent = nullptr);

    void PonerColor(ColorLed color);
    ColorLed Color() const { return color_; }
    int ColorNumero() const { return int(color_); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* e) override;

  private:
    ColorLed color_ = ColorLed::Gris;
};
