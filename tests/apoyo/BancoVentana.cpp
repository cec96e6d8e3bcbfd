#include "apoyo/BancoVentana.h"

#include "tienda/Arranque.h"

#include <QTest>

BancoVentana::BancoVentana()
    : sim([] {
          SimuladorFiscal::Opciones o;
          o.ritmo = false;
          return o;
      }())
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
    inicio.ajustes.tiempos.centesimaMs = 0;
    if (inicio.fin == Arranque::Fin::Seguir)
        robot = std::make_unique<Robot>(inicio.ajustes);
}

BancoVentana::~BancoVentana()
{
    if (!robot)
        return;
    if (hilo_.isRunning()) {
        robot->Cancelar();
        QMetaObject::invokeMethod(robot.get(), &Robot::Terminar, Qt::BlockingQueuedConnection);
        hilo_.quit();
        hilo_.wait();
    } else {
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
