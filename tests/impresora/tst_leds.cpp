#include "impresora/EnlaceImpresora.h"
#include "impresora/LectorRespuesta.h"
#include "impresora/Leds.h"
#include "impresora/Protocolo.h"

#include <QTest>

using namespace Protocolo;

namespace
{
// Lamps as letters in ColorLed order (g grey, v green, r red, n orange), EF row
// then EI row.
QString letras(const Leds::Panel& p)
{
    QString s;
    for (int i = 0; i < 32; ++i)
        s += QString(i == 16 ? " " : "") + QLatin1Char("gvrn"[int(p[i])]);
    return s;
}
// A reply laid out as the printer sends "8" FS "N": invoice at 48-55, the Z
// number in the 4 characters before the ETX.
QByteArray RespuestaN(const QByteArray& factura, const QByteArray& s1 = "0000")
{
    return QByteArray(1, STX) + " 8" + FS + s1 + FS + "0000" + FS + "261206" + FS + "101500" + FS +
           "00000007" + FS + "000000003" + FS + factura + FS + "00000009" + FS + "0042" + ETX +
           "1A2B";
}
} // namespace

class TstLeds : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    // The status words as lamps; a failed exchange leaves the fiscal row dark and the
    // printer row as offline.
    void colores_data()
    {
        QTest::addColumn<QByteArray>("respuesta");
        QTest::addColumn<QString>("lamparas");
        const auto fila = [](const char* nombre, const QByteArray& respuesta,
                             const char* lamparas) {
            QTest::newRow(nombre) << respuesta << lamparas;
        };
        // Eight characters or fewer: the status words alone.
        //                                  EF 0123456789012345  EI 0123456789012345
        fila("0000/0000", "00000000", "vvgvvvvvvggvvvgv ggvvggggggggggvv");
        fila("todo uno", "FFFFFFFF", "rrgrrrrrnggrrrgr ggnnggggggggggrr");
        fila("c000 minuscula", "c0000000", "rrgvvvvvvggvvvgv ggvvggggggggggvv");
        fila("0003", "00000003", "vvgvvvvvvggvvvgv ggvvggggggggggrr");
        // Missing or non-hex digits count as 0.
        fila("corto", "8", "rvgvvvvvvggvvvgv ggvvggggggggggvv");
        fila("no hex", "ZZZZ0003", "vvgvvvvvvggvvvgv ggvvggggggggggrr");
        // Whole replies: "ERROR" in any case makes one fail; status bits alone never do.
        fila("sintetica", EnlaceImpresora::RespuestaError(), "gggggggggggggggg ggnnggggggggggvv");
        fila("error mezclado", "..ErRoR...", "gggggggggggggggg ggnnggggggggggvv");
        fila("casi error", "..ERRO R..", "vvgvvvvvvggvvvgv ggvvggggggggggvv");
        fila("bits de error", RespuestaN("00000001", "FFFF"), "rrgrrrrrnggrrrgr ggvvggggggggggvv");
        fila("bit 12", RespuestaN("00000001", "0008"), "vvgvvvvvvggvrvgv ggvvggggggggggvv");
    }
    void colores()
    {
        QFETCH(QByteArray, respuesta);
        const bool palabras = respuesta.size() <= 8;
        QTEST(letras(palabras ? Leds::PongoLeds(respuesta) : Leds::ActualizoLeds(respuesta)),
              "lamparas");
    }

    void campos()
    {
        const QByteArray n = RespuestaN("00000123");
        QCOMPARE(LectorRespuesta::UltimaFactura(n), QString("00000123"));
        QCOMPARE(LectorRespuesta::AntesDeEtx(n), QString("0042"));
        QVERIFY(!LectorRespuesta::NumeroOcupado(n));
        QVERIFY(LectorRespuesta::NumeroOcupado(RespuestaN("NNNNNNNN")));
        QVERIFY(LectorRespuesta::NumeroOcupado(RespuestaN("0000n000")));

        // "8" FS "T": state code at 18-19, trimmed.
        QByteArray t =
            QByteArray(1, STX) + " 8" + FS + "0080" + FS + "0000" + FS + "00" + FS + " 4" + FS;
        t += QByteArray("00000123") + FS + "00000007" + FS + "0123" + ETX + "0F0F";
        QCOMPARE(LectorRespuesta::CodigoEstado(t), QString("4"));

        // Short replies give short or empty fields, never a crash.
        QCOMPARE(LectorRespuesta::UltimaFactura(EnlaceImpresora::RespuestaError()), QString());
        QVERIFY(!LectorRespuesta::NumeroOcupado(EnlaceImpresora::RespuestaError()));
        QCOMPARE(LectorRespuesta::CodigoEstado(QByteArray("abc")), QString());
        QCOMPARE(LectorRespuesta::AntesDeEtx(QByteArray("ab")), QString("ab"));

        QByteArray y = QByteArray(1, STX) + " Y" + FS + "0000" + FS + "0000" + FS + "240301" + FS +
                       "0915" + ETX;
        QCOMPARE(LectorRespuesta::FechaAaMmDd(y), QString("240301"));
        QByteArray reg =
            QByteArray(1, STX) + " \x80" + FS + "0000" + FS + "0000" + FS + "SIM0000001" + ETX;
        QCOMPARE(LectorRespuesta::Registro(reg), QString("SIM0000001"));
    }
};

QTEST_GUILESS_MAIN(TstLeds)
#include "tst_leds.moc"
