#pragma once

#include "SimuladorEnHilo.h"
#include "TiendaDemo.h"
#include "motor/Robot.h"

#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <memory>

// An empty demo shop, the printer simulator (unpaced) and a robot on them,
// with the printer waits cut short and the pauses (lamp test, DelayMili)
// taking no time. The robot runs either in its own thread, as in the program
// (Arrancar; call it after the window exists, which reads the model first),
// or in the test's thread (IniciarAqui), where each action has ended when
// its call returns.
class BancoVentana
{
  public:
    BancoVentana();
    ~BancoVentana();
    bool Arrancar();
    bool IniciarAqui() { return robot && (robot->Iniciar(), true); }
    Pantalla& p() { return robot->pantalla(); }

    // In this order: the robot goes first, the folder of its files last.
    QTemporaryDir dir;
    SimuladorEnHilo sim;
    TiendaDemo tienda;
    std::unique_ptr<Robot> robot; // null when the bench could not be built

  private:
    QThread hilo_;
    std::atomic<bool> iniciado_{false}; // set in the robot's thread
};
