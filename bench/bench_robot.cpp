// The robot working alone, measured:
//  rendimiento: 50 invoices of 10 items printed by the engine itself (its
//    timer, its ticks) on the paced simulator at 9600 baud: wall time over
//    the line time of every byte plus the pauses the program prescribes
//    (the tick's 0.5 s, the run's closing 0.1 s, the 1 s timer restarted
//    after each invoice).
//  reposo: the real rovend with nothing pending for 60 s: CPU seconds and
//    peak memory of the process.
//
//     bench_robot [rendimiento|reposo|todo] [facturas=50] [segundos=60]
#include "tienda/Arranque.h"
#include "motor/Robot.h"
#include "SimuladorEnHilo.h"
#include "TiendaDemo.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <cstdio>
#include <unistd.h>

namespace {
constexpr double kSegundosPorByte = 10.0 / 9600.0;

int rendimiento(int facturas)
{
    SimuladorFiscal::Opciones o;
    o.ritmo = true;
    SimuladorEnHilo sim(o);
    if (!sim.iniciar())
        return 2;
    QTemporaryDir dir;
    TiendaDemo tienda;
    OpcionesTienda ot;
    ot.Puerto = sim.ruta();
    if (!tienda.Crear(dir.path(), ot))
        return 2;
    for (int i = 0; i < facturas; ++i) {
        VentaDemo v;
        v.NombreCliente = QStringLiteral("Cliente %1").arg(i + 1);
        for (int k = 0; k < 10; ++k) {
            LineaDemo l;
            l.Nombre = QStringLiteral("Producto de prueba %1").arg(k + 1);
            l.Precio = 10.0 + k;
            v.Lineas << l;
        }
        tienda.AgregarVenta(v);
    }
    tienda.Cerrar();
    Arranque::Resultado inicio = Arranque::Form_Load(dir.path());
    if (inicio.fin != Arranque::Fin::Seguir)
        return 2;

    Robot robot(inicio.ajustes);
    qint64 bytes = 0;
    std::atomic<int> impresas{0};
    std::atomic<qint64> finNs{0};
    std::atomic<bool> vacia{false};
    bool enMarcha = false;
    QElapsedTimer reloj;
    robot.enlace().AlTerminar = [&](const QByteArray& c, const QByteArray& r) {
        if (!enMarcha)
            return;
        bytes += c.size() + 4 + r.size();
        if (c.size() == 4 && c.at(2) == 'E') // the closing command
            ++impresas;
        finNs = reloj.nsecsElapsed(); // the last exchange so far
    };
    QObject::connect(&robot.pantalla(), &Pantalla::PendientesCambiados, &robot,
                     [&](const QString& lista, const QStringList& filas) {
                         if (enMarcha && lista == QLatin1String("DBList2") && filas.isEmpty())
                             vacia = true;
                     }, Qt::DirectConnection);
    QThread hilo;
    robot.moveToThread(&hilo);
    QObject::connect(&robot, &Robot::Iniciado, &robot, [&] {
        // From here on only the polling cycle works.
        enMarcha = true;
        reloj.start();
    }, Qt::DirectConnection);
    QObject::connect(&hilo, &QThread::started, &robot, &Robot::Iniciar);
    hilo.start();
    // Done when every invoice has left the pending list; the time counted
    // ends at the last exchange with the printer.
    const bool listo = QTest::qWaitFor([&] { return vacia.load(); }, facturas * 20000);
    const double pared = finNs.load() / 1e9;
    robot.Cancelar();
    QMetaObject::invokeMethod(&robot, &Robot::Terminar, Qt::BlockingQueuedConnection);
    hilo.quit();
    hilo.wait();

    // Each invoice: the wait for its tick (1 s) and the tick's pause (0.5 s);
    // every invoice but the last also its run's closing pause (0.1 s) before
    // the time stops.
    const double pausas = facturas * (1.0 + 0.5) + (facturas - 1) * 0.1;
    const double linea = bytes * kSegundosPorByte;
    const auto docs = sim.documentos();
    std::printf("rendimiento: %d facturas de 10 artículos impresas (%lld en el diario)\n", impresas.load(),
                static_cast<long long>(docs.size()));
    std::printf("  bytes %lld, línea %.2f s + pausas %.2f s = %.2f s; real %.2f s; razón %.3f (meta <= 1.10)\n",
                static_cast<long long>(bytes), linea, pausas, linea + pausas, pared, pared / (linea + pausas));
    return listo && pared / (linea + pausas) <= 1.10 ? 0 : 1;
}

// utime+stime of a process, in seconds.
double cpuProceso(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray s = f.readAll();
    const QList<QByteArray> campos = s.mid(s.lastIndexOf(')') + 2).split(' ');
    const double tics = double(sysconf(_SC_CLK_TCK));
    return (campos.value(11).toDouble() + campos.value(12).toDouble()) / tics;
}

qint64 picoMemoriaKb(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& l : f.readAll().split('\n'))
        if (l.startsWith("VmHWM:"))
            return l.mid(6).trimmed().split(' ').first().toLongLong();
    return -1;
}

