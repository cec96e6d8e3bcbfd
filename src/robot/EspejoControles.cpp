#include "EspejoControles.h"

#include "Pantalla.h"

EspejoControles::EspejoControles(Pantalla& pantalla, QObject* parent) : QObject(parent)
{
    connect(&pantalla, &Pantalla::HabilitadoCambiado, this,
            [this](const QString& control, bool si) { habilitado_.insert(control, si); });
}
