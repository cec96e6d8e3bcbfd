#include "tienda/Arranque.h"
#include "apoyo/PuertoFalso.h"
#include "motor/Robot.h"
#include "TiendaDemo.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

namespace {
// A robot on a demo shop, with a scripted port (no printer talk here).
struct Banco {
    QTemporaryDir dir;
    TiendaDemo tienda;
    RelojFalso reloj;
    std::unique_ptr<Robot> robot;
    Arranque::Resultado inicio;

    bool Crear(bool conDemo)
    {
        if (!tienda.Crear(dir.path()) || (conDemo && !tienda.LlenarDemo()))
            return false;
        inicio = Arranque::Form_Load(dir.path());
        if (inicio.fin != Arranque::Fin::Seguir)
            return false;
        // No printer answers; the fake clock makes its silence instant.
        robot = std::make_unique<Robot>(inicio.ajustes, std::make_unique<PuertoFalso>(reloj), &reloj);
        return true;
    }
};
} // namespace

class TstMotor : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void listasAlIniciar()
    {
        Banco b;
        QVERIFY2(b.Crear(false), qPrintable(b.tienda.Error()));
        VentaDemo v;
        v.NombreCliente = QStringLiteral("Primera");
        v.Rif = QStringLiteral("J-1");
        const qlonglong a = b.tienda.AgregarVenta(v);
        v.NombreCliente = QStringLiteral("Segunda");
        const qlonglong c = b.tienda.AgregarVenta(v);
        VentaDemo otra = v;
        otra.MaquinaFiscal = 7; // another till: never listed
        QVERIFY(b.tienda.AgregarVenta(otra) > 0);
        QVERIFY(a > 0 && c > a);

        Pantalla& p = b.robot->pantalla();
        QSignalSpy listas(&p, &Pantalla::PendientesCambiados);
        b.robot->Iniciar();
        // Tickets, then invoices, then credit notes.
        QCOMPARE(listas.size(), 3);
        QCOMPARE(listas.at(0).at(0).toString(), QStringLiteral("DBList3"));
        QCOMPARE(listas.at(1).at(0).toString(), QStringLiteral("DBList2"));
        QCOMPARE(listas.at(2).at(0).toString(), QStringLiteral("DBList1"));
        const QStringList facturas = p.Pendientes("DBList2");
        QCOMPARE(facturas.size(), 2);
        QVERIFY2(facturas.at(0).contains("Primera") && facturas.at(0).endsWith(" J-1"), qPrintable(facturas.at(0)));
        QVERIFY(facturas.at(1).contains("Segunda"));
        QVERIFY(b.robot->TimerActivo());
        QVERIFY(!p.Habilitado("Command10"));

        // Once printed marks are written, the sale leaves the list.
        BaseTienda base(QStringLiteral("prueba"));
        QVERIFY(base.Abrir(b.inicio.ajustes.rutaBaseDatos));
        QVERIFY(base.EscribirFactura(a, QStringLiteral("00000001"), 5).Ok);
        base.Cerrar();
        b.robot->Timer1_Timer();
        QCOMPARE(p.Pendientes("DBList2").size(), 1);
        QVERIFY(p.Pendientes("DBList2").at(0).contains("Segunda"));
        b.robot->Terminar();
    }

    // The polling cadence: a credit note goes on the twelfth tick without a
    // pending invoice; a tick with an invoice leaves the count where it was;
    // with no note pending the count goes back to 0 after eleven. The printer
    // is silent, so a turn that tries a document shows as a message.
    void cadencia_data()
    {
        QTest::addColumn<int>("notas");
        QTest::addColumn<int>("facturaEnTick"); // an invoice pending on this tick only; 0: none
        QTest::addColumn<int>("intento");       // the tick that tries the note; 0: none
        QTest::newRow("one note, twelfth tick") << 1 << 0 << 12;
        QTest::newRow("two notes, twelfth tick") << 2 << 0 << 12;
        QTest::newRow("invoice tick does not count") << 1 << 5 << 13;
        QTest::newRow("no note: nothing tried") << 0 << 0 << 0;
    }
    void cadencia()
    {
        QFETCH(int, notas);
        QFETCH(int, facturaEnTick);
        QFETCH(int, intento);
        Banco b;
        QVERIFY2(b.Crear(false), qPrintable(b.tienda.Error()));
        for (int i = 0; i < notas; ++i) {
            NotaDemo n;
            n.Monto = 10.0 + i;
            QVERIFY(b.tienda.AgregarNota(n) > 0);
        }
        b.robot->Iniciar();
        Pantalla& p = b.robot->pantalla();
        qlonglong venta = 0;
        int probado = 0;
        QList<int> cuentas;
        for (int tick = 1; tick <= 14; ++tick) {
            if (tick == facturaEnTick)
                venta = b.tienda.AgregarVenta(VentaDemo());
            const qsizetype mensajes = p.Mensajes().size();
            b.robot->Timer1_Timer();
            if (tick == facturaEnTick) {
                // The invoice's turn (it fails on the silent printer), then
                // the sale leaves the list again.
                QCOMPARE(p.Mensajes().size(), mensajes + 1);
                BaseTienda base(QStringLiteral("prueba"));
                QVERIFY(base.Abrir(b.inicio.ajustes.rutaBaseDatos));
                QVERIFY(base.EscribirFactura(venta, QStringLiteral("00000001"), 5).Ok);
                base.Cerrar();
            } else if (p.Mensajes().size() > mensajes && probado == 0) {
                probado = tick;
            }
            cuentas << b.robot->ContadorTicks();
        }
        QCOMPARE(probado, intento);
        // The count after each tick: up to 11, then 0 on the twelfth idle one.
        QList<int> esperadas;
        int c = 0;
        for (int tick = 1; tick <= 14; ++tick) {
            if (tick != facturaEnTick)
                c = c < 11 ? c + 1 : 0;
            esperadas << c;
        }
        QCOMPARE(cuentas, esperadas);
        b.robot->Terminar();
    }

    void habilitarControlesNoTocaCerrar()
    {
        Banco b;
        QVERIFY(b.Crear(false));
        b.robot->Iniciar();
        Pantalla& p = b.robot->pantalla();
        for (bool cerrar : {true, false}) {
            p.Habilitar("Command10", cerrar);
            for (bool estado : {false, true}) {
                b.robot->HabilitarControles(estado);
                QCOMPARE(p.Habilitado("Command10"), cerrar);
                QCOMPARE(b.robot->TimerActivo(), estado);
                for (const QString& boton : Pantalla::BotonesOperador())
                    QCOMPARE(p.Habilitado(boton), estado);
            }
        }
        b.robot->Terminar();
    }

    void detenerIniciar()
    {
        Banco b;
        QVERIFY(b.Crear(false));
        b.robot->Iniciar();
        Pantalla& p = b.robot->pantalla();
        b.robot->Command3_Click();
        QVERIFY(!b.robot->TimerActivo());
        QCOMPARE(p.Titulo("Command3"), QStringLiteral("Iniciar"));
        QVERIFY(p.Habilitado("Command10"));
        b.robot->Command3_Click();
        QVERIFY(b.robot->TimerActivo());
        QCOMPARE(p.Titulo("Command3"), QStringLiteral("Detener"));
        QVERIFY(!p.Habilitado("Command10"));
        b.robot->Terminar();
    }

    void pedidosEncoladosEnSuHilo()
    {
        // The engine in its own thread: requests queued from this thread run
        // there, and the model's signals come back here.
        Banco b;
        QVERIFY(b.Crear(true));
        Robot* robot = b.robot.get();
        QThread hilo;
        robot->moveToThread(&hilo);
        // Receivers in this thread: the signals arrive queued, as in the window.
        QStringList titulos;
        QList<bool> iniciado;
        connect(&robot->pantalla(), &Pantalla::TituloCambiado, this,
                [&](const QString& control, const QString& t) {
                    if (control == QLatin1String("Command3"))
                        titulos << t;
                });
        connect(robot, &Robot::Iniciado, this, [&](bool ok) { iniciado << ok; });
        connect(&hilo, &QThread::started, robot, &Robot::Iniciar);
        hilo.start();
        QTRY_COMPARE_WITH_TIMEOUT(iniciado.size(), 1, 10000);
        QCOMPARE(iniciado.at(0), true);
        QMetaObject::invokeMethod(robot, &Robot::Command3_Click, Qt::QueuedConnection);
        QTRY_COMPARE_WITH_TIMEOUT(titulos.size(), 1, 10000);
        QCOMPARE(titulos.at(0), QStringLiteral("Iniciar"));
        robot->Cancelar();
        QMetaObject::invokeMethod(robot, &Robot::Terminar, Qt::BlockingQueuedConnection);
        hilo.quit();
        QVERIFY(hilo.wait(10000));
    }
};

QTEST_GUILESS_MAIN(TstMotor)
#include "tst_motor.moc"
