#pragma once

#include "motor/Robot.h"
#include "SimuladorEnHilo.h"
#include "TiendaDemo.h"

#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <memory>

// An empty demo shop, the printer simulator (unpaced) and a robot on them,
// with the printer waits cut short. The robot runs either in its own thread,
// as in the program (Arrancar), or in the test's thread (IniciarAqui), where
// each action has ended when its call returns.
class BancoVentana
{
  public:
    BancoVentana();
    ~BancoVentana();
    BancoVentana(const BancoVentana&) = delete;
    BancoVentana& operator=(const BancoVentana&) = delete;

    // Call after the window exists: it reads the model before the thread runs.
    bool Arrancar();
    bool IniciarAqui();

    Pantalla& p();
    // The operator buttons and "Cerrar" that are enabled now, sorted.
    QStringList Habilitados();

    // In this order: the robot goes first, the folder of its files last.
    QTemporaryDir dir;
    SimuladorEnHilo sim;
    TiendaDemo tienda;
    std::unique_ptr<Robot> robot; // null when the bench could not be built

  private:
    QThread hilo_;
    std::atomic<bool> iniciado_{false}; // set in the robot's thread
    bool enEsteHilo_ = false;
};
