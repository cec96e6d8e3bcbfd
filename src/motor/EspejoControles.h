#pragma once

#include <QHash>
#include <QObject>
#include <QSet>
#include <functional>

class Pantalla;

// The enabled state of the window's controls as the main thread sees it,
// kept from the screen model's signals. Server requests consult it on
// arrival, with or without a window.
//
// The mirror lags the robot thread by the queued signals, so it cannot stop
// a burst of requests on its own: Pedir also remembers each request it has
// queued until the robot has run it.
class EspejoControles : public QObject
{
    Q_OBJECT
public:
    explicit EspejoControles(Pantalla& pantalla, QObject* parent = nullptr);
    bool Habilitado(const QString& control) const { return habilitado_.value(control, true); }

    // Queues `accion` into the thread of `robot` as a click of `control`,
    // unless the control is disabled or an earlier request for it is still
    // queued or running: then it is dropped, as a disabled button drops a
    // click. False when dropped.
    bool Pedir(QObject* robot, const QString& control, std::function<void()> accion);
    bool EnCurso(const QString& control) const { return enCurso_.contains(control); }

private:
    QHash<QString, bool> habilitado_;
    QSet<QString> enCurso_;
};
