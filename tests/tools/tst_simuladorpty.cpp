// The simulator over a real pseudo-terminal, talked to with QSerialPort the
// way the robot does it: open, write, read the reply, close, every exchange.

#include "LectorTramas.h"
#include "PuertoPrueba.h"
#include "SimuladorEnHilo.h"

#include <QSerialPort>
#include <QTest>

namespace
{
const char FS = '\x1c';
const QByteArray D(1, '\x7f');

QByteArray C(char cmd, const QList<QByteArray>& campos = {})
{
    QByteArray b(1, cmd);
    for (const QByteArray& c : campos)
        b += FS + c;
    return b;
}

SimuladorFiscal::Opciones SinRitmo()
{
    SimuladorFiscal::Opciones o;
    o.ritmo = false;
    return o;
}

// Sends each command in its own exchange and returns the replies.
QList<QByteArray> Enviar(const QString& ruta, char& seq, const QList<QByteArray>& comandos)
{
    QList<QByteArray> r;
    for (const QByteArray& c : comandos) {
        const auto x = PuertoPrueba::Intercambiar(ruta, LectorTramas::Enmarcar(seq, c));
        seq = seq >= 70 ? 32 : char(seq + 1);
        r.append(PuertoPrueba::Respuesta(x.recibido));
    }
    return r;
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
    void retransmision();
    void ritmo();
};

void TstSimuladorPty::factura()
{
    SimuladorEnHilo sim(SinRitmo());
    QVERIFY2(sim.iniciar(), qPrintable(sim.error()));
    char seq = 32;
    const QList<QByteArray> respuestas =
        Enviar(sim.ruta(), seq,
               {C('8', {"N"}), C('@', {"JUAN PEREZ", "V-1", D, D, D, D, D, D}),
                C('B', {"ARROZ", "2000", "1050", "1200", "M", D, D, D}),
                C('B', {"PAN", "1000", "200", "0000", "M", D, D, D}), C('E', {"A"}),
                C('A', {"Condicion: Contado", D}), C('E'), C('8', {"N"})});
    for (const QByteArray& r : respuestas) {
        QVERIFY(!r.isEmpty());
        QVERIFY2(!r.contains("ERROR"), r.constData());
        LectorTramas l;
        QVERIFY(l.alimentar(r).value(0).valida); // checksum and layout hold
    }
    QCOMPARE(respuestas.constLast().mid(47, 8), QByteArray("00000001"));
    const QList<DocumentoImpreso> docs = sim.documentos();
    QCOMPARE(docs.size(), 1);
    QCOMPARE(docs.at(0).articulos().size(), 2);
    QCOMPARE(docs.at(0).total, 2552);
    QCOMPARE(sim.contadores().ultimaFactura, 1);
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
    const auto x =
        PuertoPrueba::Intercambiar(sim.ruta(), LectorTramas::Enmarcar(' ', C('8', {"N"})));
    QVERIFY(x.completo);
    QCOMPARE(x.recibido.indexOf('\x02'), qsizetype(antesDelStx));
    if (control.startsWith(QLatin1String("ocupado")))
        QCOMPARE(x.recibido.left(3), QByteArray(3, '\x12'));
    if (primeraLectura > 0)
        QCOMPARE(x.lecturas.at(0).size(), qsizetype(primeraLectura));
    if (control.startsWith(QLatin1String("demora")))
        QVERIFY(x.ms >= 80);
    const QByteArray r = PuertoPrueba::Respuesta(x.recibido);
    LectorTramas l;
    QVERIFY(l.alimentar(r).value(0).valida);
    QCOMPARE(r.contains("ERROR"), error);
}

void TstSimuladorPty::silencio()
{
    SimuladorEnHilo sim(SinRitmo());
    QVERIFY(sim.iniciar());
    QVERIFY(sim.control(QStringLiteral("silencio on")).ok);
    QSerialPort p(sim.ruta());
    QVERIFY(p.open(QIODevice::ReadWrite));
    p.write(LectorTramas::Enmarcar(' ', C('9', {"Z"})));
    QVERIFY(p.waitForBytesWritten(1000));
    QTRY_COMPARE(sim.estadisticas().tramas, 1);
    // An answer would come one frame time after the frame; allow far more.
    QVERIFY(!p.waitForReadyRead(150));
    p.close();
    QCOMPARE(sim.contadores().z, 0);

    QVERIFY(sim.control(QStringLiteral("silencio off")).ok);
    const auto x =
        PuertoPrueba::Intercambiar(sim.ruta(), LectorTramas::Enmarcar('!', C('8', {"N"})));
    QVERIFY(x.completo);
    QCOMPARE(PuertoPrueba::Respuesta(x.recibido).mid(65, 4), QByteArray("0000"));
}

void TstSimuladorPty::retransmision()
{
    SimuladorEnHilo sim(SinRitmo());
    QVERIFY(sim.iniciar());
    const QByteArray cierre = LectorTramas::Enmarcar('5', C('9', {"Z"}));
    const auto a = PuertoPrueba::Intercambiar(sim.ruta(), cierre);
    const auto b = PuertoPrueba::Intercambiar(sim.ruta(), cierre);
    QVERIFY(a.completo && b.completo);
    QCOMPARE(b.recibido, a.recibido);
    QCOMPARE(sim.contadores().z, 1);
    QCOMPARE(sim.estadisticas().retransmisiones, 1);
}

void TstSimuladorPty::ritmo()
{
    SimuladorEnHilo sim; // paced at 9600 baud
    QVERIFY(sim.iniciar());
    const auto x =
        PuertoPrueba::Intercambiar(sim.ruta(), LectorTramas::Enmarcar(' ', C('8', {"N"})));
    QVERIFY(x.completo);
    const QByteArray r = PuertoPrueba::Respuesta(x.recibido);
    QVERIFY(r.size() >= 60);
    // 7 bytes in and 74 out at about 1.04 ms each.
    QVERIFY2(x.ms >= 60, qPrintable(QString::number(x.ms)));
    QVERIFY(x.lecturas.size() > 1); // paced bytes cannot come in one read
}

QTEST_GUILESS_MAIN(TstSimuladorPty)
#include "tst_simuladorpty.moc"
