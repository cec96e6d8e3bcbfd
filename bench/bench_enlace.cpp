// Measures the printer link against the simulator program at 9600 baud:
//  1. 200 state queries: wall time over the line time of the bytes moved;
//  2. one 5-second exchange with a silent printer: CPU time over wall time.
#include "impresora/ComandosFiscales.h"
#include "impresora/EnlaceImpresora.h"
#include "impresora/PuertoQt.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QElapsedTimer>
#include <QProcess>
#include <cstdio>
#include <sys/resource.h>

namespace {
constexpr double kSegundosPorByte = 10.0 / 9600.0;

QString arrancarSimulador(QProcess& p, const QStringList& args)
{
    p.start(QStringLiteral(SIMFISCAL), args);
    if (!p.waitForStarted(5000) || !p.waitForReadyRead(5000))
        return QString();
    return QString::fromLocal8Bit(p.readLine()).trimmed();
}

double cpuSegundos()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("rovend.printer.info=false"));
    const int consultas = argc > 1 ? atoi(argv[1]) : 200;
    int estado = 0;

    {
        QProcess sim;
        const QString ruta = arrancarSimulador(sim, {});
        if (ruta.isEmpty()) {
            std::fprintf(stderr, "no arrancó el simulador\n");
            return 2;
        }
        PuertoQt puerto(ruta);
        EnlaceImpresora enlace(puerto);
        ComandosFiscales comandos(enlace);
        qint64 bytes = 0;
        int fallos = 0;
        QElapsedTimer reloj;
        reloj.start();
        for (int i = 0; i < consultas; ++i) {
            comandos.PidoEstadoN();
            bytes += enlace.Comando.size() + 4 + enlace.Respuesta.size();
            fallos += enlace.Respuesta.contains("ERROR");
        }
        const double pared = reloj.nsecsElapsed() / 1e9;
        const double linea = bytes * kSegundosPorByte;
        std::printf("consultas de estado: %d (fallidas %d)\n", consultas, fallos);
        std::printf("bytes en la línea: %lld, tiempo de línea %.3f s, tiempo real %.3f s\n",
                    static_cast<long long>(bytes), linea, pared);
        std::printf("sobrecarga del enlace: %.3f (meta <= 1.10)\n", pared / linea);
        if (fallos > 0 || pared / linea > 1.10)
            estado = 1;
        sim.terminate();
        sim.waitForFinished(5000);
    }
    {
        QProcess sim;
        const QString ruta = arrancarSimulador(sim, {QStringLiteral("--silencio")});
        PuertoQt puerto(ruta);
        EnlaceImpresora enlace(puerto);
        ComandosFiscales comandos(enlace);
        const double cpu0 = cpuSegundos();
        QElapsedTimer reloj;
        reloj.start();
        comandos.PidoEstadoN(); // 5 s deadline, nobody answers
        const double pared = reloj.nsecsElapsed() / 1e9;
        const double cpu = cpuSegundos() - cpu0;
        std::printf("espera de %.2f s con impresora muda: CPU %.4f s = %.2f%% de un núcleo "
                    "(meta < 2%%)\n",
                    pared, cpu, 100.0 * cpu / pared);
        if (!enlace.Respuesta.contains("ERROR DE COMUNICACION") || cpu / pared >= 0.02)
            estado = 1;
        sim.terminate();
        sim.waitForFinished(5000);
    }
    return estado;
}
