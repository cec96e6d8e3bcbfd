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
QByteArray respuesta(const QByteArray& s1, const QByteArray& s2)
{
    return QByteArray(1, STX) + " 8" + FS + s1 + FS + s2 + FS + ETX + "0000";
}
} // namespace

class TstLeds : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void colores_data()
    {
        QTest::addColumn<QByteArray>("estado");
        QTest::addColumn<QString>("lamparas");
        //                                           EF 0123456789012345  EI 0123456789012345
        QTest::newRow("0000/0000") << QByteArray("00000000") << "vvgvvvvvvggvvvgv ggvvggggggggggvv";
        QTest::newRow("8000") << QByteArray("80000000") << "rvgvvvvvvggvvvgv ggvvggggggggggvv";
        QTest::newRow("0080") << QByteArray("00800000") << "vvgvvvvvnggvvvgv ggvvggggggggggvv";
        QTest::newRow("3000") << QByteArray("00003000") << "vvgvvvvvvggvvvgv ggnnggggggggggvv";
        QTest::newRow("0003") << QByteArray("00000003") << "vvgvvvvvvggvvvgv ggvvggggggggggrr";
        QTest::newRow("C000") << QByteArray("C0000000") << "rrgvvvvvvggvvvgv ggvvggggggggggvv";
        QTest::newRow("c000 minuscula")
            << QByteArray("c0000000") << "rrgvvvvvvggvvvgv ggvvggggggggggvv";
        QTest::newRow("todo uno") << QByteArray("FFFFFFFF") << "rrgrrrrrnggrrrgr ggnnggggggggggrr";
        // Missing or non-hex digits count as 0.
        QTest::newRow("corto") << QByteArray("8") << "rvgvvvvvvggvvvgv ggvvggggggggggvv";
        QTest::newRow("no hex") << QByteArray("ZZZZ0003") << "vvgvvvvvvggvvvgv ggvvggggggggggrr";
    }
    void colores()
    {
        QFETCH(QByteArray, estado);
        QFETCH(QString, lamparas);
        QCOMPARE(letras(Leds::PongoLeds(estado)), lamparas);
    }

    void respuestaFallida_data()
    {
        QTest::addColumn<QByteArray>("respuesta");
        QTest::addColumn<QString>("lamparas");
        QTest::newRow("sintetica")
            << EnlaceImpresora::RespuestaError() << "gggggggggggggggg ggnnggggggggggvv";
        QTest::newRow("error en minusculas") << QByteArray(QByteArray(1, STX) + " B" + FS + "8000" +
                                                           FS + "0000" + FS + "error" + ETX)
                                             << "gggggggggggggggg ggnnggggggggggvv";
        QTest::newRow("buena") << respuesta("0008", "0000") << "vvgvvvvvvggvrvgv ggvvggggggggggvv";
    }
    void respuestaFallida()
    {
        QFETCH(QByteArray, respuesta);
        QFETCH(QString, lamparas);
        QCOMPARE(letras(Leds::ActualizoLeds(respuesta)), lamparas);
    }

    void fallo_data()
    {
        QTest::addColumn<QByteArray>("respuesta");
        QTest::addColumn<bool>("falla");
        QTest::newRow("mayusculas") << QByteArray("..ERROR..") << true;
        QTest::newRow("mezcla") << QByteArray("..ErRoR..") << true;
        QTest::newRow("sintetica") << EnlaceImpresora::RespuestaError() << true;
        // Status bits alone never make a reply fail.
        QTest::newRow("bits de error") << respuesta("FFFF", "FFFF") << false;
        QTest::newRow("casi") << QByteArray("ERRO R") << false;
        QTest::newRow("vacia") << QByteArray() << false;
    }
    void fallo()
    {
        QFETCH(QByteArray, respuesta);
        QFETCH(bool, falla);
        QCOMPARE(LectorRespuesta::Fallo(respuesta), falla);
    }

    void cadenaHex()
    {
        QCOMPARE(Leds::ObtenerCadenaHex(1), QString("0000"));
        QCOMPARE(Leds::ObtenerCadenaHex(2), QString("0001"));
        QCOMPARE(Leds::ObtenerCadenaHex(11), QString("1010"));
        QCOMPARE(Leds::ObtenerCadenaHex(16), QString("1111"));
    }

    void campos()
    {
        // A reply laid out as the printer sends "8" FS "N": invoice at 48-55,
        // the Z number in the 4 characters before the ETX.
        QByteArray n = QByteArray(1, STX) + " 8" + FS + "0000" + FS + "0000" + FS;
        n += QByteArray("261206") + FS + "101500" + FS + "00000007" + FS + "000000003" + FS;
        QCOMPARE(n.size(), 47);
        n += QByteArray("00000123") + FS + "00000009" + FS + "0042" + ETX + "1A2B";
        QCOMPARE(LectorRespuesta::UltimaFactura(n), QString("00000123"));
        QCOMPARE(LectorRespuesta::AntesDeEtx(n), QString("0042"));
        QVERIFY(!LectorRespuesta::NumeroOcupado(n));
        QByteArray ocupada = n;
        ocupada.replace(47, 8, "NNNNNNNN");
        QVERIFY(LectorRespuesta::NumeroOcupado(ocupada));
        ocupada.replace(47, 8, "0000n000");
        QVERIFY(LectorRespuesta::NumeroOcupado(ocupada));
        QCOMPARE(LectorRespuesta::PalabrasEstado(n), QByteArray("00000000"));

        // "8" FS "T": state code at 18-19, trimmed.
        QByteArray t =
            QByteArray(1, STX) + " 8" + FS + "0080" + FS + "0000" + FS + "00" + FS + "04" + FS;
        t += QByteArray("00000123") + FS + "00000007" + FS + "0123" + ETX + "0F0F";
        QCOMPARE(LectorRespuesta::CodigoEstado(t), QString("04"));
        QCOMPARE(LectorRespuesta::AntesDeEtx(t), QString("0123"));
        QCOMPARE(LectorRespuesta::PalabrasEstado(t), QByteArray("00800000"));

        // Short replies give short or empty fields, never a crash.
        const QByteArray e = EnlaceImpresora::RespuestaError();
        QCOMPARE(LectorRespuesta::UltimaFactura(e), QString());
        QVERIFY(!LectorRespuesta::NumeroOcupado(e));
        QCOMPARE(LectorRespuesta::CodigoEstado(QByteArray("abc")), QString());
        QCOMPARE(LectorRespuesta::AntesDeEtx(QByteArray("ab")), QString("ab"));
        QCOMPARE(LectorRespuesta::AntesDeEtx(QByteArray()), QString());

        QByteArray y = QByteArray(1, STX) + " Y" + FS + "0000" + FS + "0000" + FS + "240301" + FS +
                       "0915" + ETX;
        QCOMPARE(LectorRespuesta::FechaAaMmDd(y), QString("240301"));
        QByteArray reg =
            QByteArray(1, STX) + " \x80" + FS + "0000" + FS + "0000" + FS + "SIM0000001" + ETX;
        QCOMPARE(LectorRespuesta::Registro(reg), QString("SIM0000001"));
    }

    void tooltips()
    {
        QCOMPARE(Leds::Tooltip(FilaLed::EF, 12),
                 QString("Verificación de documento fiscal abierto"));
        QCOMPARE(Leds::Tooltip(FilaLed::EI, 14),
                 QString("Verificación de disponibilidad de papel de impresón"));
        QCOMPARE(Leds::Tooltip(FilaLed::EI, 0), QString("No utilizado"));
    }
};

QTEST_GUILESS_MAIN(TstLeds)
#include "tst_leds.moc"
