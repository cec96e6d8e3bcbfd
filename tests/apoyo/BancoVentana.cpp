#include "apoyo/BancoVentana.h"

#include "tienda/Arranque.h"

#include <QTest>

namespace
{
SimuladorFiscal::Opciones SinRitmo()
{
    SimuladorFiscal::Opciones o;
    o.ritmo = false;
    return o;
}
} // namespace

BancoVentana::BancoVentana() : sim(SinRitmo())
{
    OpcionesTienda o;
    if (!sim.iniciar())
        return;
    o.Puerto = sim.ruta();
    if (!tienda.Crear(dir.path(), o))
        return;
    Arranque::Resultado inicio = Arranque::Form_Load(dir.path());
    // A silent printer is given up on within these, not after 5 and 50 s.
    inicio.ajustes.tiempos.esperaCortaMs = 300;
    inicio.ajustes.tiempos.esperaLargaMs = 600;
    inicio.ajustes.tiempos.centesimaMs = 1;
    if (inicio.fin == Arranque::Fin::Seguir)
        robot = std::make_unique<Robot>(inicio.ajustes);
}

BancoVentana::~BancoVentana()
{
    if (hilo_.isRunning()) {
        robot->Cancelar();
        QMetaObject::invokeMethod(robot.get(), &Robot::Terminar, Qt::BlockingQueuedConnection);
        hilo_.quit();
        hilo_.wait();
    } else if (enEsteHilo_) {
        robot->Terminar();
    }
}

bool BancoVentana::Arrancar()
{
    if (!robot)
        return false;
    robot->moveToThread(&hilo_);
    QObject::connect(
        robot.get(), &Robot::Iniciado, robot.get(), [this](bool ok) { iniciado_ = ok; },
        Qt::DirectConnection);
    QObject::connect(&hilo_, &QThread::started, robot.get(), &Robot::Iniciar);
    hilo_.start();
    return QTest::qWaitFor([this] { return iniciado_.load(); }, 10000);
}

bool BancoVentana::IniciarAqui()
{
    if (!robot)
        return false;
    robot->Iniciar();
    enEsteHilo_ = true;
    return true;
}

Pantalla& BancoVentana::p()
{
    return robot->pantalla();
}

QStringList BancoVentana::Habilitados()
{
    QStringList si;
    for (const QString& c : Pantalla::BotonesOperador() + QStringList{"Command10"})
        if (p().Habilitado(c))
            si << c;
    si.sort();
    return si;
}
