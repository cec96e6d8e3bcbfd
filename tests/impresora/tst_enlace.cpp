#include "apoyo/PuertoFalso.h"
#include "apoyo/RelojFalso.h"
#include "impresora/EnlaceImpresora.h"
#include "impresora/Protocolo.h"
#include "impresora/Trama.h"

#include <QTest>

using namespace Protocolo;
using Trozos = QList<PuertoFalso::Trozo>;

namespace
{
// A reply to "8" FS "N" as a printer frames it (first sequence, 32), checksum included.
const QByteArray kMarco = QByteArray(1, STX) + " 8" + FS + "0000" + FS + "0000" + FS + "N" + ETX;
const QByteArray kN = kMarco + Trama::Checksum(kMarco);
const QByteArray kError = EnlaceImpresora::RespuestaError();
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
        QTest::addColumn<int>("extension"); // of the deadline by a DC2
        const auto fila = [](const char* nombre, bool corta, const Trozos& trozos,
                             const QByteArray& esperada, qint64 fin, int extension = 50000) {
            QTest::newRow(nombre) << corta << trozos << esperada << fin << extension;
        };
        const QByteArray r = kN;
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
        fila("silencio corto", true, {}, kError, 5000);
        fila("silencio largo", false, {}, kError, 50000);
        // Fewer than 4 bytes are never read, so a lone DC2 extends nothing.
        fila("dc2 solo no se lee", true, {{1000, dc2(1)}, {6000, r}}, kError, 5000);
        // A piece with DC2 moves even a short deadline 50 s past its arrival.
        fila("dc2 extiende espera corta", true, {{4000, dc2(4)}, {53000, r}}, r, 53000);
        fila("dc2 extiende solo 50 s", true, {{4000, dc2(4)}, {54500, r}}, kError, 54000);
        // A DC2 early in a long wait never brings its deadline forward.
        fila("dc2 no acorta la espera", false, {{1000, dc2(4)}, {30000, r}}, r, 30000, 10000);
        fila("etx sin checksum completo", true, {{100, r.left(etx + 3)}}, kError, 5000);
        // Without an STX there is no reply; it must not pass as a good one.
        fila("sin stx", true, {{100, r.mid(1)}}, kError, 100);
        fila("basura antes del stx", true, {{100, "\x15#?" + r}}, r, 100);
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
        fila("dc2 sin fin", false, siempre, kError, 300000);
        // Bytes that never end a reply: given up past 4 KB, at once.
        fila("sin etx sin fin", false, {{100, QByteArray(1, STX) + QByteArray(5000, 'x')}}, kError,
             100);
    }
    void lectura()
    {
        QFETCH(bool, corta);
        QFETCH(Trozos, trozos);
        QFETCH(QByteArray, esperada);
        QFETCH(qint64, fin);
        QFETCH(int, extension);
        Banco b;
        b.enlace.tiempos.extensionDc2Ms = extension;
        // Bytes waiting before the frame goes out are thrown away.
        b.puerto.PonerRestos(QByteArray(1, STX) + "viejo" + ETX + "0000");
        b.puerto.Programar(trozos);
        b.enlace.EsperaCorta = corta;
        b.Enviar(QByteArray("8") + FS + "N");

        QCOMPARE(b.enlace.Respuesta, esperada);
        using E = EnlaceImpresora::Entrega;
        QCOMPARE(b.enlace.UltimaEntrega, esperada == kError ? E::SinRespuesta
                                         : esperada == kN   ? E::Buena
                                                            : E::Danada);
        QCOMPARE(b.reloj.AhoraMs(), fin);
        // The framed command goes out with its checksum; Comando keeps it without.
        QCOMPARE(b.enlace.Comando, QByteArray(1, STX) + " 8" + FS + "N" + ETX);
        QCOMPARE(b.puerto.Escrito(), b.enlace.Comando + "00C7");
        QCOMPARE(b.puerto.Aperturas(), 1);
        QCOMPARE(b.puerto.Cierres(), 1);
    }

    // The operator hears of a port that does not open, or of a printer that
    // does not answer, only during the first activation.
    void aviso()
    {
        Banco b;
        QStringList avisos;
        b.enlace.AvisoOperador = [&](const QString& t) { avisos << t; };
        b.Enviar(); // silent while running
        b.enlace.PrimeraActivacion = true;
        b.puerto.Programar({{10, kN}});
        b.Enviar(); // answers
        QVERIFY(avisos.isEmpty());
        b.Enviar(); // silent
        b.puerto.FallarApertura("No such file or directory");
        const qint64 antes = b.reloj.AhoraMs();
        b.Enviar(); // the port does not open: told at once, no 50 s wait
        QCOMPARE(b.reloj.AhoraMs(), antes);
        QCOMPARE(avisos, QStringList(2, "Error de Comunicación"));
        QCOMPARE(b.enlace.Secuencia, qint16(35)); // each frame its own, answered or not
    }

    // After a stop nothing more goes to the printer, not even the port's opening.
    void cancelarNoEscribe()
    {
        Banco b;
        std::atomic<bool> cancelar{true};
        b.enlace.cancelar = &cancelar;
        b.puerto.Programar({{10, kN}});
        b.Enviar();
        QCOMPARE(b.enlace.Respuesta, kError);
        QCOMPARE(b.enlace.UltimaEntrega, EnlaceImpresora::Entrega::NoEscrita);
        QCOMPARE(b.puerto.Aperturas(), 0);
        QVERIFY(b.puerto.Escrito().isEmpty());
        b.enlace.DelayMili(500);
        QVERIFY(b.reloj.AhoraMs() <= 100);
    }

    void delayMili()
    {
        // Hundredths of a second.
        Banco b;
        b.enlace.DelayMili(100);
        b.enlace.DelayMili(5);
        QCOMPARE(b.reloj.AhoraMs(), qint64(1050));
    }
};

QTEST_GUILESS_MAIN(TstEnlace)
#include "tst_enlace.moc"
