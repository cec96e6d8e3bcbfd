// Talks to a fiscal printer (or the simulator) by hand: sends the named
// commands through the robot's own link and prints command and reply readably.
//   pruebaenlace --puerto /dev/ttyS0 estado-n estado-t corte
#include "impresora/ComandosFiscales.h"
#include "impresora/EnlaceImpresora.h"
#include "impresora/LectorRespuesta.h"
#include "comun/Legible.h"
#include "impresora/NombrePuerto.h"
#include "impresora/PuertoQt.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QLoggingCategory>
#include <QMap>
#include <cstdio>
#include <functional>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("rovend.printer.info=false"));
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "Envía comandos a la impresora fiscal por el enlace del robot y muestra comando y "
        "respuesta.\nComandos: estado-n estado-t fecha registro corte avance cierre-x cierre-z "
        "reset"));
    p.addHelpOption();
    p.addOption({QStringLiteral("puerto"), QStringLiteral("Puerto: número, COMn o ruta."),
                 QStringLiteral("PUERTO"), QStringLiteral("1")});
    p.addPositionalArgument(QStringLiteral("comandos"), QStringLiteral("Comandos a enviar."));
    p.process(app);

    const auto dispositivo = NombrePuerto::Resolver(p.value(QStringLiteral("puerto")));
    if (!dispositivo) {
        std::fprintf(stderr, "Puerto no válido: %s\n", qPrintable(p.value(QStringLiteral("puerto"))));
        return 2;
    }
    PuertoQt puerto(*dispositivo);
    EnlaceImpresora enlace(puerto);
    ComandosFiscales c(enlace);
    auto directo = [&](const QByteArray& comando) {
        enlace.Comando = comando;
        enlace.EnviarComando();
    };
    const QMap<QString, std::function<void()>> acciones{
        {"estado-n", [&] { c.PidoEstadoN(); }},
        {"estado-t", [&] { c.PidoEstadoT(); }},
        {"fecha", [&] { directo("Y"); }},
        {"registro", [&] { directo(QByteArray(1, char(0x80))); }},
        {"corte", [&] { c.CortoPapel(); }},
        {"avance", [&] { c.AvanzoPapel(); }},
        {"cierre-x", [&] { c.CierreX(); }},
        {"cierre-z", [&] { c.CierreZ(); }},
        {"reset", [&] { c.Resetear(); }},
    };
    int estado = 0;
    for (const QString& nombre : p.positionalArguments()) {
        const auto accion = acciones.find(nombre);
        if (accion == acciones.end()) {
            std::fprintf(stderr, "Comando desconocido: %s\n", qPrintable(nombre));
            return 2;
        }
        (*accion)();
        std::printf("%-9s enviado:  %s\n", qPrintable(nombre), qPrintable(Legible::Texto(enlace.Comando)));
        std::printf("%-9s recibido: %s\n", "", qPrintable(Legible::Texto(enlace.Respuesta)));
        if (LectorRespuesta::Fallo(enlace.Respuesta))
            estado = 1;
    }
    return estado;
}