int reposo(int segundos)
{
    QTemporaryDir dir;
    QProcess impresora;
    impresora.start(QStringLiteral(SIMFISCAL), {"--enlace", dir.filePath("impresora")});
    if (!impresora.waitForStarted() || !impresora.waitForReadyRead(5000))
        return 2;
    QProcess servidor;
    servidor.start(QStringLiteral(SIMSERVIDOR), {"--puerto", "0", "--vivo", "5"});
    if (!servidor.waitForStarted() || !servidor.waitForReadyRead(5000))
        return 2;
    TiendaDemo tienda;
    OpcionesTienda ot;
    ot.Puerto = dir.filePath("impresora");
    ot.ServidorPuerto = QString::fromLatin1(servidor.readLine()).trimmed().toInt();
    if (!tienda.Crear(dir.filePath("tienda"), ot))
        return 2;
    tienda.Cerrar();
    QProcess robot;
    robot.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    robot.setStandardOutputFile(QProcess::nullDevice());
    robot.start(QStringLiteral(ROVEND), {"--sin-ventana", "--carpeta", dir.filePath("tienda")});
    if (!robot.waitForStarted())
        return 2;
    QTest::qWait(8000); // start-up (lamp test, greeting) is not idle time
    const double cpu0 = cpuProceso(robot.processId());
    QElapsedTimer reloj;
    reloj.start();
    QTest::qWait(segundos * 1000);
    const double cpu = cpuProceso(robot.processId()) - cpu0;
    const double pared = reloj.nsecsElapsed() / 1e9;
    const qint64 pico = picoMemoriaKb(robot.processId());
    robot.terminate();
    robot.waitForFinished(30000);
    servidor.kill();
    impresora.kill();
    servidor.waitForFinished();
    impresora.waitForFinished();
    std::printf("reposo: %.1f s sin pendientes: CPU %.3f s = %.2f%% de un núcleo (meta < 1%%), "
                "pico de memoria %lld KiB\n",
                pared, cpu, 100.0 * cpu / pared, static_cast<long long>(pico));
    return cpu / pared < 0.01 ? 0 : 1;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("rovend.*.info=false\nrovend.simfiscal.debug=false"));
    const QString modo = argc > 1 ? QString::fromLatin1(argv[1]) : QStringLiteral("todo");
    const int facturas = argc > 2 ? atoi(argv[2]) : 50;
    const int segundos = argc > 3 ? atoi(argv[3]) : 60;
    int r = 0;
    if (modo == QLatin1String("rendimiento") || modo == QLatin1String("todo"))
        r |= rendimiento(facturas);
    if (modo == QLatin1String("reposo") || modo == QLatin1String("todo"))
        r |= reposo(segundos);
    return r;
}
