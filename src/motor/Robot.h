#pragma once

#include "tienda/AjustesRobot.h"
#include "tienda/AjustesTienda.h"
#include "tienda/BaseLocal.h"
#include "tienda/BaseTienda.h"
#include "impresora/ComandosFiscales.h"
#include "motor/ComandosOperador.h"
#include "documentos/ContextoImpresion.h"
#include "motor/ControlRobot.h"
#include "impresora/EnlaceImpresora.h"
#include "impresora/HechosImpresora.h"
#include "documentos/ImpresionFactura.h"
#include "documentos/ImpresionNotaCredito.h"
#include "motor/BitacoraPantalla.h"
#include "motor/Pantalla.h"
#include "motor/TurnoImpresion.h"
#include "impresora/PuertoSerie.h"
#include "motor/TareaOpciones.h"

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
class Robot : public QObject, public ControlRobot
{
    Q_OBJECT
  public:
    using Ajustes = AjustesRobot;

    // `puerto` and `reloj` replace the real serial port and clock (tests);
    // null uses QSerialPort and the monotonic clock.
    Robot(const Ajustes& ajustes, std::unique_ptr<PuertoSerie> puerto = nullptr,
          Reloj* reloj = nullptr, QObject* parent = nullptr);
    ~Robot() override;

    Pantalla& pantalla() { return *pantalla_; }
    EnlaceImpresora& enlace() { return *enlace_; }
    const Ajustes& ajustes() const { return ajustes_; }
    const AjustesTienda& ajustesTienda() const { return ajustesTienda_; }
    int ContadorTicks() const { return contadorTicks_; }

    // Thread-safe: makes every wait of the robot end within one slice.
    void Cancelar() { cancelar_ = true; }

    // ControlRobot
    void PonerTimer(bool activo) override;
    bool TimerActivo() const override;
    void DetenerPorFalla() override;
    void HabilitarControles(bool estado) override;
    std::optional<QList<Pendiente>> RefrescarFacturas() override;
    std::optional<QList<Pendiente>> RefrescarNotas() override;

  public Q_SLOTS:
    // The first activation: company settings, ticket purge, lamp test,
    // printer greeting, state refresh, lists, then polling.
    void Iniciar();
    // Stops polling and releases the databases (before the thread ends). As
    // a queued call it runs after the document being printed, if any.
    void Terminar();

    void Timer1_Timer();
    void ActualizarListas();
    void Option_Click(); // Option1 to Option3: each only refreshes the lists

    void Command13556_Click(); // "Cierre X"
    void Command6_Click();     // "Cierre Z"
    void Command13_Click();    // "Estado"
    void Command14_Click();    // "Resetear"
    void Command1_Click();
    void Command3_Click();                           // "Detener"/"Iniciar"
    void Command7_Click();                           // "Opciones"
    void Command9_Click();                           // "Continuar"
    void Command8_Click(const TareaOpciones& tarea); // "Ejecutar"

  Q_SIGNALS:
    // The first activation ended; false when the databases could not be opened.
    void Iniciado(bool ok);
    // Terminar is done: the thread may end.
    void Terminado();
    // The first activation asks the main thread to open the server link.
    void ConectarServidor(const QString& direccion, int puerto);

  private:
    void PruebaLeds();
    void SaludarImpresora();

    Ajustes ajustes_;
    AjustesTienda ajustesTienda_;
    Pantalla* pantalla_;
    std::unique_ptr<PuertoSerie> puerto_;
    std::unique_ptr<EnlaceImpresora> enlace_;
    std::unique_ptr<ComandosFiscales> comandos_;
    BaseTienda tienda_;
    BaseLocal local_;
    // The printer's facts as the engine keeps them; the screen shows them.
    HechosImpresora hechos_;
    std::unique_ptr<BitacoraPantalla> bitacora_;
    std::unique_ptr<ContextoImpresion> contexto_;
    std::unique_ptr<ComandosOperador> operador_;
    std::unique_ptr<ImpresionFactura> factura_;
    std::unique_ptr<ImpresionNotaCredito> nota_;
    std::unique_ptr<TurnoImpresion> turno_;
    QTimer* timer1_;
    std::atomic<bool> cancelar_{false};
    int contadorTicks_ = 0;
    qsizetype facturasPendientes_ = 0;
    qsizetype notasPendientes_ = 0;
    qlonglong primeraNota_ = 0; // Código of the first pending note, 0 if none
    bool primeraActivacion_ = true;
    QString ultimoErrorListas_;
};
