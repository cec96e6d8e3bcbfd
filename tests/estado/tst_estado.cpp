// The status endpoint in-process: the screen model fed by hand (as the robot
// thread would), the real HTTP server on a loopback port, raw sockets as
// clients so that broken and slow requests can be sent too.
#include "estado/EscuchaEstado.h"
#include "estado/EstadoRobot.h"
#include "estado/InformeEstado.h"
#include "estado/ServidorEstado.h"

#include "impresora/Leds.h"
#include "motor/Pantalla.h"
#include "impresora/Protocolo.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>

namespace
{
// A value by its dotted path ("robot.estado"); array elements by number.
QJsonValue At(const QJsonValue& v, const QString& ruta)
{
    QJsonValue r = v;
    for (const QString& k : ruta.split(QLatin1Char('.'))) {
        bool n = false;
        const int i = k.toInt(&n);
        r = n ? r.toArray().at(i) : r.toObject().value(k);
    }
    return r;
}
// A reply with the two status words and, at 18-19, a state code.
QByteArray Respuesta(const QByteArray& p1, const QByteArray& p2, const QByteArray& codigo)
{
    QByteArray r = QByteArray(1, Protocolo::STX) + "T" + "00" + p1 + Protocolo::FS + p2 +
                   Protocolo::FS + "000" + codigo + Protocolo::FS + "0000";
    return r + Protocolo::ETX + "0000";
}
QByteArray Trama(const QByteArray& c) { return QByteArray(1, Protocolo::STX) + ' ' + c + Protocolo::ETX; }
} // namespace

class TstEstado : public QObject
{
    Q_OBJECT
    struct Banco {
        Pantalla pantalla;
        EstadoRobot estado{pantalla};
        ServidorEstado servidor{estado};
        Banco() { QVERIFY(servidor.Escuchar({QHostAddress(QHostAddress::LocalHost), 0})); }
        // One raw request; the status line and the whole answer.
        QByteArray Pedir(const QByteArray& crudo, QByteArray* todo = nullptr)
        {
            QTcpSocket s;
            s.connectToHost(QHostAddress::LocalHost, servidor.Puerto());
            s.write(crudo);
            QByteArray r;
            // The answer is complete when the server closes or the body has its length.
            (void)QTest::qWaitFor([&] {
                r += s.readAll();
                const qsizetype fin = r.indexOf("\r\n\r\n");
                if (fin < 0)
                    return s.state() == QAbstractSocket::UnconnectedState;
                const qsizetype p = r.toLower().indexOf("content-length:");
                return p >= 0 && r.size() >= fin + 4 + r.mid(p + 15, 12).trimmed().split('\r')[0].toLongLong();
            }, 5000);
            if (todo)
                *todo = r;
            return r.left(r.indexOf("\r\n"));
        }
        QJsonObject Json()
        {
            QByteArray r;
            Pedir("GET /estado HTTP/1.1\r\nHost: x\r\n\r\n", &r);
            return QJsonDocument::fromJson(r.mid(r.indexOf("\r\n\r\n") + 4)).object();
        }
    };

  private Q_SLOTS:
    void direccion_data()
    {
        QTest::addColumn<QString>("texto");
        QTest::addColumn<QString>("direccion"); // empty: refused
        QTest::addColumn<int>("puerto");
        QTest::newRow("port only is loopback") << "9100" << "127.0.0.1" << 9100;
        QTest::newRow("all addresses written") << "0.0.0.0:9100" << "0.0.0.0" << 9100;
        QTest::newRow("IPv6 in brackets") << "[::1]:8080" << "::1" << 8080;
        QTest::newRow("a name is not an address") << "localhost:9100" << "" << 0;
        QTest::newRow("port out of range") << "70000" << "" << 0;
        QTest::newRow("missing port") << "127.0.0.1:" << "" << 0;
        QTest::newRow("bare IPv6") << "::1:9100" << "" << 0;
    }
    void direccion()
    {
        QFETCH(QString, texto);
        QFETCH(QString, direccion);
        QFETCH(int, puerto);
        QString error;
        const auto d = ServidorEstado::LeerDireccion(texto, &error);
        QCOMPARE(d.has_value(), !direccion.isEmpty());
        if (d) {
            QCOMPARE(d->direccion, QHostAddress(direccion));
            QCOMPARE(int(d->puerto), puerto);
        } else {
            QVERIFY(!error.isEmpty());
        }
    }

