// campana: the crash campaign as a program of its own.
//
//   campana [--caidas N] [--semilla S] [--informe FILE] [--traza FILE]
//
// Builds a demo shop in a temporary folder, starts the printer and server
// simulators, and kills the real robot N times while it prints (see
// Campana.h). Prints the table of what each kill ended in, and writes it to
// FILE with --informe. Exit status: 0 when every check held, 1 when one
// failed (they are listed on stderr), 2 when the campaign could not run.
#include "Campana.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral("Kills the real robot while it prints and checks "
                                               "that nothing is lost or printed twice."));
    p.addHelpOption();
    const QCommandLineOption caidas(QStringLiteral("caidas"), QStringLiteral("Kills (110)."),
                                    QStringLiteral("N"), QStringLiteral("110"));
    const QCommandLineOption semilla(QStringLiteral("semilla"),
                                     QStringLiteral("Seed of the kill plan (20261205)."),
                                     QStringLiteral("S"), QStringLiteral("20261205"));
    const QCommandLineOption informe(QStringLiteral("informe"),
                                     QStringLiteral("Writes the table to FILE."),
                                     QStringLiteral("FILE"));
    const QCommandLineOption traza(
        QStringLiteral("traza"), QStringLiteral("Writes every exchange and robot output to FILE."),
        QStringLiteral("FILE"));
    p.addOptions({caidas, semilla, informe, traza});
    p.process(app);
    bool ok1 = false, ok2 = false;
    const int n = p.value(caidas).toInt(&ok1);
    const quint32 s = p.value(semilla).toUInt(&ok2);
    if (!ok1 || n < 1 || !ok2) {
        std::fprintf(stderr, "campana: --caidas needs a positive number and --semilla an "
                             "unsigned one\n");
        return 2;
    }

    ArnesTienda a;
    if (!a.Preparar()) {
        std::fprintf(stderr, "campana: %s\n", qPrintable(a.Error()));
        return 2;
    }
    campana::Campana c(a, n, s, p.value(traza));
    const bool corrio = c.Correr();
    const QStringList tabla = c.Tabla() + QStringList{QString()} + c.Resumen();
    std::printf("%s\n", qPrintable(tabla.join(QLatin1Char('\n'))));
    std::fflush(stdout);
    if (p.isSet(informe)) {
        QFile f(p.value(informe));
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            f.write(tabla.join(QLatin1Char('\n')).toUtf8() + '\n') < 0) {
            std::fprintf(stderr, "campana: cannot write %s\n", qPrintable(p.value(informe)));
            return 2;
        }
    }
    if (!corrio) {
        std::fprintf(stderr, "campana: %s\n", qPrintable(c.Error()));
        return 2;
    }
    const QStringList fallas = c.Verificar();
    for (const QString& f : fallas)
        std::fprintf(stderr, "FALLA: %s\n", qPrintable(f));
    return fallas.isEmpty() ? 0 : 1;
}
