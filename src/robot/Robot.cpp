#include "Robot.h"

#include "PuertoQt.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcRobot, "rovend.robot")
Q_LOGGING_CATEGORY(lcDb, "rovend.db")

Robot::Robot(const Ajustes& ajustes, std::unique_ptr<PuertoSerie> puerto, QObject* parent)
    : QObject(parent), ajustes_(ajustes), pantalla_(new Pantalla(this)),
      puerto_(puerto ? std::move(puerto) : std::make_unique<PuertoQt>(ajustes.dispositivo)),
      enlace_(std::make_unique<EnlaceImpresora>(*puerto_)),
      comandos_(std::make_unique<ComandosFiscales>(*enlace_)),
      tienda_(QStringLiteral("rovend.tienda.%1").arg(quintptr(this))),
      local_(QStringLiteral("rovend.local.%1").arg(quintptr(this))), timer1_(new QTimer(this))
{
    enlace_->tiempos = ajustes.tiempos;
    enlace_->cancelar = &cancelar_;
    timer1_->setInterval(1000);
    connect(timer1_, &QTimer::timeout, this, &Robot::Timer1_Timer);
}

Robot::~Robot() = default;

void Robot::Iniciar()
{
    if (!tienda_.Abrir(ajustes_.rutaBaseDatos) || !local_.Abrir(ajustes_.rutaBaseLocal)) {
        const QString error = !tienda_.Abierta() ? tienda_.UltimoError() : local_.UltimoError();
        qCCritical(lcDb).noquote() << error;
        pantalla_->MostrarMensaje(error);
        Q_EMIT Iniciado(false);
        return;
    }
    pantalla_->PonerEtiqueta(0, ajustes_.config.Puerto);
    HabilitarControles(false);
    pantalla_->Habilitar(QStringLiteral("Command10"), true);
    ActualizarListas();
    HabilitarControles(true);
    pantalla_->Habilitar(QStringLiteral("Command10"), false);
    qCInfo(lcRobot).noquote() << "robot en marcha, caja" << ajustes_.config.NumeroCaja << "puerto"
                              << ajustes_.dispositivo;
    Q_EMIT Iniciado(true);
}

void Robot::Terminar()
{
    PonerTimer(false);
    tienda_.Cerrar();
    local_.Cerrar();
}

void Robot::PonerTimer(bool activo)
{
    if (activo)
        timer1_->start();
    else
        timer1_->stop();
    pantalla_->PonerTimer(activo);
}

void Robot::Timer1_Timer()
{
    ActualizarListas();
}

void Robot::ActualizarListas()
{
    const int caja = ajustes_.config.NumeroCaja;
    auto mostrar = [this](const QString& lista, const std::optional<QList<Pendiente>>& filas,
                          const BaseDatos& base) {
        if (!filas) {
            // A lost database is reported once, not every second.
            const QString error = base.UltimoError();
            if (error != ultimoErrorListas_)
                qCWarning(lcDb).noquote() << lista << error;
            ultimoErrorListas_ = error;
            return;
        }
        QStringList textos;
        for (const Pendiente& p : *filas)
            textos << p.VistaEspecial;
        pantalla_->PonerPendientes(lista, textos);
    };
    mostrar(QStringLiteral("DBList3"), local_.TiketsPendientes(caja), local_);
    mostrar(QStringLiteral("DBList2"), tienda_.FacturasPendientes(caja), tienda_);
    mostrar(QStringLiteral("DBList1"), tienda_.NotasPendientes(caja), tienda_);
}

void Robot::HabilitarControles(bool estado)
{
    PonerTimer(estado);
    for (const QString& boton : Pantalla::BotonesOperador())
        pantalla_->Habilitar(boton, estado);
}

void Robot::Option_Click() { ActualizarListas(); }

void Robot::Command3_Click()
{
    if (timer1_->isActive()) {
        PonerTimer(false);
        pantalla_->PonerTitulo(QStringLiteral("Command3"), QStringLiteral("Iniciar"));
        pantalla_->Habilitar(QStringLiteral("Command10"), true);
    } else {
        PonerTimer(true);
        pantalla_->PonerTitulo(QStringLiteral("Command3"), QStringLiteral("Detener"));
        pantalla_->Habilitar(QStringLiteral("Command10"), false);
    }
}
