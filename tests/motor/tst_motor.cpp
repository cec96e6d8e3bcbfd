#include "TiendaDemo.h"
#include "apoyo/PuertoFalso.h"
#include "motor/Robot.h"
#include "tienda/Arranque.h"

#include <QTemporaryDir>
#include <QTest>

class TstMotor : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    // The polling cadence: a credit note goes on the twelfth tick without a
    // pending invoice; a tick with an invoice leaves the count where it was;
    // with no note pending the count goes back to 0 after eleven.
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
        // An empty demo shop and a silent scripted port: the fake clock makes
        // the printer's silence instant, so a turn that tries a document
        // shows only as one more message.
        QTemporaryDir dir;
        TiendaDemo tienda;
        RelojFalso reloj;
        QVERIFY2(tienda.Crear(dir.path()), qPrintable(tienda.Error()));
        const Arranque::Resultado inicio = Arranque::Form_Load(dir.path());
        QVERIFY(inicio.fin == Arranque::Fin::Seguir);
        Robot robot(inicio.ajustes, std::make_unique<PuertoFalso>(reloj), &reloj);
        for (int i = 0; i < notas; ++i) {
            NotaDemo n;
            n.Monto = 10.0 + i;
            QVERIFY(tienda.AgregarNota(n) > 0);
        }
        robot.Iniciar();
        Pantalla& p = robot.pantalla();
        qlonglong venta = 0;
        int probado = 0;
        QList<int> cuentas;
        for (int tick = 1; tick <= 14; ++tick) {
            if (tick == facturaEnTick)
                venta = tienda.AgregarVenta(VentaDemo());
            const qsizetype mensajes = p.Mensajes().size();
            robot.Timer1_Timer();
            if (tick == facturaEnTick) {
                // The invoice's turn (it fails on the silent printer), then
                // the sale leaves the list again.
                QCOMPARE(p.Mensajes().size(), mensajes + 1);
                BaseTienda base(QStringLiteral("prueba"));
                QVERIFY(base.Abrir(inicio.ajustes.rutaBaseDatos));
                QVERIFY(base.EscribirFactura(venta, QStringLiteral("00000001"), 5).Ok);
            } else if (p.Mensajes().size() > mensajes && probado == 0) {
                probado = tick;
            }
            cuentas << robot.ContadorTicks();
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
        robot.Terminar();
    }
};

QTEST_GUILESS_MAIN(TstMotor)
#include "tst_motor.moc"