    void respuestas_data()
    {
        QTest::addColumn<QByteArray>("pedido");
        QTest::addColumn<QByteArray>("estado");
        QTest::addColumn<QByteArray>("tipo");
        const QByteArray h = " HTTP/1.1\r\nHost: x\r\n\r\n";
        QTest::newRow("page") << "GET /" + h << QByteArray("200") << QByteArray("text/html");
        QTest::newRow("json") << "GET /estado" + h << QByteArray("200") << QByteArray("application/json");
        QTest::newRow("metrics") << "GET /metrics" + h << QByteArray("200") << QByteArray("version=0.0.4");
        QTest::newRow("query ignored") << "GET /estado?x=1" + h << QByteArray("200") << QByteArray("json");
        QTest::newRow("unknown path") << "GET /admin" + h << QByteArray("404") << QByteArray();
        QTest::newRow("traversal") << "GET /../etc/passwd" + h << QByteArray("404") << QByteArray();
        QTest::newRow("POST") << QByteArray("POST /estado HTTP/1.1\r\nHost: x\r\nContent-Length: 2\r\n\r\n{}")
                              << QByteArray("405") << QByteArray("Allow: GET");
        QTest::newRow("DELETE") << "DELETE /metrics" + h << QByteArray("405") << QByteArray();
        QTest::newRow("garbage") << QByteArray("\x16\x03\x01 hello\r\n\r\n") << QByteArray("400") << QByteArray();
        QTest::newRow("no version") << QByteArray("GET /estado\r\n\r\n") << QByteArray("400") << QByteArray();
        QTest::newRow("huge header") << "GET /estado HTTP/1.1\r\nX: " + QByteArray(20000, 'a') + "\r\n\r\n"
                                     << QByteArray("431") << QByteArray();
    }
    void respuestas()
    {
        QFETCH(QByteArray, pedido);
        QFETCH(QByteArray, estado);
        QFETCH(QByteArray, tipo);
        Banco b;
        QByteArray todo;
        const QByteArray linea = b.Pedir(pedido, &todo);
        QVERIFY2(linea.startsWith("HTTP/1.1 " + estado), linea.constData());
        QVERIFY2(todo.contains(tipo), todo.left(300).constData());
        // Still serving after whatever came before.
        QVERIFY(b.Pedir("GET /metrics HTTP/1.1\r\n\r\n").startsWith("HTTP/1.1 200"));
    }

    void clienteLentoNoDetieneAOtros()
    {
        Banco b;
        b.servidor.escucha().limiteMs = 500;
        QTcpSocket lento;
        lento.connectToHost(QHostAddress::LocalHost, b.servidor.Puerto());
        QVERIFY(lento.waitForConnected(2000));
        lento.write("GET /est");
        QElapsedTimer t;
        t.start();
        QVERIFY(b.Pedir("GET /estado HTTP/1.1\r\n\r\n").startsWith("HTTP/1.1 200"));
        QVERIFY(t.elapsed() < 400); // answered while the slow one still waits
        QTRY_COMPARE_WITH_TIMEOUT(lento.state(), QAbstractSocket::UnconnectedState, 3000);
        QVERIFY(t.elapsed() >= 450);
    }

    void estadoDesdeElModelo()
    {
        Banco b;
        Pantalla& p = b.pantalla;
        p.PonerEtiqueta(0, QStringLiteral("/dev/ttyS0"));
        p.PonerEtiqueta(1, QStringLiteral("<b>\"SIM\"</b>\\"));
        p.Habilitar(QStringLiteral("Command10"), false);
        p.PonerTimer(true);
        p.AnotarIntercambio(Trama("8\x1CT"), Respuesta("8080", "0003", "04"), 120);
        p.AnotarPendientes(QStringLiteral("DBList2"), QList<Pendiente>{{7, "a"}, {9, "b"}});
        p.ContarImpreso(QStringLiteral("factura"));
        QJsonObject j = b.Json();
        QCOMPARE(At(j, "robot.estado").toString(), QStringLiteral("en_marcha"));
        QCOMPARE(At(j, "impresora.registro").toString(), QStringLiteral("<b>\"SIM\"</b>\\"));
        QCOMPARE(At(j, "impresora.codigo_estado").toString(), QStringLiteral("04"));
        QCOMPARE(At(j, "impresora.ok").toBool(), false); // a Z is due
        const QJsonObject w1 = At(j, "impresora.palabras_estado.primera").toObject();
        QCOMPARE(At(w1, "hex").toString(), QStringLiteral("8080"));
        QCOMPARE(At(w1, "bits").toArray().size(), 2);
        QCOMPARE(At(w1, "bits.0.nombre").toString(), Leds::Tooltip(FilaLed::EF, 0));
        QCOMPARE(At(w1, "bits.1.nombre").toString(), Leds::Tooltip(FilaLed::EF, 8));
        QCOMPARE(At(j, "pendientes.factura.cantidad").toInt(), 2);
        QCOMPARE(At(j, "documentos_impresos.factura").toInt(), 1);

        // A run's failure at its stage, then its stop.
        p.AnotarFalla(2.2, QStringLiteral("Etapa 2.2.\rEntrada: \x02x\rSalida: @Cliente Secreto"));
        p.PonerTimer(false);
        p.Habilitar(QStringLiteral("Command10"), true);
        p.AnotarDetencion();
        QByteArray pagina;
        b.Pedir("GET /estado HTTP/1.1\r\n\r\n", &pagina);
        QVERIFY(!pagina.contains("Secreto")); // the quoted command is left out
        QVERIFY(pagina.contains("Entrada: <STX>x")); // legible, in JSON
        // A stop without a stage is counted with the message the operator saw.
        p.Habilitar(QStringLiteral("Command10"), false);
        p.MostrarMensaje(QStringLiteral("Documento abierto"));
        p.Habilitar(QStringLiteral("Command10"), true);
        p.AnotarDetencion();
        j = b.Json();
        QCOMPARE(At(j, "robot.estado").toString(), QStringLiteral("detenido"));
        QCOMPARE(At(j, "robot.motivo_detencion").toString(), QStringLiteral("falla"));
        QCOMPARE(At(j, "robot.ultima_detencion.mensaje").toString(), QStringLiteral("Documento abierto"));
        QCOMPARE(At(j, "fallas").toObject().value("2.2").toInt(), 1);
        QCOMPARE(At(j, "fallas.ninguna").toInt(), 1);

        b.Pedir("GET / HTTP/1.1\r\n\r\n", &pagina);
        QVERIFY(!pagina.contains("<b>\"SIM"));
        QVERIFY(pagina.contains("&lt;b&gt;&quot;SIM&quot;&lt;/b&gt;"));
        QVERIFY(!pagina.contains("<script"));
    }

