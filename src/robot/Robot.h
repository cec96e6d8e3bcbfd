#pragma once

#include "BaseLocal.h"
#include "BaseTienda.h"
#include "ComandosFiscales.h"
#include "Configuracion.h"
#include "EnlaceImpresora.h"
#include "Pantalla.h"
#include "PuertoSerie.h"

#include <QObject>
#include <QTimer>
#include <atomic>
#include <memory>

// The robot engine. Lives in its own thread and owns the serial port, the
// database connections and the polling timer Timer1. Its code is blocking
// and step by step; the main thread talks to it only through queued calls
// (QMetaObject::invokeMethod with Qt::QueuedConnection), so a request that
// arrives during a printer conversation waits until it is over. It never
// touches a widget: everything it shows goes through Pantalla.
class Robot : public QObject
{
    Q_OBJECT
public:
    struct Ajustes {
        Configuracion config;
        QString dispositivo;   // serial device resolved from the Puerto setting
        QString rutaPrograma;
        QString rutaBaseDatos; // file paths as this platform writes them
        QString rutaBaseLocal;
        Tiempos tiempos;
    };

    // `puerto` replaces the real serial port (tests); null uses QSerialPort.
    Robot(const Ajustes& ajustes, std::unique_ptr<PuertoSerie> puerto = nullptr,
          QObject* parent = nullptr);
    ~Robot() override;

    Pantalla& pantalla() { return *pantalla_; }
    EnlaceImpresora& enlace() { return *enlace_; }
    const Ajustes& ajustes() const { return ajustes_; }
    bool TimerActivo() const { return timer1_->isActive(); }

    // Thread-safe: makes every wait of the robot end within one slice.
    void Cancelar() { cancelar_ = true; }

public Q_SLOTS:
    // Opens the databases in this thread, shows the lists and starts polling.
    void Iniciar();
    // Stops polling and releases the port and databases (before the thread ends).
    void Terminar();

    void Timer1_Timer();
    void ActualizarListas();
    // Polling timer and operator buttons together; never Command10.
    void HabilitarControles(bool estado);
    // Option1 to Option3: each only refreshes the lists.
    void Option_Click();
    // "Detener"/"Iniciar".
    void Command3_Click();

Q_SIGNALS:
    void Iniciado(bool ok);

private:
    void PonerTimer(bool activo);

    Ajustes ajustes_;
    Pantalla* pantalla_;
    std::unique_ptr<PuertoSerie> puerto_;
    std::unique_ptr<EnlaceImpresora> enlace_;
    std::unique_ptr<ComandosFiscales> comandos_;
    BaseTienda tienda_;
    BaseLocal local_;
    QTimer* timer1_;
    std::atomic<bool> cancelar_{false};
    int contadorTicks_ = 0;
    QString ultimoErrorListas_;
};
