#pragma once

#include <QHash>
#include <QObject>

class Pantalla;

// The enabled state of the window's controls as the main thread sees it,
// kept from the screen model's signals. Server requests consult it on
// arrival, with or without a window.
class EspejoControles : public QObject
{
    Q_OBJECT
public:
    explicit EspejoControles(Pantalla& pantalla, QObject* parent = nullptr);
    bool Habilitado(const QString& control) const { return habilitado_.value(control, true); }

private:
    QHash<QString, bool> habilitado_;
};
