#include "LectorTramas.h"
#include "MaquinaFiscal.h"

#include <QRandomGenerator>
#include <QTest>

namespace
{
const QByteArray FS(1, '\x1c');

// The frames read: a good one as its command, a bad one as "?" (it must say why).
QStringList Leidas(const QList<LectorTramas::Trama>& ts)
{
    QStringList r;
    for (const auto& t : ts)
        r << (t.valida             ? QString::fromLatin1(t.comando)
              : t.motivo.isEmpty() ? "? sin motivo"
                                   : "?");
    return r;
}
} // namespace

class TstLectorTramas : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void sumaControl_data();
    void sumaControl();
    void cortes_data();
    void cortes();
    void azar();
};

void TstLectorTramas::sumaControl_data()
{
    QTest::addColumn<char>("secuencia");
    QTest::addColumn<QByteArray>("comando");
    QTest::addColumn<QByteArray>("digitos");
    QTest::newRow("K, 32") << char(32) << QByteArray("K") << QByteArray("0070");
    QTest::newRow("8 FS N, 33") << char(33) << QByteArray("8\x1cN") << QByteArray("00C8");
    QTest::newRow("9 FS Z, 32") << char(32) << QByteArray("9\x1cZ") << QByteArray("00D4");
    // Sums past 0xFFFF keep the low 16 bits, still four digits.
    QTest::newRow("wraps") << char(70) << QByteArray(300, char(0xFF)) << QByteArray("2B1F");
}

void TstLectorTramas::sumaControl()
{
    QFETCH(char, secuencia);
    QFETCH(QByteArray, comando);
    QFETCH(QByteArray, digitos);
    const QByteArray esperada = '\x02' + QByteArray(1, secuencia) + comando + '\x03' + digitos;
    QCOMPARE(LectorTramas::Enmarcar(secuencia, comando), esperada);
    LectorTramas l;
    const auto ts = l.alimentar(esperada);
    QCOMPARE(ts.size(), 1);
    QVERIFY2(ts.at(0).valida, qPrintable(ts.at(0).motivo));
    QCOMPARE(ts.at(0).secuencia, secuencia);
    QCOMPARE(ts.at(0).comando, comando);
}

void TstLectorTramas::cortes_data()
{
    QTest::addColumn<QByteArray>("flujo");
    QTest::addColumn<int>("trozo"); // bytes per feed; 0 = all at once
    QTest::addColumn<QStringList>("leidas");
    QTest::addColumn<int>("descartados"); // -1: not checked

    const QByteArray n = LectorTramas::Enmarcar(' ', "8" + FS + "N");
    const QByteArray k = LectorTramas::Enmarcar('!', "K");
    QTest::newRow("whole") << n << 0 << QStringList{"8\x1cN"} << 0;
    QTest::newRow("byte by byte") << n << 1 << QStringList{"8\x1cN"} << 0;
    QTest::newRow("noise and DC2 before")
        << QByteArray("\x12\x12zz\x03") + n << 2 << QStringList{"8\x1cN"} << 5;
    QTest::newRow("two in one read") << n + k << 0 << QStringList{"8\x1cN", "K"} << 0;
    QTest::newRow("bytes after the digits") << n + "xy" + k << 3 << QStringList{"8\x1cN", "K"} << 2;
    // A frame cut short by a new STX is dropped; the new one is read.
    QTest::newRow("restart on STX") << n.left(4) + k << 0 << QStringList{"K"} << 4;
    // Control bytes inside a frame, a DC2 among them, are its command.
    const QByteArray reset = MaquinaFiscal::ComandoReset();
    QTest::newRow("reset command")
        << LectorTramas::Enmarcar('#', reset) << 5 << QStringList{QString::fromLatin1(reset)} << 0;

    // A bad frame is reported (for the log) and never taken as a command; the
    // reader then finds the next good frame.
    const QByteArray x = LectorTramas::Enmarcar('$', "9" + FS + "X");
    const QStringList mala{"?", "9\x1cX"};
    QByteArray suma = n;
    suma[suma.size() - 1] = '8';
    QByteArray minusculas = n; // its digits are 00C7
    minusculas.replace("00C7", "00c7");
    QTest::newRow("wrong checksum") << suma + x << 0 << mala << -1;
    QTest::newRow("lower-case digits") << minusculas + x << 0 << mala << -1;
    QTest::newRow("sequence 31") << LectorTramas::Enmarcar(31, "K") + x << 0 << mala << -1;
    QTest::newRow("sequence 71") << LectorTramas::Enmarcar(71, "K") + x << 0 << mala << -1;
    QTest::newRow("STX among the digits") << n.left(n.size() - 2) + x << 0 << mala << -1;
    QTest::newRow("too long") << QByteArray("\x02 ") + QByteArray(LectorTramas::kMaximo + 10, 'A') +
                                     x
                              << 0 << mala << -1;
}

void TstLectorTramas::cortes()
{
    QFETCH(QByteArray, flujo);
    QFETCH(int, trozo);
    QFETCH(QStringList, leidas);
    QFETCH(int, descartados);
    LectorTramas l;
    QList<LectorTramas::Trama> ts;
    const int paso = trozo > 0 ? trozo : int(flujo.size());
    for (qsizetype i = 0; i < flujo.size(); i += paso)
        ts += l.alimentar(QByteArrayView(flujo).sliced(i, qMin<qsizetype>(paso, flujo.size() - i)));
    QCOMPARE(Leidas(ts), leidas);
    if (descartados >= 0)
        QCOMPARE(l.descartados(), qint64(descartados));
}

void TstLectorTramas::azar()
{
    // Random noise without STX around good frames: every frame is found, in
    // order; any byte soup at all never crashes nor yields a frame whose
    // checksum does not hold.
    QRandomGenerator g(20261205);
    LectorTramas l;
    QStringList esperados;
    QList<LectorTramas::Trama> ts;
    QByteArray flujo;
    for (int i = 0; i < 2000; ++i) {
        QByteArray ruido(g.bounded(20), 0);
        for (char& c : ruido)
            c = char(g.bounded(256));
        ruido.replace('\x02', 'x');
        QByteArray cmd(g.bounded(1, 40), 0);
        for (char& c : cmd)
            c = char(g.bounded(4, 256));
        cmd.replace('\x03', 'y');
        flujo += ruido + LectorTramas::Enmarcar(char(g.bounded(32, 71)), cmd);
        esperados << QString::fromLatin1(cmd);
    }
    for (qsizetype i = 0; i < flujo.size();) {
        const qsizetype n = qMin<qsizetype>(g.bounded(1, 64), flujo.size() - i);
        ts += l.alimentar(QByteArrayView(flujo).sliced(i, n));
        i += n;
    }
    QCOMPARE(Leidas(ts), esperados);

    LectorTramas sopa;
    for (int i = 0; i < 200000; ++i) {
        char c = char(g.bounded(256));
        if (g.bounded(8) == 0)
            c = "\x02\x03"[g.bounded(2)];
        for (const auto& t : sopa.alimentar(QByteArrayView(&c, 1))) {
            if (!t.valida)
                continue;
            QCOMPARE(LectorTramas::Enmarcar(t.secuencia, t.comando), t.bruta);
            QVERIFY(!t.comando.contains('\x03'));
        }
    }
}

QTEST_GUILESS_MAIN(TstLectorTramas)
#include "tst_lectortramas.moc"
