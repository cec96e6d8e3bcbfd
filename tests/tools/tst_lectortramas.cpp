#include "LectorTramas.h"
#include "MaquinaFiscal.h"

#include <QTest>

class TstLectorTramas : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    // The frames read from a stream fed in pieces: a good one as its command, a bad one
    // as "?" (it must say why, for the log), never taken as a command.
    void cortes_data()
    {
        QTest::addColumn<QByteArray>("flujo");
        QTest::addColumn<int>("trozo"); // bytes per feed; 0 = all at once
        QTest::addColumn<QStringList>("leidas");
        QTest::addColumn<int>("descartados"); // -1: not checked

        const QByteArray n = LectorTramas::Enmarcar(' ', "8\x1cN"); // its digits are 00C7
        const QByteArray k = LectorTramas::Enmarcar('!', "K");
        const QByteArray x = LectorTramas::Enmarcar('$', "9\x1cX");
        const QStringList mala{"?", "9\x1cX"}; // ... and the next good frame is found
        // The simulator frames and checks with its own code: the program's digits.
        QTest::newRow("digits as the program writes them") << QByteArray("\x02!8\x1cN\x03"
                                                                         "00C8")
                                                           << 0 << QStringList{"8\x1cN"} << 0;
        // Sums past 0xFFFF keep the low 16 bits, still four digits; 70 is the last sequence.
        QTest::newRow("sum wraps, sequence 70")
            << QByteArray("\x02"
                          "F") +
                   QByteArray(300, '\xFF') +
                   "\x03"
                   "2B1F"
            << 0 << QStringList{QString::fromLatin1(QByteArray(300, '\xFF'))} << 0;
        QTest::newRow("byte by byte") << n << 1 << QStringList{"8\x1cN"} << 0;
        QTest::newRow("noise and DC2 before")
            << QByteArray("\x12\x12zz\x03") + n << 2 << QStringList{"8\x1cN"} << 5;
        QTest::newRow("bytes after the digits")
            << n + "xy" + k << 3 << QStringList{"8\x1cN", "K"} << 2;
        // A frame cut short by a new STX is dropped; the new one is read.
        QTest::newRow("restart on STX") << n.left(4) + k << 0 << QStringList{"K"} << 4;
        // Control bytes inside a frame, a DC2 among them, are its command.
        const QByteArray reset = MaquinaFiscal::ComandoReset();
        QTest::newRow("reset command") << LectorTramas::Enmarcar('#', reset) << 5
                                       << QStringList{QString::fromLatin1(reset)} << 0;
        QByteArray suma = n;
        suma[suma.size() - 1] = '8';
        QTest::newRow("wrong checksum") << suma + x << 0 << mala << -1;
        QTest::newRow("lower-case digits")
            << QByteArray(n).replace("00C7", "00c7") + x << 0 << mala << -1;
        QTest::newRow("sequence 31") << LectorTramas::Enmarcar(31, "K") + x << 0 << mala << -1;
        QTest::newRow("sequence 71") << LectorTramas::Enmarcar(71, "K") + x << 0 << mala << -1;
        QTest::newRow("STX among the digits") << n.left(n.size() - 2) + x << 0 << mala << -1;
        QTest::newRow("too long") << "\x02 " + QByteArray(LectorTramas::kMaximo + 10, 'A') + x << 0
                                  << mala << -1;
    }

    void cortes()
    {
        QFETCH(QByteArray, flujo);
        QFETCH(int, trozo);
        QFETCH(int, descartados);
        LectorTramas l;
        QStringList leidas;
        const int paso = trozo > 0 ? trozo : int(flujo.size());
        for (qsizetype i = 0; i < flujo.size(); i += paso)
            for (const auto& t : l.alimentar(
                     QByteArrayView(flujo).sliced(i, qMin<qsizetype>(paso, flujo.size() - i))))
                leidas << (t.valida             ? QString::fromLatin1(t.comando)
                           : t.motivo.isEmpty() ? "? sin motivo"
                                                : "?");
        QTEST(leidas, "leidas");
        if (descartados >= 0)
            QCOMPARE(l.descartados(), qint64(descartados));
    }
};

QTEST_GUILESS_MAIN(TstLectorTramas)
#include "tst_lectortramas.moc"
