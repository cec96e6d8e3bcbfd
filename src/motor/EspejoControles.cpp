#include "motor/EspejoControles.h"

#include "motor/Pantalla.h"

#include <QPointer>

EspejoControles::EspejoControles(Pantalla& pantalla, QObject* parent) : QObject(parent)
{
    connect(&pantalla, &Pantalla::HabilitadoCambiado, this,
            [this](const QString& control, bool si) { habilitado_.insert(control, si); });
}

bool EspejoControles::Pedir(QObject* robot, const QString& control, std::function<void()> accion)
{
    if (!Habilitado(control) || enCurso_.contains(control))
        return false;
    enCurso_.insert(control);
    QPointer<EspejoControles> espejo(this);
    // Runs in the robot's thread. The release is queued behind the screen
    // changes the action made, so the mirror is up to date when it arrives.
    QMetaObject::invokeMethod(
        robot,
        [accion = std::move(accion), espejo, control] {
            accion();
            if (espejo)
                QMetaObject::invokeMethod(
                    espejo.data(),
                    [espejo, control] {
                        if (espejo)
                            espejo->enCurso_.remove(control);
                    },
                    Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
    return true;
}
