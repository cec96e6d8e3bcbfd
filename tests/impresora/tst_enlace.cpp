#include "impresora/EnlaceImpresora.h"
#include "impresora/Protocolo.h"
#include "apoyo/PuertoFalso.h"
#include "apoyo/RelojFalso.h"
#include "impresora/Trama.h"

#include <QTest>

using namespace Protocolo;
using Trozos = QList<PuertoFalso::Trozo>;

namespace
{
// A reply to "8" FS "N" as a printer frames it (first sequence, 32), checksum included.
const QByteArray kMarco = QByteArray(1, STX) + " 8" + FS + "0000" + FS + "0000" + FS + "N" + ETX;
const QByteArray kN = kMarco + Trama::Checksum(kMarco);
QByteArray dc2(int n)
{
    return QByteArray(n, DC2);
}

// The link on a scripted port and a fake clock.
struct Banco {
    RelojFalso reloj;
    PuertoFalso puerto{reloj};
    EnlaceImpresora enlace{puerto, reloj};
    void Enviar(const QByteArray& comando = "K")
    {
        enlace.Comando = comando;
        enlace.EnviarComando();
    }
};
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
        QTest::addColumn<int>("entrega");

        using E = EnlaceImpresora::Entrega;
        const auto fila = [](const char* nombre, bool corta, const Trozos& trozos,
                             const QByteArray& esperada, qint64 fin) {
            const E e = esperada == EnlaceImpresora::RespuestaError() ? E::SinRespuesta
                        : esperada == kN                              ? E::Buena
                                                                      : E::Danada;
            QTest::newRow(nombre) << corta << trozos << esperada << fin << int(e);
        };
        const QByteArray r = kN;
        const QByteArray error = EnlaceImpresora::RespuestaError();
        const qsizetype etx = r.indexOf(ETX);
        fila("una pieza", true, {{120, r}}, r, 120);
        // ETX and checksum split: complete when the 4th character arrives.
        fila("etx y checksum partidos", true,
             {{50, r.left(etx)},
              {80, r.mid(etx, 3)},
              {90, r.mid(etx + 3, 1)},
              {700, r.mid(etx + 4)}},
             r, 700);
        fila("sobra tras el checksum", false, {{40, r + "ZZZZ"}}, r, 40);
        fila("silencio corto", true, {}, error, 5000);
        fila("silencio largo", false, {}, error, 50000);
        // Fewer than 4 bytes are never read, so a lone DC2 extends nothing.
        fila("dc2 solo no se lee", true, {{1000, dc2(1)}, {6000, r}}, error, 5000);
        // A piece with DC2 moves even a short deadline 50 s past its arrival.
        fila("dc2 extiende espera corta", true, {{4000, dc2(4)}, {53000, r}}, r, 53000);
        fila("dc2 extiende solo 50 s", true, {{4000, dc2(4)}, {54500, r}}, error, 54000);
        fila("cada dc2 vuelve a extender", false, {{30000, dc2(4)}, {70000, dc2(5)}, {119000, r}},
             r, 119000);
        fila("sin etx", true, {{100, r.left(etx)}}, error, 5000);
        fila("etx sin checksum completo", true, {{100, r.left(etx + 3)}}, error, 5000);
        // Without an STX there is no reply; it must not pass as a good one.
        fila("sin stx", true, {{100, r.mid(1)}}, error, 100);
        // Whole replies that do not belong to the frame: kept, but told apart.
        QByteArray suma = r;
        suma[suma.size() - 1] = suma.back() == '0' ? '1' : '0';
        fila("checksum errado", true, {{100, suma}}, suma, 100);
        QByteArray secuencia = kMarco;
        secuencia[1] = '!';
        secuencia += Trama::Checksum(secuencia);
        fila("otra secuencia", true, {{100, secuencia}}, secuencia, 100);
        // Busy bytes for ever: the exchange ends 300 s after the frame went out.
        Trozos siempre;
        for (qint64 t = 4000; t < 400000; t += 40000)
            siempre.append({t, dc2(4)});
        fila("dc2 sin fin", false, siempre, error, 300000);
        // Bytes that never end a reply: given up past 4 KB, at once.
        fila("sin etx sin fin", false, {{100, QByteArray(1, STX) + QByteArray(5000, 'x')}}, error,
             100);
    }
    void lectura()
    {
        QFETCH(bool, corta);
        QFETCH(Trozos, trozos);
        QFETCH(QByteArray, esperada);
        QFETCH(qint64, fin);
        QFETCH(int, entrega);
        Banco b;
        b.puerto.Programar(trozos);
        b.enlace.EsperaCorta = corta;
        b.Enviar(QByteArray("8") + FS + "N");

        QCOMPARE(b.enlace.Respuesta, esperada);
        QCOMPARE(int(b.enlace.UltimaEntrega), entrega);
        QCOMPARE(b.reloj.AhoraMs(), fin);
        // Framed command without checksum; the port opened and closed once.
        QCOMPARE(b.enlace.Comando, QByteArray(1, STX) + ' ' + "8" + FS + "N" + ETX);
        QCOMPARE(b.puerto.Escrito(), b.enlace.Comando + "00C7");
        QCOMPARE(b.puerto.Aperturas(), 1);
        QCOMPARE(b.puerto.Cierres(), 1);
    }

    void restosDescartados()
    {
        // Bytes waiting before the frame goes out are thrown away.
        Banco b;
        b.puerto.PonerRestos(QByteArray(1, STX) + "viejo" + ETX + "0000");
        b.puerto.Programar({{30, kN}});
        b.Enviar();
        QCOMPARE(b.enlace.Respuesta, kN);
    }

    void secuenciaAvanza()
    {
        Banco b;
        b.enlace.tiempos.esperaLargaMs = 10;
        for (int i = 0; i < 40; ++i)
            b.Enviar();                           // silent: the sequence advances all the same
        QCOMPARE(b.enlace.Secuencia, qint16(32)); // 32..70 is 39 values, the 40th is 32
        QCOMPARE(b.puerto.Aperturas(), 40);
        QCOMPARE(b.puerto.Cierres(), 40);
    }

    // The operator hears of a port that does not open, or of a printer that
    // does not answer, only during the first activation.
    void aviso_data()
    {
        QTest::addColumn<bool>("abre");
        QTest::addColumn<bool>("responde");
        QTest::addColumn<bool>("primera");
        QTest::addColumn<bool>("aviso");
        QTest::newRow("muda, en marcha") << true << false << false << false;
        QTest::newRow("muda, primera activacion") << true << false << true << true;
        QTest::newRow("responde, primera activacion") << true << true << true << false;
        QTest::newRow("no abre, en marcha") << false << false << false << false;
        QTest::newRow("no abre, primera activacion") << false << false << true << true;
    }
    void aviso()
    {
        QFETCH(bool, abre);
        QFETCH(bool, responde);
        QFETCH(bool, primera);
        QFETCH(bool, aviso);
        Banco b;
        if (!abre)
            b.puerto.FallarApertura("No such file or directory");
        if (responde)
            b.puerto.Programar({{10, kN}});
        QStringList avisos;
        b.enlace.AvisoOperador = [&](const QString& t) { avisos << t; };
        b.enlace.PrimeraActivacion = primera;
        b.Enviar();
        QCOMPARE(b.enlace.Respuesta, responde ? kN : EnlaceImpresora::RespuestaError());
        QCOMPARE(avisos, aviso ? QStringList{"Error de Comunicación"} : QStringList{});
        if (!abre)
            QCOMPARE(b.reloj.AhoraMs(), qint64(0)); // at once, no 50 s wait
    }

    // After a stop nothing more goes to the printer, not even the port's opening.
    void cancelarNoEscribe()
    {
        Banco b;
        std::atomic<bool> cancelar{true};
        b.enlace.cancelar = &cancelar;
        b.puerto.Programar({{10, kN}});
        b.Enviar();
        QCOMPARE(b.enlace.Respuesta, EnlaceImpresora::RespuestaError());
        QCOMPARE(b.enlace.UltimaEntrega, EnlaceImpresora::Entrega::NoEscrita);
        QCOMPARE(b.puerto.Aperturas(), 0);
        QVERIFY(b.puerto.Escrito().isEmpty());
        QVERIFY(b.reloj.AhoraMs() <= 100);
        b.enlace.DelayMili(500);
        QVERIFY(b.reloj.AhoraMs() <= 100);
    }

    void delayMili()
    {
        // Hundredths of a second.
        Banco b;
        b.enlace.DelayMili(100);
        QCOMPARE(b.reloj.AhoraMs(), qint64(1000));
        b.enlace.DelayMili(5);
        QCOMPARE(b.reloj.AhoraMs(), qint64(1050));
        b.enlace.DelayMili(0);
        QCOMPARE(b.reloj.AhoraMs(), qint64(1050));
    }
};

QTEST_GUILESS_MAIN(TstEnlace)
#include "tst_enlace.moc"
