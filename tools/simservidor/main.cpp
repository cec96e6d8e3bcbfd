// The server simulator: listens for the robot, greets it, answers and logs.
// Prints the port it listens on as its first line. Control lines on stdin:
//   chat TEXTO | cierre x N | cierre z N | salir | cerrar | enviar TEXTO | vivo | h
#include "ServidorSimulado.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>
#include <QTextStream>
#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral("Simulador del servidor de la tienda para el robot."));
    p.addHelpOption();
    p.addOption({QStringLiteral("puerto"), QStringLiteral("Puerto TCP (0: uno libre)."), QStringLiteral("N"),
                 QStringLiteral("10000")});
    p.addOption({QStringLiteral("vivo"), QStringLiteral("Segundos entre sondeos \"0%\" (0: ninguno)."),
                 QStringLiteral("S"), QStringLiteral("0")});
    p.addOption({QStringLiteral("registro"), QStringLiteral("Agrega cada mensaje a FILE."), QStringLiteral("FILE")});
    p.process(app);

    ServidorSimulado servidor;
    if (!servidor.Escuchar(quint16(p.value(QStringLiteral("puerto")).toUInt()))) {
        std::fprintf(stderr, "no se pudo escuchar en el puerto %s\n", qPrintable(p.value(QStringLiteral("puerto"))));
        return 2;
    }
    servidor.PonerVivo(p.value(QStringLiteral("vivo")).toInt());
    std::printf("%u\n", unsigned(servidor.Puerto()));
    std::fflush(stdout);

    QFile archivo(p.value(QStringLiteral("registro")));
    if (!archivo.fileName().isEmpty())
        archivo.open(QIODevice::Append | QIODevice::Text);
    QObject::connect(&servidor, &ServidorSimulado::Registro, &app, [&](const QString& linea) {
        std::printf("%s\n", linea.toLocal8Bit().constData());
        std::fflush(stdout);
        if (archivo.isOpen()) {
            archivo.write(linea.toUtf8() + '\n');
            archivo.flush();
        }
    });

    QSocketNotifier entrada(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray pendiente;
    QObject::connect(&entrada, &QSocketNotifier::activated, &app, [&] {
        char buf[1024];
        const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
        if (n <= 0) {
            entrada.setEnabled(false); // stdin closed: keep serving
            return;
        }
        pendiente.append(buf, n);
        qsizetype fin;
        while ((fin = pendiente.indexOf('\n')) >= 0) {
            const QString linea = QString::fromLocal8Bit(pendiente.left(fin));
            pendiente.remove(0, fin + 1);
            if (!linea.trimmed().isEmpty() && !servidor.Orden(linea))
                std::fprintf(stderr, "orden desconocida: %s\n", qPrintable(linea));
        }
    });
    return app.exec();
}
