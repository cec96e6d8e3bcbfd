#pragma once

#include "ControlSimulador.h"
#include "DocumentoImpreso.h"
#include "FallasSimulador.h"
#include "MaquinaFiscal.h"
#include "SimuladorFiscal.h"

#include <QList>
#include <QString>
#include <QThread>

// A SimuladorFiscal in a thread of its own, for in-process tests whose own
// thread blocks inside the robot's serial code. Every call is safe from any
// thread except the simulator's: it runs on the simulator's thread and waits.
//
//     SimuladorEnHilo sim;            // options as for SimuladorFiscal
//     QVERIFY(sim.iniciar());
//     robot.puerto = sim.ruta();      // the terminal (or its link, when set)
//     ... sim.documentos(), sim.contadores(), sim.control("rechazar B 1")
class SimuladorEnHilo
{
  public:
    SimuladorEnHilo();
    explicit SimuladorEnHilo(const SimuladorFiscal::Opciones& o);
    ~SimuladorEnHilo();
    SimuladorEnHilo(const SimuladorEnHilo&) = delete;
    SimuladorEnHilo& operator=(const SimuladorEnHilo&) = delete;

    bool iniciar();
    QString ruta() const { return ruta_; }
    QString error() const { return error_; }

    FallasSimulador fallas() const;
    void ponerFallas(const FallasSimulador& f);
    ControlSimulador::Resultado control(const QString& linea);
    void ponerRitmo(bool ritmo);
    void ponerFecha(const QDateTime& fecha);

    QList<DocumentoImpreso> documentos() const;
    MaquinaFiscal::Contadores contadores() const;
    void ponerContadores(const MaquinaFiscal::Contadores& c);
    QByteArray codigoEstado() const;
    SimuladorFiscal::Estadisticas estadisticas() const;

  private:
    template <typename F> auto enHilo(F f) const;

    SimuladorFiscal::Opciones opciones_;
    QThread hilo_;
    SimuladorFiscal* sim_ = nullptr;
    QString ruta_;
    QString error_;
};
