#include "EnlaceImpresora.h"
#include "Protocolo.h"
#include "PuertoFalso.h"
#include "RelojFalso.h"

#include <QTest>

using namespace Protocolo;
using Trozos = QList<PuertoFalso::Trozo>;

namespace
{
// A reply to "8" FS "N" as a printer frames it, checksum included.
QByteArray respuestaN()
{
    return QByteArray(1, STX) + " 8" + FS + "0000" + FS + "0000" + FS + "N" + ETX + "0ABC";
}
QByteArray dc2(int n)
{
    return QByteArray(n, DC2);
}
} // namespace

class TstEnlace : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void lectura_data()
    {
        QTest::addColumn<bool>("corta");
        QTest::addColumn<Trozos>("trozos");
        QTest::addColumn<QByteArray>("esperada");
        QTest::addColumn<qint64>("fin"); // fake time when the exchange ends

        const QByteArray r = respuestaN();
        const QByteArray error = EnlaceImpresora::RespuestaError();
        QTest::newRow("una pieza") << true << Trozos{{120, r}} << r << qint64(120);
        // ETX and checksum split: complete when the 4th character arrives.
        const qsizetype etx = r.indexOf(ETX);
        QTest::newRow("etx y checksum partidos") << true
                                                 << Trozos{{50, r.left(etx)},
                                                           {80, r.mid(etx, 3)},
                                                           {90, r.mid(etx + 3, 1)},
                                                           {700, r.mid(etx + 4)}}
                                                 << r << qint64(700);
        QTest::newRow("basura antes del STX")
            << false << Trozos{{40, "\x12\x12xx#" + r}} << r << qint64(40);
        QTest::newRow("sobra tras el checksum")
            << false << Trozos{{40, r + "ZZZZ"}} << r << qint64(40);
        QTest::newRow("silencio corto") << true << Trozos{} << error << qint64(5000);
        QTest::newRow("silencio largo") << false << Trozos{} << error << qint64(50000);
        // Fewer than 4 bytes are never read, so a lone DC2 extends nothing.
        QTest::newRow("dc2 solo no se lee")
            << true << Trozos{{1000, dc2(1)}, {6000, r}} << error << qint64(5000);
        // A piece with DC2 moves even a short deadline 50 s past its arrival.
        QTest::newRow("dc2 extiende espera corta")
            << true << Trozos{{4000, dc2(4)}, {53000, r}} << r << qint64(53000);
        QTest::newRow("dc2 extiende solo 50 s")
            << true << Trozos{{4000, dc2(4)}, {54500, r}} << error << qint64(54000);
        QTest::newRow("cada dc2 vuelve a extender")
            << false << Trozos{{30000, dc2(4)}, {70000, dc2(5)}, {119000, r}} << r
            << qint64(119000);
        QTest::newRow("sin etx") << true << Trozos{{100, r.left(etx)}} << error << qint64(5000);
        QTest::newRow("etx sin checksum completo")
            << true << Trozos{{100, r.left(etx + 3)}} << error << qint64(5000);
        // Without an STX there is no reply; it must not pass as a good one.
        QTest::newRow("sin stx") << true << Trozos{{100, r.mid(1)}} << error << qint64(100);
    }
    void lectura()
    {
        QFETCH(bool, corta);
        QFETCH(Trozos, trozos);
        QFETCH(QByteArray, esperada);
        QFETCH(qint64, fin);

        RelojFalso reloj;
        PuertoFalso puerto(reloj);
        EnlaceImpresora enlace(puerto, reloj);
        puerto.Programar(trozos);
        enlace.Comando = QByteArray("8") + FS + "N";
        enlace.EsperaCorta = corta;
        enlace.EnviarComando();

        QCOMPARE(enlace.Respuesta, esperada);
        QCOMPARE(reloj.AhoraMs(), fin);
        // Framed command without checksum; the port opened and closed once.
        QCOMPARE(enlace.Comando, QByteArray(1, STX) + ' ' + "8" + FS + "N" + ETX);
        QCOMPARE(puerto.Escrito(), enlace.Comando + "00C7");
        QCOMPARE(puerto.Aperturas(), 1);
        QCOMPARE(puerto.Cierres(), 1);
    }

    void restosDescartados()
    {
        // Bytes waiting before the frame goes out are thrown away.
        RelojFalso reloj;
        PuertoFalso puerto(reloj);
        EnlaceImpresora enlace(puerto, reloj);
        puerto.PonerRestos(QByteArray(1, STX) + "viejo" + ETX + "0000");
        puerto.Programar({{30, respuestaN()}});
        enlace.Comando = "K";
        enlace.EnviarComando();
        QCOMPARE(enlace.Respuesta, respuestaN());
    }

    void secuenciaAvanza()
    {
        RelojFalso reloj;
        PuertoFalso puerto(reloj);
        EnlaceImpresora enlace(puerto, reloj);
        enlace.tiempos.esperaLargaMs = 10;
        for (int i = 0; i < 40; ++i) {
            enlace.Comando = "K";
            enlace.EnviarComando(); // silent: the sequence advances all the same
        }
        QCOMPARE(enlace.Secuencia, qint16(32)); // 32..70 is 39 values, the 40th is 32
        QCOMPARE(puerto.Aperturas(), 40);
        QCOMPARE(puerto.Cierres(), 40);
    }

    void puertoQueNoAbre_data()
    {
        QTest::addColumn<bool>("primera");
        QTest::newRow("en marcha") << false;
        QTest::newRow("primera activacion") << true;
    }
    void puertoQueNoAbre()
    {
        QFETCH(bool, primera);
        RelojFalso reloj;
        PuertoFalso puerto(reloj);
        puerto.FallarApertura("No such file or directory");
        EnlaceImpresora enlace(puerto, reloj);
        QStringList avisos;
        enlace.AvisoOperador = [&](const QString& t) { avisos << t; };
        enlace.PrimeraActivacion = primera;
        enlace.Comando = "K";
        enlace.EnviarComando();
        QCOMPARE(enlace.Respuesta, EnlaceImpresora::RespuestaError());
        QCOMPARE(reloj.AhoraMs(), qint64(0)); // at once, no 50 s wait
        QCOMPARE(avisos, primera ? QStringList{"Error de Comunicación"} : QStringList{});
    }

    void avisoSoloEnPrimeraActivacion()
    {
        RelojFalso reloj;
        PuertoFalso puerto(reloj);
        EnlaceImpresora enlace(puerto, reloj);
        int avisos = 0;
        enlace.AvisoOperador = [&](const QString&) { ++avisos; };
        enlace.Comando = "K";
        enlace.EnviarComando();
        QCOMPARE(avisos, 0);
        enlace.PrimeraActivacion = true;
        enlace.EnviarComando();
        QCOMPARE(avisos, 1);
        puerto.Programar({{10, respuestaN()}});
        enlace.EnviarComando();
        QCOMPARE(avisos, 1);
    }

    void cancelarCortaLaEspera()
    {
        RelojFalso reloj;
        PuertoFalso puerto(reloj);
        EnlaceImpresora enlace(puerto, reloj);
        std::atomic<bool> cancelar{true};
        enlace.cancelar = &cancelar;
        enlace.Comando = "K";
        enlace.EnviarComando();
        QCOMPARE(enlace.Respuesta, EnlaceImpresora::RespuestaError());
        QVERIFY(reloj.AhoraMs() <= 100);
        enlace.DelayMili(500);
        QVERIFY(reloj.AhoraMs() <= 100);
    }

    void delayMili_data()
    {
        QTest::addColumn<int>("n");
        QTest::addColumn<qint64>("ms");
        QTest::newRow("un segundo") << 100 << qint64(1000);
        QTest::newRow("medio") << 50 << qint64(500);
        QTest::newRow("cincuenta ms") << 5 << qint64(50);
        QTest::newRow("cero") << 0 << qint64(0);
    }
    void delayMili()
    {
        QFETCH(int, n);
        QFETCH(qint64, ms);
        RelojFalso reloj;
        PuertoFalso puerto(reloj);
        EnlaceImpresora enlace(puerto, reloj);
        enlace.DelayMili(n);
        QCOMPARE(reloj.AhoraMs(), ms);
    }
};

QTEST_GUILESS_MAIN(TstEnlace)
#include "tst_enlace.moc"
