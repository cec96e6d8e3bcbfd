#include "comun/Conversiones.h"
#include "comun/Texto.h"

#include <QLocale>
#include <QTest>

#include <clocale>
#include <limits>

namespace
{
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
using Funcion = QString (*)(const QString&);
QString RellenoA4(const QString& s)
{
    return Conversiones::RellenoCeros(s, 4);
}
// A database text cut to a printer field of 5 characters, then cleaned: a
// character beyond 16 bits and a separate accent each count as one.
QString CampoDe5(const QString& s)
{
    return Conversiones::LimpioCadena(Texto::Izquierda(Conversiones::TextoDeBase(s), 5));
}
} // namespace
Q_DECLARE_METATYPE(Funcion)

class TstConversiones : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void cleanup()
    {
        QLocale::setDefault(QLocale::c());
        std::setlocale(LC_NUMERIC, "C");
    }

    void Textos_data()
    {
        QTest::addColumn<Funcion>("funcion");
        QTest::addColumn<QString>("entrada");
        QTest::addColumn<QString>("salida");
        const auto fila = [](const char* nombre, Funcion funcion, const QString& entrada,
                             const QString& salida) {
            QTest::newRow(nombre) << funcion << entrada << salida;
        };
        fila("rif empty", &Conversiones::LimpioRif, "", "");
        fila("rif runs of separators", &Conversiones::LimpioRif, "..1,,2", "12");
        fila("empty", &Conversiones::LimpioCadena, "", "");
        fila("accents, tab, tilde", &Conversiones::LimpioCadena, u"  Ñandú\tazul~ "_qs,
             "Nandu azul");
        fila("twelve letters", &Conversiones::LimpioCadena, u"ÑñÁáÉéÍíÓóÚú"_qs, "NnAaEeIiOoUu");
        fila("only control chars", &Conversiones::LimpioCadena, "\x01\t\r\n\x1f\x7f", "");
        fila("above 125", &Conversiones::LimpioCadena, u"aÜbçc°d€e"_qs, "a b c d e");
        fila("33 and 125 kept", &Conversiones::LimpioCadena, "!{|}", "!{|}");
        fila("inner blanks kept", &Conversiones::LimpioCadena, "a  b", "a  b");
        fila("outside the page", &Conversiones::LimpioCadena, u"xĀy"_qs, "x y");
        fila("emoji is one blank", &Conversiones::LimpioCadena, u"a\U0001F600b"_qs, "a b");
        fila("decomposed accents", &Conversiones::LimpioCadena, u"N\u0303andu\u0301"_qs, "Nandu");
        fila("rif dashes", &Conversiones::Decoro_RIF, "J123456789", "J-12345678-9");
        fila("rif short", &Conversiones::Decoro_RIF, "J1234", "J-1234-");
        fila("rif none", &Conversiones::Decoro_RIF, "", "--");
        fila("emoji counts once", &CampoDe5, u"\U0001F600abcdef"_qs, "abcd");
        fila("emoji at the end of the field", &CampoDe5, u"abcd\U0001F600ef"_qs, "abcd");
        fila("accent apart counts once", &CampoDe5, u"Nan\u0303du\u0301z"_qs, "Nandu");
        fila("lone surrogate", &CampoDe5, QString(QChar(0xD800)) + "abcdef", "abcd");
        fila("pad", &RellenoA4, "800", "0800");
        fila("never cut", &RellenoA4, "120000", "120000");
    }

    void Textos()
    {
        QFETCH(Funcion, funcion);
        QFETCH(QString, entrada);
        QTEST(funcion(entrada), "salida");
    }

    void Cifras_data()
    {
        QTest::addColumn<double>("monto");
        QTest::addColumn<QString>("salida");
        QTest::newRow("zero") << 0.0 << "000";
        QTest::newRow("below half a cent") << 0.004 << "000";
        QTest::newRow("tiny") << 1e-20 << "000";
        QTest::newRow("half a cent") << 0.005 << "01";
        QTest::newRow("0.05") << 0.05 << "05";
        QTest::newRow("0.5") << 0.5 << "50";
        QTest::newRow("negative") << -12.5 << "1250";
        QTest::newRow("99.99 keeps its digits") << 99.99 << "9999";
        QTest::newRow("99.995 carries") << 99.995 << "10000";
        QTest::newRow("99.999 carries") << 99.999 << "10000";
        QTest::newRow("tie 1.005") << 1.005 << "101";
        QTest::newRow("tie 2.675") << 2.675 << "268";
        QTest::newRow("tie 1.115") << 1.115 << "112";
        QTest::newRow("tie 0.125") << 0.125 << "13";
        QTest::newRow("negative tie") << -1.005 << "101";
        QTest::newRow("just below a tie") << 1.00499999999999 << "100";
        QTest::newRow("binary sum 0.1+0.2") << 0.1 + 0.2 << "30";
        QTest::newRow("large tie") << 123456789012.345 << "12345678901235";
        QTest::newRow("largest in range") << 999999999999999.0 << "99999999999999900";
        QTest::newRow("10^15 refused") << -1e15 << "";
        QTest::newRow("rounds to 10^15") << 999999999999999.9 << "";
        QTest::newRow("NaN") << kNaN << "";
    }

    void Cifras()
    {
        QFETCH(double, monto);
        QTEST(Conversiones::Cifras(monto), "salida");
    }

    void Campos_data()
    {
        QTest::addColumn<double>("cantidad");
        QTest::addColumn<double>("precio");
        QTest::addColumn<double>("tasa");
        QTest::addColumn<bool>("exento");
        QTest::addColumn<QString>("campos");
        QTest::newRow("one at 12 %") << 1.0 << 1234.5 << 0.12 << false << "1000 123450 1200";
        QTest::newRow("decimals, 8 %") << 2.5 << 10.0 << 0.08 << false << "2500 1000 0800";
        QTest::newRow("exempt") << 1.5 << 0.0 << 0.12 << true << "1500 000 0000";
        QTest::newRow("binary noise") << 3.0 << 0.5 << 0.07 << false << "3000 50 0700";
        QTest::newRow("quantity tie") << 1.0005 << 2.675 << 0.16 << false << "1001 268 1600";
        QTest::newRow("unprintable") << 1e14 << kNaN << kNaN << false << "  ";
    }

    void Campos()
    {
        QFETCH(double, cantidad);
        QFETCH(double, precio);
        QFETCH(double, tasa);
        QFETCH(bool, exento);
        QTEST(Conversiones::CampoCantidad(cantidad) + u' ' + Conversiones::CampoPrecio(precio) +
                  u' ' + Conversiones::CampoTasa(tasa, exento),
              "campos");
    }

    // Also covers the shared number form that SQL values and messages use.
    void SinLocale_data()
    {
        QTest::addColumn<QString>("local");
        QTest::addColumn<bool>("numericoC");
        QTest::newRow("German default") << "de_DE" << false;
        QTest::newRow("Spanish default") << "es_VE" << false;
        QTest::newRow("German default and LC_NUMERIC") << "de_DE" << true;
    }

    void SinLocale()
    {
        QFETCH(QString, local);
        QFETCH(bool, numericoC);
        QLocale::setDefault(QLocale(local));
        if (numericoC && !std::setlocale(LC_NUMERIC, "de_DE.UTF-8") &&
            !std::setlocale(LC_NUMERIC, "de_DE"))
            QSKIP("no de_DE C locale on this machine");
        QCOMPARE(Conversiones::Cifras(1234.5), u"123450"_qs);
        QCOMPARE(Conversiones::Cifras(1.005), u"101"_qs);
        QCOMPARE(Conversiones::CampoTasa(0.12, false), u"1200"_qs);
        QCOMPARE(Texto::NumeroConSigno(4711) + Texto::NumeroConSigno(2.2) +
                     Texto::NumeroConSigno(0.5) + Texto::NumeroConSigno(-3),
                 u" 4711 2.2 .5-3"_qs);
    }
};

QTEST_GUILESS_MAIN(TstConversiones)
#include "tst_conversiones.moc"
