// The simfiscal program as people and end-to-end tests start it, talked to
// through the program's own link.

#include "impresora/EnlaceImpresora.h"
#include "impresora/PuertoQt.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace
{
// Next line on the program's stdout, waiting for it with a bound.
QByteArray Linea(QProcess& p)
{
    QDeadlineTimer plazo(5000);
    while (!p.canReadLine() && !plazo.hasExpired())
        p.waitForReadyRead(int(qMax<qint64>(1, plazo.remainingTime())));
    return p.readLine().trimmed();
}

// The program with a link in a scratch folder; its first line is the terminal's path.
struct Programa {
    QTemporaryDir dir;
    QString enlace = dir.filePath(QStringLiteral("impresora"));
    QProcess p;
    bool Arrancar(const QStringList& mas)
    {
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.start(QStringLiteral(SIMFISCAL_PROGRAMA),
                QStringList{"--sin-ritmo", "--enlace", enlace} + mas);
        const QByteArray ruta = p.waitForStarted() ? Linea(p) : QByteArray();
        return ruta.startsWith("/dev/pts/") && QFileInfo(enlace).symLinkTarget() == ruta;
    }
    QByteArray Preguntar(const QByteArray& comando)
    {
        e.tiempos.esperaLargaMs = 2000; // a printer that does not answer fails the test soon
        e.Comando = comando;
        e.EnviarComando();
        return e.Respuesta;
    }
    // Ends normally, with its link taken away.
    bool Terminado()
    {
        return p.waitForFinished(5000) && p.exitStatus() == QProcess::NormalExit &&
               p.exitCode() == 0 && !QFileInfo(enlace).isSymLink();
    }
    PuertoQt puerto{enlace};
    EnlaceImpresora e{puerto};
};
} // namespace

class TstSimfiscalPrograma : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void controlPorEntrada()
    {
        Programa s;
        QVERIFY(s.Arrancar({"--stdin-control", "--diario", s.dir.filePath("diario.jsonl"),
                            "--registro", "PRUEBA0001", "--rechazar", "0x80:1"}));
        // The fault from the command line refuses the first registration query only.
        QVERIFY(s.Preguntar("\x80").contains("ERROR"));
        QCOMPARE(s.Preguntar("\x80").mid(14, 10), QByteArray("PRUEBA0001"));

        s.p.write("rechazar B 1\n");
        QCOMPARE(Linea(s.p), QByteArray("ok"));
        // Only the invoice's first item is refused.
        const QByteArray item = QByteArray("B|ARROZ|1000|500|1200|M").replace('|', '\x1c');
        QVERIFY(!s.Preguntar(QByteArray("@|ANA|V-1").replace('|', '\x1c')).contains("ERROR"));
        QVERIFY(s.Preguntar(item).contains("ERROR"));
        QVERIFY(!s.Preguntar(item).contains("ERROR"));
        QVERIFY(!s.Preguntar("E").contains("ERROR"));
        s.p.write("contadores\n");
        QCOMPARE(QJsonDocument::fromJson(Linea(s.p)).object().value("ultima_factura"), 1);
        s.p.write("nonsense\n");
        QVERIFY(Linea(s.p).startsWith("error:"));

        s.p.closeWriteChannel(); // the end of stdin ends the program
        QVERIFY(s.Terminado());
        QFile f(s.dir.filePath("diario.jsonl"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QJsonObject j = QJsonDocument::fromJson(f.readLine()).object();
        QCOMPARE(j.value("tipo"), "factura");
        QCOMPARE(j.value("total"), 5.6);
    }

    void terminaConSenal()
    {
        Programa s;
        QVERIFY(s.Arrancar({}));
        // Without --stdin-control the end of stdin is not the end of the program.
        s.p.closeWriteChannel();
        QVERIFY(!s.Preguntar("8\x1cN").contains("ERROR"));
        QCOMPARE(s.p.state(), QProcess::Running);
        s.p.terminate();
        QVERIFY(s.Terminado());
    }

    void opcionErronea()
    {
        QProcess p;
        p.start(QStringLiteral(SIMFISCAL_PROGRAMA), {"--estado", "4x"});
        QVERIFY(p.waitForFinished(5000));
        QCOMPARE(p.exitCode(), 2);
        QVERIFY(p.readAllStandardOutput().isEmpty()); // no path: nothing was opened
    }
};

QTEST_GUILESS_MAIN(TstSimfiscalPrograma)
#include "tst_simfiscalprograma.moc"
