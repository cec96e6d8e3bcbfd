// The status endpoint of the real robot (headless, with both simulators),
// read by a real HTTP client: a refused opening stops the robot, the invoice
// waits and raises the alarm; a closing asked by the server sets it polling
// again, the invoice prints and the alarm ends.
#include "ArnesTienda.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
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
constexpr int kEspera = 60000;

quint16 PuertoLibre()
{
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    return s.serverPort();
}
} // namespace

class TstEstadoReal : public QObject
{
    Q_OBJECT
    QNetworkAccessManager red_;
    quint16 puerto_ = 0;

    // One GET; the body, empty when it did not answer 200.
    QByteArray Get(const QString& ruta)
    {
        QNetworkReply* r = red_.get(QNetworkRequest(QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(puerto_).arg(ruta))));
        QSignalSpy fin(r, &QNetworkReply::finished);
        if (!r->isFinished() && !fin.wait(5000))
            return {};
        r->deleteLater();
        return r->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 200 ? r->readAll() : QByteArray();
    }
    QJsonObject Estado() { return QJsonDocument::fromJson(Get(QStringLiteral("/estado"))).object(); }
    // The samples of the text format: "name{labels}" -> value.
    QHash<QString, double> Metricas()
    {
        QHash<QString, double> m;
        for (const QByteArray& l : Get(QStringLiteral("/metrics")).split('\n')) {
            if (l.isEmpty() || l.startsWith('#'))
                continue;
            const qsizetype sp = l.lastIndexOf(' ');
            m.insert(QString::fromUtf8(l.left(sp)), l.mid(sp + 1).toDouble());
        }
        return m;
    }

  private Q_SLOTS:
    void paradaAlarmaEImpresion()
    {
        ArnesTienda a;
        QVERIFY2(a.Preparar({}, {"--rechazar", "@:1"}), qPrintable(a.Error()));
        VentaDemo v;
        v.NombreCliente = QStringLiteral("<img src=x onerror=alert(1)> \"Cliente\"");
        v.Rif = QStringLiteral("V-4711");
        const qlonglong venta = a.tienda.AgregarVenta(v);
        QVERIFY(venta > 0);
        a.tienda.Cerrar();
        puerto_ = PuertoLibre();
        // A threshold of 3 seconds.
        a.argsRobot = {"--estado", QString::number(puerto_), "--alarma", "0.05"};
        QVERIFY(a.ArrancarRobot());

        // The refused opening stops the robot at its stage.
        QTRY_VERIFY_WITH_TIMEOUT(At(Estado(), "fallas").toObject().value("2.2").toInt() == 1, kEspera);
        QJsonObject e = Estado();
        QCOMPARE(At(e, "robot.estado").toString(), QStringLiteral("detenido"));
        QCOMPARE(At(e, "robot.motivo_detencion").toString(), QStringLiteral("falla"));
        QCOMPARE(At(e, "robot.ultima_detencion.etapa").toString(), QStringLiteral("2.2"));
        QVERIFY(At(e, "robot.ultima_detencion.mensaje").toString().contains("etapa"));
        QCOMPARE(At(e, "pendientes.factura.cantidad").toInt(), 1);
        QCOMPARE(At(e, "impresora.registro").toString(), QStringLiteral("SIM0000001"));
        QCOMPARE(At(e, "servidor.registrado").toBool(), true);
        // No customer text anywhere.
        QVERIFY(!Get("/estado").contains("Cliente"));
        QVERIFY(!Get("/").contains("Cliente"));

        // Left waiting while stopped: the alarm.
        QTRY_VERIFY_WITH_TIMEOUT(At(Estado(), "alarma.activa").toBool(), 20000);
        QCOMPARE(Metricas().value(QStringLiteral("rovend_alarma_pendientes")), 1.0);
        QVERIFY(Get("/").contains("id=\"alarma\""));

        // A closing from the server sets the timer going again: the invoice prints.
        a.OrdenServidor(QStringLiteral("cierre x 1"));
        QTRY_VERIFY_WITH_TIMEOUT(a.Venta(venta).value("Impresa").toInt() == -1, kEspera);
        QTRY_VERIFY_WITH_TIMEOUT(!At(Estado(), "alarma.activa").toBool(), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(At(Estado(), "documentos_impresos.factura").toInt(), 1, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(At(Estado(), "pendientes.factura.cantidad").toInt(), 0, 10000);
        e = Estado();
        QCOMPARE(At(e, "robot.estado").toString(), QStringLiteral("en_marcha"));
        QCOMPARE(At(e, "impresora.ultima_factura").toString(), a.Venta(venta).value("Factura").toString());
        QCOMPARE(At(e, "impresora.ok").toBool(), true);
        QVERIFY(!At(e, "impresora.ultimo_intercambio_bueno").toString().isEmpty());

        const QHash<QString, double> m = Metricas();
        QCOMPARE(m.value(QStringLiteral("rovend_documentos_impresos_total{tipo=\"factura\"}")), 1.0);
        QCOMPARE(m.value(QStringLiteral("rovend_fallas_total{etapa=\"2.2\"}")), 1.0);
        QCOMPARE(m.value(QStringLiteral("rovend_pendientes{tipo=\"factura\"}")), 0.0);
        QCOMPARE(m.value(QStringLiteral("rovend_alarma_pendientes")), 0.0);
        QCOMPARE(m.value(QStringLiteral("rovend_robot_en_marcha")), 1.0);
        const double n = m.value(QStringLiteral("rovend_intercambio_duracion_segundos_count"));
        QVERIFY(n > 10);
        QCOMPARE(m.value(QStringLiteral("rovend_intercambio_duracion_segundos_bucket{le=\"+Inf\"}")), n);

        QCOMPARE(a.TerminarRobot(), 0);
        // One log line when the alarm began and one when it ended.
        QFile log(a.RutaPrograma() + QStringLiteral("/rovend.log"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QString texto = QString::fromUtf8(log.readAll());
        QCOMPARE(texto.count(QStringLiteral("alarma de documentos en espera:")), 1);
        QCOMPARE(texto.count(QStringLiteral("fin de la alarma de documentos en espera")), 1);
    }

    void direccionOcupadaEsUnMensaje()
    {
        ArnesTienda a;
        QVERIFY2(a.Preparar(), qPrintable(a.Error()));
        QTcpServer ocupado;
        QVERIFY(ocupado.listen(QHostAddress::LocalHost, 0));
        a.argsRobot = {"--estado", QString::number(ocupado.serverPort())};
        QVERIFY(a.ArrancarRobot());
        QTRY_VERIFY_WITH_TIMEOUT(!a.RobotVivo(), 20000);
        QVERIFY(a.SalidaRobot().contains("No se pudo abrir el estado"));
    }
};

QTEST_GUILESS_MAIN(TstEstadoReal)
#include "tst_estadoreal.moc"
