#pragma once

#include <QLabel>
#include <QList>
#include <QPointer>

// The ruler above the lamps (Label11). Its text keeps the designed spacing,
// which only lined up with the old fixed-size lamps; it paints each number
// centred over its lamp column instead, wherever the layout put them.
class ReglaLeds : public QLabel
{
    Q_OBJECT
  public:
    explicit ReglaLeds(QWidget* parent = nullptr);

    // The lamps of one row, left to right; the numbers follow their columns.
    void PonerColumnas(const QList<QWidget*>& leds);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* e) override;

  private:
    QList<QPointer<QWidget>> columnas_;
};
