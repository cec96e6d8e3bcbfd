#pragma once

#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>
#include <functional>

class QWidget;

// The robot's place in the notification area. Minimising hides the window
// behind one icon with the tip "Rovend"; any activation of the icon brings
// the window back and removes the icon. Without a tray the window simply
// stays minimised.
class IconoBandeja : public QObject
{
    Q_OBJECT
  public:
    explicit IconoBandeja(QWidget& ventana);

    // Hides the window behind the icon; false (and nothing done) when the
    // desktop has no tray.
    bool Minimizar();
    // Shows the window in its normal size and removes the icon.
    void Restaurar();
    bool EnBandeja() const { return icono_ != nullptr; }
    QSystemTrayIcon* Icono() const { return icono_; }

    // Whether the desktop has a tray (QSystemTrayIcon's own test unless
    // replaced, which tests do).
    void PonerHayBandeja(std::function<bool()> hayBandeja);

  private:
    QWidget& ventana_;
    QPointer<QSystemTrayIcon> icono_;
    std::function<bool()> hayBandeja_;
};
