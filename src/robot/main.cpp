#include "Arranque.h"
#include "Consola.h"
#include "RegistroArchivo.h"
#include "SenalesTerminar.h"
#include "Supervisor.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QMessageBox>
#include <cstdio>
#include <memory>

namespace {
bool pideSinVentana(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        if (qstrcmp(argv[i], "--sin-ventana") == 0)
            return true;
    // No display at all: run headless rather than fail to start.
    return qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
           qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}
} // namespace

int main(int argc, char** argv)
{
    const bool sinVentana = pideSinVentana(argc, argv);
    std::unique_ptr<QCoreApplication> app;
    if (sinVentana)
        app = std::make_unique<QCoreApplication>(argc, argv);
    else
        app = std::make_unique<QApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Rovend"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ROVEND_VERSION));

    QCommandLineParser opciones;
    opciones.setApplicationDescription(
        QStringLiteral("Robot de impresión fiscal de una caja: imprime las facturas y notas de "
                       "crédito pendientes en la impresora fiscal y escribe sus números."));
    opciones.addHelpOption();
    opciones.addVersionOption();
    opciones.addOption({QStringLiteral("carpeta"),
                        QStringLiteral("Carpeta del programa (Vendrix.inf, Log.log, base local)."),
                        QStringLiteral("DIR")});
    opciones.addOption({QStringLiteral("sin-ventana"),
                        QStringLiteral("Sin ventana: mensajes y registro en la consola.")});
    // A usage error is status 2, apart from the messages that end the program (1).
    if (!opciones.parse(QCoreApplication::arguments())) {
        std::fprintf(stderr, "%s\n", qPrintable(opciones.errorText()));
        return 2;
    }
    if (opciones.isSet(QStringLiteral("help")))
        opciones.showHelp(0);
    if (opciones.isSet(QStringLiteral("version")))
        opciones.showVersion();

    const QString carpeta = opciones.isSet(QStringLiteral("carpeta"))
                                ? opciones.value(QStringLiteral("carpeta"))
                                : QCoreApplication::applicationDirPath();

    auto avisar = [&](const QString& texto) {
        if (sinVentana)
            Consola::Escribir(QStringLiteral("Rovend: ") + texto);
        else
            QMessageBox::information(nullptr, QStringLiteral("Rovend"), texto);
    };

    std::unique_ptr<RegistroArchivo> registro;
    if (QDir(carpeta).exists())
        registro = std::make_unique<RegistroArchivo>(QDir(carpeta).filePath(QStringLiteral("rovend.log")));
    RegistroArchivo::Instalar(registro.get(), sinVentana);

    Arranque::Resultado inicio = Arranque::Form_Load(carpeta);
    if (inicio.fin == Arranque::Fin::Silencio)
        return inicio.codigoSalida;
    if (inicio.fin == Arranque::Fin::Mensaje) {
        qWarning().noquote() << inicio.mensaje;
        avisar(inicio.mensaje);
        return inicio.codigoSalida;
    }

    // Not a reason to stop (a printer port absent for now): the log and the
    // console say it, and the lamps show the printer as not answering.
    for (const QString& aviso : inicio.avisos)
        qWarning().noquote() << aviso;

    int codigo = 0;
    {
        Supervisor supervisor(inicio.ajustes, sinVentana);
        supervisor.Avisar = avisar;
        SenalesTerminar senales;
        QObject::connect(&senales, &SenalesTerminar::Terminar, &supervisor, &Supervisor::Apagar);
        supervisor.Arrancar();
        const int salida = app->exec();
        codigo = std::max(salida, supervisor.CodigoSalida());
    }
    RegistroArchivo::Instalar(nullptr, false);
    return codigo;
}
