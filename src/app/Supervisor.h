#pragma once

#include "tienda/AjustesRobot.h"
#include "estado/ServidorEstado.h"

#include <QObject>
#include <QThread>
#include <functional>
#include <memory>

class Consola;
class EnlaceServidor;
class EspejoControles;
class EstadoRobot;
class Robot;
class VistaPizarra;
class frmImprimirFacturaROBOT;

// The main thread's side of the program: starts the robot thread, shows the
// window or the console, keeps the server link, and runs the ways out:
//  - closing (window, "Cerrar", SIGTERM): the robot finishes the document it
//    is printing, then the goodbye to the server, then the end;
//  - a socket error: its message, then the same closing;
//  - a refused connection or the server's "X%": the end at once.
class Supervisor : public QObject
{
    Q_OBJECT
public:
    Supervisor(const AjustesRobot& ajustes, bool sinVentana, QObject* parent = nullptr);
    ~Supervisor() override;

    void Arrancar();
    // The normal shutdown; asked twice, the robot's waits are cut short.
    void Apagar();
    // The exit status once the event loop has ended.
    int CodigoSalida() const { return codigo_; }

    // The status view: the alarm's threshold, and the HTTP endpoint (false
    // with the reason when its address cannot be bound).
    void PonerUmbralAlarma(double segundos);
    bool AbrirEstado(const ServidorEstado::Direccion& direccion, QString* error);

    // Shows an operator message: a modal box, or a console line headless.
    std::function<void(const QString&)> Avisar;

private:
    void SalirYa(int codigo);
    void SolicitudCierre(bool z);

    bool sinVentana_;
    QThread hilo_;
    Robot* robot_;
    std::unique_ptr<EnlaceServidor> servidor_;
    std::unique_ptr<EspejoControles> espejo_;
    std::unique_ptr<Consola> consola_;
    std::unique_ptr<frmImprimirFacturaROBOT> ventana_;
    std::unique_ptr<VistaPizarra> vistaPizarra_; // the board in the window
    std::unique_ptr<EstadoRobot> estado_;
    std::unique_ptr<ServidorEstado> http_;
    bool apagando_ = false;
    bool terminado_ = false;
    int codigo_ = 0;
};
