#pragma once

#include "tienda/BaseDatos.h"

#include <optional>

// What a printing run may ask of the robot that runs it.
class ControlRobot
{
public:
    virtual ~ControlRobot() = default;

    // The polling timer Timer1 (the runs stop it while they print).
    virtual void PonerTimer(bool activo) = 0;
    virtual bool TimerActivo() const = 0;
    // The end of a failure path: timer stopped, Command3 reads "Iniciar",
    // Command10 ("Cerrar") enabled, so the operator must start it again.
    virtual void DetenerPorFalla() = 0;
    // Timer1 and the operator buttons together; never Command10.
    virtual void HabilitarControles(bool estado) = 0;
    // Re-run a pending query and show it in its list; nullopt when the
    // database cannot be read.
    virtual std::optional<QList<Pendiente>> RefrescarFacturas() = 0;
    virtual std::optional<QList<Pendiente>> RefrescarNotas() = 0;
};
