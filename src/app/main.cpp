#include "tienda/Arranque.h"
#include "app/Consola.h"
#include "app/RegistroArchivo.h"
#include "app/SenalesTerminar.h"
#include "app/Supervisor.h"

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
    opciones.addOption({QStringLiteral("estado"),
                        QStringLiteral("Página de estado, API y métricas en [DIRECCIÓN:]PUERTO "
                                       "(dirección por omisión 127.0.0.1)."),
                        QStringLiteral("[DIRECCION:]PUERTO")});
    opciones.addOption({QStringLiteral("alarma"),
                        QStringLiteral("Minutos de espera de un documento con el robot detenido "
                                       "antes de la alarma (5; admite decimales)."),
                        QStringLiteral("MINUTOS"), QStringLiteral("5")});
    // A usage error is status 2, apart from the messages that end the program (1).
    if (!opciones.parse(QCoreApplication::arguments())) {
        std::fprintf(stderr, "%s\n", qPrintable(opciones.errorText()));
        return 2;
    }
    if (opciones.isSet(QStringLiteral("help")))
        opciones.showHelp(0);
    if (opciones.isSet(QStringLiteral("version")))
        opciones.showVersion();

    std::optional<ServidorEstado::Direccion> estado;
    QString errorEstado;
    if (opciones.isSet(QStringLiteral("estado")) &&
        !(estado = ServidorEstado::LeerDireccion(opciones.value(QStringLiteral("estado")), &errorEstado))) {
        std::fprintf(stderr, "--estado: %s\n", qPrintable(errorEstado));
        return 2;
    }
    bool minutosOk = false;
    const double minutosAlarma = opciones.value(QStringLiteral("alarma")).toDouble(&minutosOk);
    if (!minutosOk || minutosAlarma < 0) {
        std::fprintf(stderr, "--alarma: se esperaban minutos, no %s\n",
                     qPrintable(opciones.value(QStringLiteral("alarma"))));
        return 2;
    }

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
        supervisor.PonerUmbralAlarma(minutosAlarma * 60);
        if (estado && !supervisor.AbrirEstado(*estado, &errorEstado)) {
            const QString m = QStringLiteral("No se pudo abrir el estado en %1: %2")
                                  .arg(opciones.value(QStringLiteral("estado")), errorEstado);
            qWarning().noquote() << m;
            avisar(m);
            RegistroArchivo::Instalar(nullptr, false);
            return Arranque::kSalidaMensaje;
        }
        SenalesTerminar senales;
        QObject::connect(&senales, &SenalesTerminar::Terminar, &supervisor, &Supervisor::Apagar);
        supervisor.Arrancar();
        const int salida = app->exec();
        codigo = std::max(salida, supervisor.CodigoSalida());
    }
    RegistroArchivo::Instalar(nullptr, false);
    return codigo;
}