    void etiquetas_data()
    {
        QTest::addColumn<QString>("valor");
        QTest::addColumn<QString>("escrito");
        QTest::newRow("plain") << "2.2" << "2.2";
        QTest::newRow("quote, backslash, newline") << "a\"b\\c\nd" << "a\\\"b\\\\c\\nd";
    }
    void etiquetas()
    {
        QFETCH(QString, valor);
        QFETCH(QString, escrito);
        QCOMPARE(InformeEstado::EscaparEtiqueta(valor), escrito);
    }

    void alarmaSeLevantaYTermina()
    {
        Banco b;
        Pantalla& p = b.pantalla;
        QSignalSpy spy(&b.estado, &EstadoRobot::AlarmaCambiada);
        b.estado.PonerUmbralAlarma(0.3);
        p.Habilitar(QStringLiteral("Command10"), false);
        p.PonerTimer(true);
        p.AnotarIntercambio(Trama("8\x1CT"), Respuesta("0000", "0000", "00"), 50);
        p.AnotarPendientes(QStringLiteral("DBList2"), QList<Pendiente>{{7, "a"}});
        // Running with a good printer: waiting is not an alarm.
        QVERIFY(!spy.wait(800));
        // Stopped by the operator: it is.
        p.PonerTimer(false);
        p.Habilitar(QStringLiteral("Command10"), true);
        QTRY_COMPARE_WITH_TIMEOUT(spy.size(), 1, 2000);
        QCOMPARE(spy.last().at(0).toBool(), true);
        QVERIFY(At(b.Json(), "alarma.activa").toBool());
        // The document leaves the list: the alarm ends, once.
        p.AnotarPendientes(QStringLiteral("DBList2"), QList<Pendiente>{});
        QCOMPARE(spy.size(), 2);
        QCOMPARE(spy.last().at(0).toBool(), false);
        // A failing printer while polling raises it too.
        p.Habilitar(QStringLiteral("Command10"), false);
        p.PonerTimer(true);
        p.AnotarPendientes(QStringLiteral("DBList1"), QList<Pendiente>{{3, "n"}});
        QVERIFY(!spy.wait(600));
        p.AnotarIntercambio(Trama("8\x1CN"), QByteArray("\x02" "0\x1C" "ERROR DE COMUNICACION\x03"), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(spy.size(), 3, 2000);
    }

    void promtoolAceptaLasMetricas()
    {
#ifndef PROMTOOL
        QSKIP("promtool is not installed");
#else
        Banco b;
        b.pantalla.AnotarIntercambio(Trama("8\x1CT"), Respuesta("0000", "0000", "00"), 70);
        b.pantalla.AnotarFalla(8, QStringLiteral("x"));
        b.pantalla.AnotarDetencion();
        b.pantalla.ContarImpreso(QStringLiteral("nota_credito"));
        QByteArray r;
        b.Pedir("GET /metrics HTTP/1.1\r\n\r\n", &r);
        const QByteArray cuerpo = r.mid(r.indexOf("\r\n\r\n") + 4);
        QVERIFY(cuerpo.contains("rovend_fallas_total{etapa=\"8\"} 1\n"));
        QVERIFY(cuerpo.contains("rovend_intercambio_duracion_segundos_bucket{le=\"0.1\"} 1\n"));
        QProcess promtool;
        promtool.start(QStringLiteral(PROMTOOL), {"check", "metrics"});
        QVERIFY(promtool.waitForStarted());
        promtool.write(cuerpo);
        promtool.closeWriteChannel();
        QVERIFY(promtool.waitForFinished(30000));
        const QByteArray salida = promtool.readAllStandardOutput() + promtool.readAllStandardError();
        QVERIFY2(promtool.exitCode() == 0 && salida.trimmed().isEmpty(), salida.constData());
#endif
    }
};

QTEST_GUILESS_MAIN(TstEstado)
#include "tst_estado.moc"
