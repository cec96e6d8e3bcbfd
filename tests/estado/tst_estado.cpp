// The status endpoint in-process: the screen model fed by hand (as the robot
// thread would), the real HTTP server on a loopback port, raw sockets as
// clients so that broken and slow requests can be sent too.
#include "estado/EscuchaEstado.h"
#include "estado/EstadoRobot.h"
#include "estado/ServidorEstado.h"
#include "impresora/Protocolo.h"
#include "motor/Pantalla.h"

#include <QtNetwork>
#include <QtTest>

namespace
{
// The printer's reply to the state query, with this state code.
QByteArray Estado(const char* codigo)
{
    using namespace Protocolo;
    return QByteArray(1, STX) + "T008080" + FS + "0003" + FS + "000" + codigo + FS + "0" + ETX +
           "0000";
}
const QByteArray kConsulta = QByteArray("\x02 8\x1CT\x03");
const QByteArray kFallo = "\0020\034ERROR\003";

struct Banco {
    Pantalla p;
    EstadoRobot estado{p};
    ServidorEstado servidor{estado};
    Banco() { QVERIFY(servidor.Escuchar({QHostAddress(QHostAddress::LocalHost), 0})); }
    // One raw request and the whole answer: up to the server closing, or
    // the end of a body of the length announced.
    QByteArray Pedir(const QByteArray& crudo)
    {
        QTcpSocket s;
        s.connectToHost(QHostAddress::LocalHost, servidor.Puerto());
        s.write(crudo);
        QByteArray r;
        auto completa = [&r] {
            const qsizetype fin = r.indexOf("\r\n\r\n"), largo = r.indexOf("Content-Length: ");
            return fin > 0 && largo > 0 &&
                   r.size() >= fin + 4 + r.mid(largo + 16, 12).split('\r')[0].toLongLong();
        };
        QElapsedTimer t;
        t.start();
        while (!completa() && s.state() != QAbstractSocket::UnconnectedState &&
               t.elapsed() < 5000) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
            r += s.readAll();
        }
        return r;
    }
    QByteArray Cuerpo(const char* ruta)
    {
        const QByteArray r = Pedir("GET " + QByteArray(ruta) + " HTTP/1.1\r\nHost: x\r\n\r\n");
        return r.mid(r.indexOf("\r\n\r\n") + 4);
    }
    QJsonValue Json() { return QJsonDocument::fromJson(Cuerpo("/estado")).object(); }
};
} // namespace

