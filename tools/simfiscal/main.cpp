// simfiscal: a fiscal printer on a pseudo-terminal, for people, the demo and
// end-to-end tests. The first line on stdout is the terminal's path.

#include "ConsolaSimulador.h"
#include "ControlSimulador.h"
#include "SimuladorFiscal.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

#include <cstdio>

namespace
{
void Linea(FILE* f, const QString& s)
{
    const QByteArray b = s.toUtf8() + '\n';
    std::fwrite(b.constData(), 1, size_t(b.size()), f);
    std::fflush(f);
}

// "B:2" -> "B 2"; a command byte may itself be ':' ("::2").
QString ConVeces(const QString& v)
{
    const qsizetype i = v.lastIndexOf(QLatin1Char(':'));
    return i > 0 ? v.left(i) + QLatin1Char(' ') + v.mid(i + 1) : v;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("simfiscal"));
    // Exchanges are logged by --verbose, not by the debug category.
    QLoggingCategory::setFilterRules(QStringLiteral("rovend.simfiscal.debug=false"));

    QCommandLineParser p;
    p.setApplicationDescription(
        QStringLiteral("Fiscal printer simulator on a pseudo-terminal. Prints the terminal's path "
                       "on its first output line. Control lines on stdin (\"ayuda\" lists them)."));
    p.addHelpOption();
    const QCommandLineOption enlace(QStringLiteral("enlace"),
                                    QStringLiteral("Also make a symlink PATH to the terminal."),
                                    QStringLiteral("PATH"));
    const QCommandLineOption rollo(QStringLiteral("rollo"),
                                   QStringLiteral("Append the printed paper to FILE."),
                                   QStringLiteral("FILE"));
    const QCommandLineOption diario(QStringLiteral("diario"),
                                    QStringLiteral("Append one JSON line per document to FILE."),
                                    QStringLiteral("FILE"));
    const QCommandLineOption estadoArchivo(
        QStringLiteral("estado-archivo"),
        QStringLiteral("Load and save counters in FILE so numbering survives a restart."),
        QStringLiteral("FILE"));
    const QCommandLineOption sinRitmo(QStringLiteral("sin-ritmo"),
                                      QStringLiteral("Do not pace bytes at 9600 baud."));
    const QCommandLineOption registro(QStringLiteral("registro"),
                                      QStringLiteral("Registration number (default SIM0000001)."),
                                      QStringLiteral("TEXT"), QStringLiteral("SIM0000001"));
    const QCommandLineOption fecha(QStringLiteral("fecha"),
                                   QStringLiteral("Freeze the clock at an ISO date or date-time."),
                                   QStringLiteral("ISO"));
    const QCommandLineOption detallado(QStringLiteral("verbose"),
                                       QStringLiteral("One line per exchange on stderr."));
    const QCommandLineOption stdinControl(QStringLiteral("stdin-control"),
                                          QStringLiteral("End when stdin ends."));
    // Faults: each becomes the control line of the same name.
    const QCommandLineOption estado(QStringLiteral("estado"),
                                    QStringLiteral("Force state code CODE in \"8\" FS \"T\"."),
                                    QStringLiteral("CODE"));
    const QCommandLineOption silencio(QStringLiteral("silencio"),
                                      QStringLiteral("Never answer (frames are still logged)."));
    const QCommandLineOption rechazar(
        QStringLiteral("rechazar"),
        QStringLiteral("Refuse command byte C (\"B\", \"0x80\"), K times or always. Repeatable."),
        QStringLiteral("C[:K]"));
    const QCommandLineOption rechazarEnesimo(QStringLiteral("rechazar-enesimo"),
                                             QStringLiteral("Refuse the N-th command."),
                                             QStringLiteral("N"));
    const QCommandLineOption basura(QStringLiteral("basura"),
                                    QStringLiteral("N garbage bytes before each reply."),
                                    QStringLiteral("N"));
    const QCommandLineOption ocupado(QStringLiteral("ocupado"),
                                     QStringLiteral("K busy bytes (DC2) before each reply, MS "
                                                    "apart (default 100)."),
                                     QStringLiteral("K[:MS]"));
    const QCommandLineOption demora(QStringLiteral("demora"),
                                    QStringLiteral("Each command takes MS milliseconds."),
                                    QStringLiteral("MS"));
    const QCommandLineOption trozos(QStringLiteral("trozos"),
                                    QStringLiteral("Send each reply in pieces of sizes A,B,..., "
                                                   "MS apart (default 20)."),
                                    QStringLiteral("A,B[:MS]"));
    const QCommandLineOption numeroOcupado(
        QStringLiteral("numero-ocupado"),
        QStringLiteral("Invoice number reads NNNNNNNN for K queries after each closing "
                       "(-1: until a reset)."),
        QStringLiteral("K"));
    p.addOptions({enlace, rollo, diario, estadoArchivo, sinRitmo, registro, fecha, detallado,
                  stdinControl, estado, silencio, rechazar, rechazarEnesimo, basura, ocupado,
                  demora, trozos, numeroOcupado});
    p.process(app);

    SimuladorFiscal::Opciones o;
    o.ritmo = !p.isSet(sinRitmo);
    o.registro = p.value(registro).toLatin1();
    o.rollo = p.value(rollo);
    o.diario = p.value(diario);
    o.estadoArchivo = p.value(estadoArchivo);
    o.enlace = p.value(enlace);
    SimuladorFiscal sim(o);

    QStringList controles;
    if (p.isSet(fecha))
        controles << QStringLiteral("fecha ") + p.value(fecha);
    if (p.isSet(estado))
        controles << QStringLiteral("estado ") + p.value(estado);
    if (p.isSet(silencio))
        controles << QStringLiteral("silencio on");
    for (const QString& r : p.values(rechazar))
        controles << QStringLiteral("rechazar ") + ConVeces(r);
    if (p.isSet(rechazarEnesimo))
        controles << QStringLiteral("rechazar-enesimo ") + p.value(rechazarEnesimo);
    if (p.isSet(basura))
        controles << QStringLiteral("basura ") + p.value(basura);
    if (p.isSet(ocupado))
        controles << QStringLiteral("ocupado ") + ConVeces(p.value(ocupado));
    if (p.isSet(demora))
        controles << QStringLiteral("demora ") + p.value(demora);
    if (p.isSet(trozos))
        controles << QStringLiteral("trozos ") + ConVeces(p.value(trozos));
    if (p.isSet(numeroOcupado))
        controles << QStringLiteral("numero-ocupado ") + p.value(numeroOcupado);
    for (const QString& c : controles) {
        const ControlSimulador::Resultado r = ControlSimulador::Aplicar(sim, c);
        if (!r.ok) {
            Linea(stderr, QStringLiteral("simfiscal: %1 (%2)").arg(r.texto, c));
            return 2;
        }
    }

    if (!sim.abrir()) {
        Linea(stderr, QStringLiteral("simfiscal: no se pudo abrir la terminal: ") + sim.error());
        return 1;
    }
    // Printed last: whoever reads this line may use the link at once.
    Linea(stdout, sim.ruta());

    ConsolaSimulador consola(sim, p.isSet(stdinControl), p.isSet(detallado));
    if (!consola.instalarSenales())
        Linea(stderr, QStringLiteral("simfiscal: sin manejo de senales"));
    const int rc = app.exec();

    sim.guardarEstado();
    sim.cerrar();
    return rc;
}
