#include "app/Consola.h"
#include "app/RegistroArchivo.h"
#include "app/SenalesTerminar.h"
#include "app/Supervisor.h"
#include "tienda/Arranque.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QMessageBox>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>

namespace
{
// A usage error is status 2, apart from the messages that end the program (1).
constexpr int kSalidaUso = 2;

// What the command line asked for, checked.
struct Opciones {
    bool sinVentana = false;
    QString carpeta;
    QString textoEstado; // as given, for messages
    std::optional<ServidorEstado::Direccion> estado;
    double minutosAlarma = 5;
};

bool pideSinVentana(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        if (qstrcmp(argv[i], "--sin-ventana") == 0)
            return true;
    // No display at all: run headless rather than fail to start.
    return qEnvironmentVariableIsEmpty("DISPLAY") &&
           qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
           qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

std::unique_ptr<QCoreApplication> crearAplicacion(int& argc, char** argv, bool sinVentana)
{
    std::unique_ptr<QCoreApplication> app;
    if (sinVentana)
        app = std::make_unique<QCoreApplication>(argc, argv);
    else
        app = std::make_unique<QApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Rovend"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ROVEND_VERSION));
    return app;
}

void declararOpciones(QCommandLineParser& opciones)
{
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
}

// The options of the command line; nothing after a usage error, which has
// been written to stderr. --help and --version end the program here.
std::optional<Opciones> leerOpciones(bool sinVentana)
{
    QCommandLineParser opciones;
    declararOpciones(opciones);
    if (!opciones.parse(QCoreApplication::arguments())) {
        std::fprintf(stderr, "%s\n", qPrintable(opciones.errorText()));
        return std::nullopt;
    }
    if (opciones.isSet(QStringLiteral("help")))
        opciones.showHelp(0);
    if (opciones.isSet(QStringLiteral("version")))
        opciones.showVersion();

    Opciones o;
    o.sinVentana = sinVentana;
    o.textoEstado = opciones.value(QStringLiteral("estado"));
    QString errorEstado;
    if (opciones.isSet(QStringLiteral("estado")) &&
        !(o.estado = ServidorEstado::LeerDireccion(o.textoEstado, &errorEstado))) {
        std::fprintf(stderr, "--estado: %s\n", qPrintable(errorEstado));
        return std::nullopt;
    }
    bool minutosOk = false;
    o.minutosAlarma = opciones.value(QStringLiteral("alarma")).toDouble(&minutosOk);
    if (!minutosOk || o.minutosAlarma < 0) {
        std::fprintf(stderr, "--alarma: se esperaban minutos, no %s\n",
                     qPrintable(opciones.value(QStringLiteral("alarma"))));
        return std::nullopt;
    }
    o.carpeta = opciones.isSet(QStringLiteral("carpeta"))
                    ? opciones.value(QStringLiteral("carpeta"))
                    : QCoreApplication::applicationDirPath();
    return o;
}

void avisar(bool sinVentana, const QString& texto)
{
    if (sinVentana)
        Consola::Escribir(QStringLiteral("Rovend: ") + texto);
    else
        QMessageBox::information(nullptr, QStringLiteral("Rovend"), texto);
}

// The robot under its supervisor until the application quits; the exit status.
int correr(QCoreApplication& app, const Arranque::Resultado& inicio, const Opciones& o)
{
    Supervisor supervisor(inicio.ajustes, o.sinVentana);
    supervisor.Avisar = [sinVentana = o.sinVentana](const QString& texto) {
        avisar(sinVentana, texto);
    };
    supervisor.PonerUmbralAlarma(o.minutosAlarma * 60);
    QString errorEstado;
    if (o.estado && !supervisor.AbrirEstado(*o.estado, &errorEstado)) {
        const QString m =
            QStringLiteral("No se pudo abrir el estado en %1: %2").arg(o.textoEstado, errorEstado);
        qWarning().noquote() << m;
        avisar(o.sinVentana, m);
        RegistroArchivo::Instalar(nullptr, false);
        return Arranque::kSalidaMensaje;
    }
    SenalesTerminar senales;
    QObject::connect(&senales, &SenalesTerminar::Terminar, &supervisor, &Supervisor::Apagar);
    supervisor.Arrancar();
    const int salida = app.exec();
    return std::max(salida, supervisor.CodigoSalida());
}
} // namespace

int main(int argc, char** argv)
{
    const bool sinVentana = pideSinVentana(argc, argv);
    const std::unique_ptr<QCoreApplication> app = crearAplicacion(argc, argv, sinVentana);
    const std::optional<Opciones> opciones = leerOpciones(sinVentana);
    if (!opciones)
        return kSalidaUso;

    std::unique_ptr<RegistroArchivo> registro;
    if (QDir(opciones->carpeta).exists())
        registro = std::make_unique<RegistroArchivo>(
            QDir(opciones->carpeta).filePath(QStringLiteral("rovend.log")));
    RegistroArchivo::Instalar(registro.get(), sinVentana);

    const Arranque::Resultado inicio = Arranque::Form_Load(opciones->carpeta);
    if (inicio.fin == Arranque::Fin::Silencio)
        return inicio.codigoSalida;
    if (inicio.fin == Arranque::Fin::Mensaje) {
        qWarning().noquote() << inicio.mensaje;
        avisar(sinVentana, inicio.mensaje);
        return inicio.codigoSalida;
    }

    // Not a reason to stop (a printer port absent for now): the log and the
    // console say it, and the lamps show the printer as not answering.
    for (const QString& aviso : inicio.avisos)
        qWarning().noquote() << aviso;

    const int codigo = correr(*app, inicio, *opciones);
    RegistroArchivo::Instalar(nullptr, false);
    return codigo;
}
