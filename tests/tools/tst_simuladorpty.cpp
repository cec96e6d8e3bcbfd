// The simulator over a real pseudo-terminal, talked to with QSerialPort the
// way the robot does it: open, write, read the reply, close, every exchange.

#include "LectorTramas.h"
#include "PuertoPrueba.h"
#include "SimuladorEnHilo.h"

#include <QTest>

namespace
{
using P = PuertoPrueba;
const QByteArray D(1, '\x7f');
const QByteArray kN = P::Comando('8', {"N"});

SimuladorFiscal::Opciones SinRitmo()
{
    SimuladorFiscal::Opciones o;
    o.ritmo = false;
    return o;
}

// Framed as a printer frames it, checksum included.
bool Valida(const QByteArray& respuesta)
{
    LectorTramas l;
    return l.alimentar(respuesta).value(0).valida;
}
} // namespace

class TstSimuladorPty : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void factura();
    void respuestasAlteradas_data();
    void respuestasAlteradas();
    void silencio();
    void ritmo();
};

void TstSimuladorPty::factura()
{
    SimuladorEnHilo sim(SinRitmo());
    QVERIFY2(sim.iniciar(), qPrintable(sim.error()));
    char seq = 32;
    QByteArray r;
    for (const QByteArray& c :
         {P::Comando('@', {"JUAN PEREZ", "V-1", D, D, D, D, D, D}),
          P::Comando('B', {"ARROZ", "2000", "1050", "1200", "M", D, D, D}), P::Comando('E'), kN}) {
        r = P::Preguntar(sim.ruta(), seq++, c);
        QVERIFY2(Valida(r) && !r.contains("ERROR"), r.constData());
    }
    QCOMPARE(r.mid(47, 8), QByteArray("00000001"));
    QCOMPARE(sim.documentos().size(), 1);
    QCOMPARE(sim.documentos().at(0).total, 2352);
}

void TstSimuladorPty::respuestasAlteradas_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("antesDelStx");    // bytes before the reply's STX
    QTest::addColumn<int>("primeraLectura"); // size of the first read; 0: not checked
    QTest::addColumn<bool>("error");

    QTest::newRow("split 5,10") << "trozos 5,10 60" << 0 << 5 << false;
    QTest::newRow("garbage") << "basura 6" << 6 << 0 << false;
    QTest::newRow("busy bytes") << "ocupado 3 30" << 3 << 1 << false;
    QTest::newRow("refused") << "rechazar 8 1" << 0 << 0 << true;
    QTest::newRow("slow command") << "demora 80" << 0 << 0 << false;
}

void TstSimuladorPty::respuestasAlteradas()
{
    QFETCH(QString, control);
    QFETCH(int, antesDelStx);
    QFETCH(int, primeraLectura);
    QFETCH(bool, error);
    SimuladorEnHilo sim(SinRitmo());
    QVERIFY(sim.iniciar());
    QVERIFY(sim.control(control).ok);
    const auto x = P::Intercambiar(sim.ruta(), LectorTramas::Enmarcar(' ', kN));
    QVERIFY(x.completo);
    QCOMPARE(x.recibido.indexOf('\x02'), qsizetype(antesDelStx));
    if (control.startsWith(QLatin1String("ocupado")))
        QCOMPARE(x.recibido.left(3), QByteArray(3, '\x12'));
    if (primeraLectura > 0)
        QCOMPARE(x.lecturas.at(0).size(), qsizetype(primeraLectura));
    if (control.startsWith(QLatin1String("demora")))
        QVERIFY(x.ms >= 80);
    const QByteArray r = P::Respuesta(x.recibido);
    QVERIFY(Valida(r));
    QCOMPARE(r.contains("ERROR"), error);
}

void TstSimuladorPty::silencio()
{
    SimuladorEnHilo sim(SinRitmo());
    QVERIFY(sim.iniciar());
    QVERIFY(sim.control(QStringLiteral("silencio on")).ok);
    // An answer would come one frame time after the frame; allow far more.
    const QByteArray cierre = LectorTramas::Enmarcar(' ', P::Comando('9', {"Z"}));
    QVERIFY(P::Intercambiar(sim.ruta(), cierre, 150).recibido.isEmpty());
    QTRY_COMPARE(sim.estadisticas().tramas, 1); // read, and not run
    QCOMPARE(sim.contadores().z, 0);

    QVERIFY(sim.control(QStringLiteral("silencio off")).ok);
    QCOMPARE(P::Preguntar(sim.ruta(), '!', kN).mid(65, 4), QByteArray("0000"));
}

void TstSimuladorPty::ritmo()
{
    SimuladorEnHilo sim; // paced at 9600 baud
    QVERIFY(sim.iniciar());
    const auto x = P::Intercambiar(sim.ruta(), LectorTramas::Enmarcar(' ', kN));
    QVERIFY(x.completo);
    QVERIFY(P::Respuesta(x.recibido).size() >= 60);
    // 7 bytes in and 74 out at about 1.04 ms each.
    QVERIFY2(x.ms >= 60, qPrintable(QString::number(x.ms)));
    QVERIFY(x.lecturas.size() > 1); // paced bytes cannot come in one read
}

QTEST_GUILESS_MAIN(TstSimuladorPty)
#include "tst_simuladorpty.moc"
