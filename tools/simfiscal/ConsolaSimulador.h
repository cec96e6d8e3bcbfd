#pragma once

#include <QByteArray>
#include <QObject>

class QSocketNotifier;
class SimuladorFiscal;

// The program's console: control lines on stdin (answered on stdout, so a
// test can wait for the "ok" before going on), an exchange log on stderr in
// verbose mode, and a clean end on SIGTERM/SIGINT.
class ConsolaSimulador : public QObject
{
    Q_OBJECT
  public:
    ConsolaSimulador(SimuladorFiscal& sim, bool terminarConEntrada, bool detallado,
                     QObject* parent = nullptr);
    ~ConsolaSimulador() override;

    // Makes SIGTERM and SIGINT quit the event loop; call once.
    bool instalarSenales();

  private:
    void leerEntrada();
    void leerSenal();

    SimuladorFiscal& sim_;
    bool terminarConEntrada_;
    QSocketNotifier* entrada_ = nullptr;
    QSocketNotifier* senal_ = nullptr;
    QByteArray pendiente_;
};
