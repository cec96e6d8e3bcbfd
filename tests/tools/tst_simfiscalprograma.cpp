// The simfiscal program as people and end-to-end tests start it.

#include "PuertoPrueba.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace
{
using P = PuertoPrueba;
const QByteArray D(1, '\x7f');

// Next line on the program's stdout, waiting for it with a bound.
QByteArray Linea(QProcess& p)
{
    QDeadlineTimer plazo(5000);
    while (!p.canReadLine() && !plazo.hasExpired())
        p.waitForReadyRead(int(qMax<qint64>(1, plazo.remainingTime())));
    return p.readLine().trimmed();
}
} // namespace

class TstSimfiscalPrograma : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void controlPorEntrada();
    void terminaConSenal();
    void opcionErronea();
};

void TstSimfiscalPrograma::controlPorEntrada()
{
    QTemporaryDir dir;
    const QString enlace = dir.filePath(QStringLiteral("impresora"));
    const QString diario = dir.filePath(QStringLiteral("diario.jsonl"));
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(QStringLiteral(SIMFISCAL_PROGRAMA),
            {"--sin-ritmo", "--stdin-control", "--enlace", enlace, "--diario", diario, "--rollo",
             dir.filePath(QStringLiteral("rollo.txt")), "--registro", "PRUEBA0001",
             "--rechazar-enesimo", "1"});
    QVERIFY(p.waitForStarted());
    const QByteArray ruta = Linea(p);
    QVERIFY(ruta.startsWith("/dev/pts/"));
    QCOMPARE(QFileInfo(enlace).symLinkTarget(), QString::fromLatin1(ruta));

    // The fault from the command line refuses the first command only.
    QVERIFY(P::Preguntar(enlace, ' ', "\x80").contains("ERROR"));
    QCOMPARE(P::Preguntar(enlace, '!', "\x80").mid(14, 10), QByteArray("PRUEBA0001"));

    p.write("rechazar B 1\n");
    QCOMPARE(Linea(p), QByteArray("ok"));
    // Only the invoice's first item is refused.
    const QByteArray item = P::Comando('B', {"ARROZ", "1000", "500", "1200", "M", D, D, D});
    const QList<QByteArray> factura{P::Comando('@', {"ANA", "V-1", D, D, D, D, D, D}), item, item,
                                    P::Comando('E')};
    for (int i = 0; i < factura.size(); ++i)
        QCOMPARE(P::Preguntar(enlace, char('"' + i), factura.at(i)).contains("ERROR"), i == 1);

    p.write("contadores\n");
    const QJsonObject c = QJsonDocument::fromJson(Linea(p)).object();
    QCOMPARE(c.value("ultima_factura").toInt(), 1);
    p.write("nonsense\n");
    QVERIFY(Linea(p).startsWith("error:"));

    p.closeWriteChannel();
    QVERIFY(p.waitForFinished(5000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 0);
    QVERIFY(!QFileInfo(enlace).isSymLink());

    QFile f(diario);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QJsonObject j = QJsonDocument::fromJson(f.readLine()).object();
    QCOMPARE(j.value("tipo").toString(), QStringLiteral("factura"));
    QCOMPARE(j.value("items").toArray().size(), 1);
    QCOMPARE(j.value("total").toDouble(), 5.6);
}

void TstSimfiscalPrograma::terminaConSenal()
{
    QTemporaryDir dir;
    const QString enlace = dir.filePath(QStringLiteral("impresora"));
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(QStringLiteral(SIMFISCAL_PROGRAMA), {"--sin-ritmo", "--enlace", enlace});
    QVERIFY(p.waitForStarted());
    QVERIFY(!Linea(p).isEmpty());
    // Without --stdin-control the end of stdin is not the end of the program.
    p.closeWriteChannel();
    QVERIFY(!P::Preguntar(enlace, ' ', P::Comando('8', {"N"})).isEmpty());
    QCOMPARE(p.state(), QProcess::Running);

    p.terminate();
    QVERIFY(p.waitForFinished(5000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 0);
    QVERIFY(!QFileInfo(enlace).isSymLink());
}

void TstSimfiscalPrograma::opcionErronea()
{
    QProcess p;
    p.start(QStringLiteral(SIMFISCAL_PROGRAMA), {"--estado", "4x"});
    QVERIFY(p.waitForFinished(5000));
    QCOMPARE(p.exitCode(), 2);
    QVERIFY(p.readAllStandardOutput().isEmpty()); // no path: nothing was opened
}

QTEST_GUILESS_MAIN(TstSimfiscalPrograma)
#include "tst_simfiscalprograma.moc"
