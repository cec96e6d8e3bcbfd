#include "ventana/IconoBandeja.h"

#include "ventana/ImagenesLed.h"

#include <QSystemTrayIcon>
#include <QWidget>

IconoBandeja::IconoBandeja(QWidget& ventana)
    : QObject(&ventana), ventana_(ventana), hayBandeja_(&QSystemTrayIcon::isSystemTrayAvailable)
{
    setObjectName(QStringLiteral("Picture2"));
}

void IconoBandeja::PonerHayBandeja(std::function<bool()> hayBandeja)
{
    hayBandeja_ = std::move(hayBandeja);
}

bool IconoBandeja::Minimizar()
{
    if (!hayBandeja_ || !hayBandeja_())
        return false;
    if (!icono_) {
        icono_ = new QSystemTrayIcon(ImagenesLed::Icono(), this);
        icono_->setToolTip(QStringLiteral("Rovend"));
        // Every notification from the icon brings the window back.
        connect(icono_, &QSystemTrayIcon::activated, this, &IconoBandeja::Restaurar);
    }
    icono_->show();
    ventana_.hide();
    return true;
}

void IconoBandeja::Restaurar()
{
    if (icono_) {
        icono_->hide();
        // It may be the icon's own signal that got us here.
        icono_->deleteLater();
        icono_ = nullptr;
    }
    ventana_.showNormal();
    ventana_.raise();
    ventana_.activateWindow();
}
