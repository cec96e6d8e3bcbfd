#pragma once

#include "tienda/AjustesTienda.h"
#include "tienda/BaseTienda.h"
#include "impresora/ComandosFiscales.h"
#include "tienda/Configuracion.h"
#include "documentos/ContextoImpresion.h"
#include "documentos/ImpresionFactura.h"
#include "documentos/ImpresionNotaCredito.h"
#include "motor/BitacoraPantalla.h"
#include "motor/ControlRobot.h"
#include "impresora/EnlaceImpresora.h"
#include "motor/Pantalla.h"
#include "impresora/PuertoQt.h"
#include "SimuladorEnHilo.h"
#include "TiendaDemo.h"

#include <QTemporaryDir>
#include <functional>
#include <memory>

// A bench for the printing runs: a demo shop in a temporary folder, the
// printer simulator on a pseudo-terminal (no pacing, so tests are quick),
// the real link over QSerialPort, and a ContextoImpresion whose robot
// control is recorded instead of driving a thread.
class BancoImpresion : public ControlRobot
{
  public:
    // The line to the simulator, which a test may tamper with: `AlEscribir`
    // sees each frame going out and loses it when it answers false (the
    // printer never gets it); `AlLeer` may alter the bytes read back.
    class Linea final : public PuertoSerie
    {
      public:
        explicit Linea(const QString& ruta) : real_(ruta) {}
        std::function<bool(const QByteArray&)> AlEscribir;
        std::function<void(QByteArray&)> AlLeer;
        // Called before each opening of the port, while the link's Comando
        // already holds the frame about to go out.
        std::function<void()> AntesDeAbrir;
        // Loses the first closing "E", after `antes` ran: the robot dying
        // right after it wrote the marker.
        void PerderPrimerCierre(std::function<void()> antes = {});

        QString Nombre() const override { return real_.Nombre(); }
        bool Abrir() override
        {
            if (AntesDeAbrir)
                AntesDeAbrir();
            return real_.Abrir();
        }
        QString Error() const override;
        bool Escribir(const QByteArray& datos, int ms) override;
        void Descartar() override { real_.Descartar(); }
        qint64 BytesEsperando() override { return real_.BytesEsperando(); }
        bool EsperarDatos(int ms) override { return real_.EsperarDatos(ms); }
        QByteArray LeerTodo() override;
        void Cerrar() override { real_.Cerrar(); }

      private:
        PuertoQt real_;
        bool perdida_ = false;
    };

    BancoImpresion();
    ~BancoImpresion() override;

    // Creates the shop (with `opciones`) and starts the simulator. False and
    // a reason in Error() on failure.
    bool Crear(const OpcionesTienda& opciones = {});
    QString Error() const { return error_; }

    TiendaDemo tienda;
    std::unique_ptr<SimuladorEnHilo> sim;
    std::unique_ptr<Linea> puerto;
    std::unique_ptr<EnlaceImpresora> enlace;
    std::unique_ptr<ComandosFiscales> comandos;
    BaseTienda base;
    Pantalla pantalla;
    Configuracion config;
    AjustesTienda ajustesTienda;
    HechosImpresora hechos;
    std::unique_ptr<BitacoraPantalla> bitacora;
    std::unique_ptr<ContextoImpresion> ctx;

    // One printing turn as the engine runs it (timer, fresh list, the run,
    // its outcome). `nota` keeps its state between turns when given.
    void TurnoFactura();
    void TurnoNota(ImpresionNotaCredito& nota);

    // What the runs asked of the robot.
    bool timer = true;
    int detenciones = 0; // DetenerPorFalla calls
    // Bare commands (no STX, sequence, ETX) sent on the link, in order.
    QList<QByteArray> enviados;

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
