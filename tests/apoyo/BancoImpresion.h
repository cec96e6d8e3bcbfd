#pragma once

#include "SimuladorEnHilo.h"
#include "TiendaDemo.h"
#include "documentos/ContextoImpresion.h"
#include "documentos/ImpresionNotaCredito.h"
#include "impresora/PuertoQt.h"
#include "motor/BitacoraPantalla.h"
#include "motor/ControlRobot.h"
#include "motor/Pantalla.h"

#include <QTemporaryDir>
#include <functional>
#include <memory>

// A bench for the printing runs: a demo shop in a temporary folder, the
// printer simulator on a pseudo-terminal (no pacing, so tests are quick),
// the real link over QSerialPort, and a ContextoImpresion whose robot
// control is recorded instead of driving a thread.
class BancoImpresion : public ControlRobot
{
    QTemporaryDir dir_; // first made, last removed

  public:
    // The line to the simulator, with a hook where a test arms its faults.
    class Linea final : public PuertoSerie
    {
      public:
        explicit Linea(const QString& ruta) : real_(ruta) {}
        // Called before each frame opens the port; the link's Comando
        // already holds the frame.
        std::function<void()> AntesDeAbrir;

        QString Nombre() const override { return real_.Nombre(); }
        bool Abrir() override
        {
            if (AntesDeAbrir)
                AntesDeAbrir();
            return real_.Abrir();
        }
        QString Error() const override { return real_.Error(); }
        bool Escribir(const QByteArray& d, int ms) override { return real_.Escribir(d, ms); }
        void Descartar() override { real_.Descartar(); }
        qint64 BytesEsperando() override { return real_.BytesEsperando(); }
        bool EsperarDatos(int ms) override { return real_.EsperarDatos(ms); }
        QByteArray LeerTodo() override { return real_.LeerTodo(); }
        void Cerrar() override { real_.Cerrar(); }

      private:
        PuertoQt real_;
    };

    // Creates the shop and starts the simulator. False and a reason in
    // Error() on failure.
    bool Crear();
    QString Error() const { return error_; }

    TiendaDemo tienda;
    std::unique_ptr<SimuladorEnHilo> sim;
    std::unique_ptr<Linea> puerto;
    std::unique_ptr<EnlaceImpresora> enlace;
    std::unique_ptr<ComandosFiscales> comandos;
    BaseTienda base{QStringLiteral("banco.tienda")};
    Pantalla pantalla;
    Configuracion config;
    AjustesTienda ajustesTienda;
    HechosImpresora hechos;
    BitacoraPantalla bitacora{pantalla};
    std::unique_ptr<ContextoImpresion> ctx;

    // One invoice turn as the engine runs it (timer, fresh list, the run,
    // its outcome).
    void TurnoFactura();

    // What the runs asked of the robot: polling on, or stopped.
    bool timer = true;
    // Bare commands (no STX, sequence, ETX) sent on the link, in order.
    QList<QByteArray> enviados;

    // ControlRobot
    void PonerTimer(bool activo) override { timer = activo; }
    bool TimerActivo() const override { return timer; }
    void DetenerPorFalla() override { timer = false; }
    void HabilitarControles(bool estado) override { timer = estado; }
    // A pending code both lists offer while set, whose document is gone.
    qlonglong fantasma = 0;
    std::optional<QList<Pendiente>> RefrescarFacturas() override
    {
        return fantasma ? QList<Pendiente>{{fantasma, "-"}}
                        : base.FacturasPendientes(config.NumeroCaja);
    }
    std::optional<QList<Pendiente>> RefrescarNotas() override
    {
        return fantasma ? QList<Pendiente>{{fantasma, "-"}}
                        : base.NotasPendientes(config.NumeroCaja);
    }

  private:
    bool Falla(const QString& error)
    {
        error_ = error;
        return false;
    }
    QString error_;
};