class TstEstado : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void direccion_data()
    {
        QTest::addColumn<QString>("texto");
        QTest::addColumn<QString>("direccion"); // empty: refused
        QTest::addColumn<int>("puerto");
        QTest::newRow("port only is loopback") << "9100"
                                               << "127.0.0.1" << 9100;
        QTest::newRow("all addresses written") << "0.0.0.0:9100"
                                               << "0.0.0.0" << 9100;
        QTest::newRow("IPv6 in brackets") << "[::1]:8080"
                                          << "::1" << 8080;
        QTest::newRow("a name is not an address") << "localhost:9100"
                                                  << "" << 0;
        QTest::newRow("port out of range") << "70000"
                                           << "" << 0;
        QTest::newRow("missing port") << "127.0.0.1:"
                                      << "" << 0;
        QTest::newRow("bare IPv6") << "::1:9100"
                                   << "" << 0;
    }
    void direccion()
    {
        QFETCH(QString, texto);
        QFETCH(QString, direccion);
        QFETCH(int, puerto);
        QString error;
        const auto d = ServidorEstado::LeerDireccion(texto, &error);
        QCOMPARE(d.has_value(), !direccion.isEmpty());
        QCOMPARE(d ? d->direccion : QHostAddress(), QHostAddress(direccion));
        QCOMPARE(d ? int(d->puerto) : 0, puerto);
        QCOMPARE(error.isEmpty(), d.has_value());
    }

    void conexionCerradaAlPedirlo()
    {
        // Asked to, the server ends the connection after its answer; a client
        // that reads to the end is not kept waiting.
        Banco b;
        QTcpSocket s;
        s.connectToHost(QHostAddress::LocalHost, b.servidor.Puerto());
        s.write("GET /estado HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
        QTRY_COMPARE_WITH_TIMEOUT(s.state(), QAbstractSocket::UnconnectedState, 2000);
        QVERIFY(s.readAll().startsWith("HTTP/1.1 200"));
    }

    void clienteLentoNoDetieneAOtros()
    {
        Banco b;
        b.servidor.escucha().limiteMs = 1000;
        QTcpSocket lento;
        lento.connectToHost(QHostAddress::LocalHost, b.servidor.Puerto());
        QVERIFY(lento.waitForConnected(2000));
        lento.write("GET /est");
        QElapsedTimer t;
        t.start();
        QVERIFY(b.Pedir("GET /estado HTTP/1.1\r\n\r\n").startsWith("HTTP/1.1 200"));
        QVERIFY(t.elapsed() < 800); // answered while the slow one still waits
        QTRY_COMPARE_WITH_TIMEOUT(lento.state(), QAbstractSocket::UnconnectedState, 3000);
        QVERIFY(t.elapsed() >= 950);
    }

    void respuestas_data()
    {
        QTest::addColumn<QByteArray>("pedido");
        QTest::addColumn<QByteArray>("estado");
        QTest::addColumn<QByteArray>("tipo");
        const QByteArray h = " HTTP/1.1\r\nHost: x\r\n\r\n";
        // clang-format off
        QTest::newRow("page") << "GET /" + h << QByteArray("200") << QByteArray("text/html");
        QTest::newRow("json") << "GET /estado?x=1" + h << QByteArray("200") << QByteArray("/json");
        QTest::newRow("metrics") << "GET /metrics" + h << QByteArray("200") << QByteArray("0.0.4");
        QTest::newRow("unknown path") << "GET /admin" + h << QByteArray("404") << QByteArray();
        QTest::newRow("traversal") << "GET /../etc/passwd" + h << QByteArray("404") << QByteArray();
        QTest::newRow("POST") << "POST /estado" + h << QByteArray("405") << QByteArray("Allow: GET");
        QTest::newRow("garbage") << QByteArray("\x16\x03\x01 hi\r\n\r\n") << QByteArray("400") << QByteArray();
        QTest::newRow("no version") << QByteArray("GET /estado\r\n\r\n") << QByteArray("400") << QByteArray();
        QTest::newRow("huge header") << "GET / HTTP/1.1\r\nX: " + QByteArray(20000, 'a') + h << QByteArray("431") << QByteArray();
        // clang-format on
    }
    void respuestas()
    {
        QFETCH(QByteArray, pedido);
        QFETCH(QByteArray, estado);
        QFETCH(QByteArray, tipo);
        Banco b;
        const QByteArray r = b.Pedir(pedido);
        QVERIFY2(r.startsWith("HTTP/1.1 " + estado) && r.contains(tipo), r.left(300).constData());
        QVERIFY(!b.Cuerpo("/metrics").isEmpty()); // still serving after it
    }

    void estadoDesdeElModelo()
    {
        // (The end-to-end tst_estadoreal checks what a real run shows.)
        Banco b;
        b.p.PonerEtiqueta(1, QStringLiteral("<b>\"SIM\"</b>\\"));
        b.p.AnotarIntercambio(kConsulta, Estado("04"), 120);
        QJsonValue j = b.Json();
        QCOMPARE(j["impresora"]["registro"].toString(), QStringLiteral("<b>\"SIM\"</b>\\"));
        QCOMPARE(j["impresora"]["codigo_estado"].toString(), QStringLiteral("04"));
        QCOMPARE(j["impresora"]["ok"].toBool(), false); // a Z is due
        const QByteArray pagina = b.Cuerpo("/");
        QVERIFY(pagina.contains("&lt;b&gt;&quot;SIM&quot;&lt;/b&gt;") && !pagina.contains("<b>\""));
        // A stop without a stage is counted with the message the operator
        // saw, legible and without the command it quotes.
        b.p.Habilitar(QStringLiteral("Command10"), false);
        b.p.MostrarMensaje(QStringLiteral("Abierto.\rEntrada: \x02x\rSalida: @Cliente Secreto"));
        b.p.Habilitar(QStringLiteral("Command10"), true);
        b.p.AnotarDetencion();
        j = b.Json();
        QCOMPARE(j["robot"]["ultima_detencion"]["mensaje"].toString(), "Abierto.\rEntrada: <STX>x");
        QCOMPARE(j["fallas"]["ninguna"].toInt(), 1);
    }

    void alarma()
    {
        // Documents older than the threshold raise it while the robot is
        // stopped or its printer not ready (no reply, a Z due, locked), and
        // only then; each change once.
        Banco b;
        QSignalSpy spy(&b.estado, &EstadoRobot::AlarmaCambiada);
        b.estado.PonerUmbralAlarma(0.1);
        b.p.Habilitar(QStringLiteral("Command10"), false);
        b.p.PonerTimer(true);
        b.p.AnotarPendientes(QStringLiteral("DBList2"), QList<Pendiente>{{7, "a"}});
        QTest::qWait(200); // older than the threshold, polling with a good printer
        QList<bool> cambios;
        for (const QByteArray& r : {Estado("00"), kFallo, Estado("00"), Estado("04"), Estado("05"),
                                    Estado("08"), Estado("00")}) {
            b.p.AnotarIntercambio(kConsulta, r, 50);
            cambios << b.estado.Alarma();
        }
        QCOMPARE(cambios, QList<bool>({false, true, false, true, false, true, false}));
        QCOMPARE(spy.size(), 6);
        // Stopped by the operator; then the document leaves the list.
        b.p.PonerTimer(false);
        b.p.Habilitar(QStringLiteral("Command10"), true);
        QVERIFY(b.Json()["alarma"]["activa"].toBool());
        b.p.AnotarPendientes(QStringLiteral("DBList2"), QList<Pendiente>{});
        QCOMPARE(spy.size(), 8);
        QCOMPARE(spy.last().at(0).toBool(), false);
    }

    void metricas()
    {
        // An exchange on a bucket's limit counts in that bucket; label values
        // are escaped; promtool (when installed) takes the whole text.
        QCoreApplication::setApplicationVersion(QStringLiteral("1\"\\\n"));
        Banco b;
        for (int ms : {50, 100, 30000, 30001})
            b.p.AnotarIntercambio(kConsulta, Estado("00"), ms);
        const QByteArray m = b.Cuerpo("/metrics");
        for (const char* linea :
             {"rovend_info{version=\"1\\\"\\\\\\n\"} 1\n", "{le=\"0.05\"} 1\n", "{le=\"0.1\"} 2\n",
              "{le=\"10\"} 2\n", "{le=\"30\"} 3\n", "{le=\"+Inf\"} 4\n", "rovend_impresora_ok 1\n"})
            QVERIFY2(m.contains(linea), linea);
#ifdef PROMTOOL
        QProcess promtool;
        promtool.start(QStringLiteral(PROMTOOL), {"check", "metrics"});
        QVERIFY(promtool.waitForStarted());
        promtool.write(m);
        promtool.closeWriteChannel();
        QVERIFY(promtool.waitForFinished(30000));
        const QByteArray salida =
            promtool.readAllStandardOutput() + promtool.readAllStandardError();
        QVERIFY2(promtool.exitCode() == 0 && salida.trimmed().isEmpty(), salida.constData());
#endif
    }
};

QTEST_GUILESS_MAIN(TstEstado)
#include "tst_estado.moc"
