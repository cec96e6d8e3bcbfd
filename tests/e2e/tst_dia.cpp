// A day at the till with the real programs: rovend headless, the printer
// simulator and the server simulator, on a SQLite shop.
#include "ArnesTienda.h"

#include <QJsonArray>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTest>

namespace {
constexpr int kEspera = 90000;

QList<QJsonObject> deTipo(const QList<QJsonObject>& docs, const QString& tipo)
{
    QList<QJsonObject> r;
    for (const QJsonObject& d : docs)
        if (d.value("tipo").toString() == tipo)
            r << d;
    return r;
}
} // namespace

class TstDia : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void unDiaEnLaCaja()
    {
        ArnesTienda a;
        QVERIFY2(a.Preparar(), qPrintable(a.Error()));
        // Invoices and credit notes pending together, each customer unique.
        QList<qlonglong> ventas;
        for (int i = 1; i <= 4; ++i) {
            VentaDemo v;
            v.NombreCliente = QStringLiteral("Cliente E2E %1").arg(i);
            v.Rif = QStringLiteral("V-%1").arg(1000 + i);
            v.Lineas = {LineaDemo{}, LineaDemo{}};
            v.Lineas[1].Nombre = QStringLiteral("Otro producto");
            v.Lineas[1].Cantidad = 2.5;
            ventas << a.tienda.AgregarVenta(v);
            QVERIFY(ventas.last() > 0);
        }
        NotaDemo nota;
        nota.Venta = ventas.first();
        nota.NombreCliente = QStringLiteral("Nota E2E 1");
        nota.Monto = 50.0;
        const qlonglong codigoNota = a.tienda.AgregarNota(nota);
        QVERIFY(codigoNota > 0);
        a.tienda.Cerrar();

        QVERIFY(a.ArrancarRobot());
        // Registration with the server.
        QTRY_VERIFY_WITH_TIMEOUT(a.LineasServidor().join('\n').contains("< L%"), 20000);
        QVERIFY(a.LineasServidor().join('\n').contains(";Rovend Fiscal;Local;Rovend;"));

        // Every invoice first, then the note on a later invoice-free tick.
        QTRY_VERIFY_WITH_TIMEOUT(deTipo(a.Diario(), "nota_credito").size() == 1, kEspera);
        const QList<QJsonObject> facturas = deTipo(a.Diario(), "factura");
        QCOMPARE(facturas.size(), 4);
        const QList<QJsonObject> todo = a.Diario();
        int ultimaFactura = -1, primeraNota = -1;
        for (int i = 0; i < todo.size(); ++i) {
            if (todo[i].value("tipo") == "factura")
                ultimaFactura = i;
            if (todo[i].value("tipo") == "nota_credito" && primeraNota < 0)
                primeraNota = i;
        }
        QVERIFY(ultimaFactura < primeraNota);

        // A probe answered, a chat line taken, closings asked by the server.
        a.OrdenServidor("vivo");
        QTRY_VERIFY_WITH_TIMEOUT(a.LineasServidor().filter("< 0%").size() >= 1, 10000);
        a.OrdenServidor("chat Buenas tardes, caja 1");
        a.OrdenServidor("cierre x 1");
        QTRY_VERIFY_WITH_TIMEOUT(deTipo(a.Diario(), "cierre_x").size() == 1, 30000);
        a.OrdenServidor("cierre z 7"); // another till: ignored
        // A request that finds its button disabled (the X closing may still
        // be finishing) is dropped, as the server knows; it asks again.
        for (int intento = 0; intento < 6 && deTipo(a.Diario(), "cierre_z").isEmpty(); ++intento) {
            a.OrdenServidor("cierre z 1");
            (void)QTest::qWaitFor([&] { return !deTipo(a.Diario(), "cierre_z").isEmpty(); }, 5000);
        }
        QCOMPARE(deTipo(a.Diario(), "cierre_z").size(), 1);

        // The goodbye on close, after the robot has stopped.
        QCOMPARE(a.TerminarRobot(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(a.LineasServidor().filter("< I%Cerrando sesión").size() == 1, 10000);
        const QStringList srv = a.LineasServidor();
        QVERIFY(srv.indexOf(QRegularExpression("^< M%Cerrando sesión")) <
                srv.indexOf(QRegularExpression("^< I%Cerrando sesión")));

        // Each sale printed exactly once and written back with its number.
        for (int i = 0; i < ventas.size(); ++i) {
            const QString cliente = QStringLiteral("Cliente E2E %1").arg(i + 1);
            QList<QJsonObject> suyos;
            for (const QJsonObject& f : facturas)
                if (f.value("cliente").toString() == cliente)
                    suyos << f;
            QCOMPARE(suyos.size(), 1);
            const QSqlRecord r = a.Venta(ventas[i]);
            const int numero = suyos[0].value("numero").toInt();
            QVERIFY(numero > 0);
            QCOMPARE(r.value("Factura").toString(), QStringLiteral("%1").arg(numero, 8, 10, QLatin1Char('0')));
            QCOMPARE(r.value("Control").toString(), r.value("Factura").toString());
            QCOMPARE(r.value("Impresa").toInt(), -1);
            QCOMPARE(r.value("Imprimir").toInt(), 0);
        }
        const QSqlRecord n = a.Nota(codigoNota);
        QCOMPARE(n.value("Número").toString(),
                 QStringLiteral("%1").arg(deTipo(todo, "nota_credito")[0].value("numero").toInt(), 8, 10, QLatin1Char('0')));
        QCOMPARE(n.value("Impresa").toInt(), -1);
    }

    void servidorRechaza()
    {
        ArnesTienda a;
        OpcionesTienda o;
        QVERIFY2(a.Preparar(o), qPrintable(a.Error()));
        // Point the shop at a port where nobody listens.
        QTcpServer libre;
        QVERIFY(libre.listen(QHostAddress::LocalHost));
        const quint16 puerto = libre.serverPort();
        libre.close();
        a.tienda.Cerrar();
        QVERIFY(a.CambiarServidor(QStringLiteral("127.0.0.1"), puerto));
        QVERIFY(a.ArrancarRobot());
        QTRY_VERIFY_WITH_TIMEOUT(!a.RobotVivo(), 20000);
        QVERIFY(a.SalidaRobot().contains("No se pudo establecer conexión con el servidor."));
        QCOMPARE(a.TerminarRobot(), 1);
    }

    void servidorOrdenaSalir()
    {
        ArnesTienda a;
        QVERIFY2(a.Preparar(), qPrintable(a.Error()));
        a.tienda.Cerrar();
        QVERIFY(a.ArrancarRobot());
        QTRY_VERIFY_WITH_TIMEOUT(a.LineasServidor().join('\n').contains("< L%"), 20000);
        a.OrdenServidor("salir");
        QTRY_VERIFY_WITH_TIMEOUT(!a.RobotVivo(), 20000);
        QVERIFY(!a.LineasServidor().join('\n').contains("Cerrando sesión")); // no goodbye
    }

    void servidorCorta()
    {
        ArnesTienda a;
        QVERIFY2(a.Preparar(), qPrintable(a.Error()));
        VentaDemo v;
        v.NombreCliente = QStringLiteral("Despues del corte");
        const qlonglong venta = a.tienda.AgregarVenta(v);
        a.tienda.Cerrar();
        QVERIFY(a.ArrancarRobot());
        QTRY_VERIFY_WITH_TIMEOUT(a.LineasServidor().join('\n').contains("< L%"), 20000);
        a.OrdenServidor("cerrar");
        // The robot keeps working without the link.
        QTRY_VERIFY_WITH_TIMEOUT(deTipo(a.Diario(), "factura").size() == 1, kEspera);
        QTRY_VERIFY_WITH_TIMEOUT(a.Venta(venta).value("Impresa").toInt() == -1, 10000);
        QVERIFY(a.RobotVivo());
        QCOMPARE(a.TerminarRobot(), 0);
    }
};

QTEST_GUILESS_MAIN(TstDia)
#include "tst_dia.moc"
