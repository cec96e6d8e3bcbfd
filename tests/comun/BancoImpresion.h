#pragma once

#include "AjustesTienda.h"
#include "BaseTienda.h"
#include "ComandosFiscales.h"
#include "Configuracion.h"
#include "ContextoImpresion.h"
#include "ControlRobot.h"
#include "EnlaceImpresora.h"
#include "Pantalla.h"
#include "PuertoQt.h"
#include "SimuladorEnHilo.h"
#include "TiendaDemo.h"

#include <QTemporaryDir>
#include <memory>

// A bench for the printing runs: a demo shop in a temporary folder, the
// printer simulator on a pseudo-terminal (no pacing, so tests are quick),
// the real link over QSerialPort, and a ContextoImpresion whose robot
// control is recorded instead of driving a thread.
class BancoImpresion : public ControlRobot
{
public:
    BancoImpresion();
    ~BancoImpresion() override;

    // Creates the shop (with `opciones`) and starts the simulator. False and
    // a reason in Error() on failure.
    bool Crear(const OpcionesTienda& opciones = {});
    QString Error() const { return error_; }

    TiendaDemo tienda;
    std::unique_ptr<SimuladorEnHilo> sim;
    std::unique_ptr<PuertoQt> puerto;
    std::unique_ptr<EnlaceImpresora> enlace;
    std::unique_ptr<ComandosFiscales> comandos;
    BaseTienda base;
    Pantalla pantalla;
    Configuracion config;
    AjustesTienda ajustesTienda;
    std::unique_ptr<ContextoImpresion> ctx;

    // What the runs asked of the robot.
    bool timer = true;
    int detenciones = 0; // DetenerPorFalla calls

    // The text the pending invoices / notes lists show now.
    QStringList FacturasPendientes();
    QStringList NotasPendientes();

    // ControlRobot
    void PonerTimer(bool activo) override { timer = activo; }
    bool TimerActivo() const override { return timer; }
    void DetenerPorFalla() override;
    void HabilitarControles(bool estado) override { timer = estado; }
    std::optional<QList<Pendiente>> RefrescarFacturas() override;
    std::optional<QList<Pendiente>> RefrescarNotas() override;

private:
    QTemporaryDir dir_;
    QString error_;
};
