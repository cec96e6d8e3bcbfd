#include "comun/Conversiones.h"
#include "comun/Texto.h"

#include <QLocale>
#include <QTest>

#include <limits>

namespace
{
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
using Funcion = QString (*)(const QString&);
using Numero = QString (*)(double);
} // namespace
Q_DECLARE_METATYPE(Funcion)
Q_DECLARE_METATYPE(Numero)

class TstConversiones : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    // Every row runs under a default locale whose decimal separator is a comma: the
    // printer fields, SQL values and messages must not follow it.
    void initTestCase() { QLocale::setDefault(QLocale(QStringLiteral("de_DE"))); }

    void Textos_data()
    {
        QTest::addColumn<Funcion>("funcion");
        QTest::addColumn<QString>("entrada");
        QTest::addColumn<QString>("salida");
        const auto fila = [](const char* nombre, Funcion funcion, const QString& entrada,
                             const QString& salida) {
            QTest::newRow(nombre) << funcion << entrada << salida;
        };
        // A database text cut to a printer field of 5 characters, then cleaned: a
        // character beyond 16 bits and a separate accent each count as one.
        const Funcion campoDe5 = [](const QString& s) {
            return Conversiones::LimpioCadena(Texto::Izquierda(Conversiones::TextoDeBase(s), 5));
        };
        // The number a text starts with, written back in the program's number form.
        const Funcion valor = [](const QString& s) {
            return Texto::NumeroSinSigno(Texto::ValorInicial(s));
        };
        const Funcion conSigno = [](const QString& s) {
            return Texto::NumeroConSigno(Texto::ValorInicial(s));
        };
        fila("rif runs of separators", &Conversiones::LimpioRif, "..1,,2", "12");
        fila("accents, tab, tilde", &Conversiones::LimpioCadena, u"  Ñandú\tazul~ "_qs,
             "Nandu azul");
        fila("above 125", &Conversiones::LimpioCadena, u"aÜbçc°d€e"_qs, "a b c d e");
        fila("33 and 125 kept, inner blanks", &Conversiones::LimpioCadena, "!{  }", "!{  }");
        fila("emoji is one blank", &Conversiones::LimpioCadena, u"a\U0001F600b"_qs, "a b");
        fila("decomposed accents", &Conversiones::LimpioCadena, u"N\u0303andu\u0301"_qs, "Nandu");
        fila("rif dashes", &Conversiones::Decoro_RIF, "J123456789", "J-12345678-9");
        fila("emoji at the end of the field", campoDe5, u"abcd\U0001F600ef"_qs, "abcd");
        fila("accent apart counts once", campoDe5, u"Nan\u0303du\u0301z"_qs, "Nandu");
        fila("lone surrogate", campoDe5, QString(QChar(0xD800)) + "abcdef", "abcd");
        fila("leading number", valor, " \t125abc", "125");
        fila("signed decimal", valor, "-1.5x", "-1.5");
        fila("no number", valor, "+.x", "0");
        fila("exponent", valor, "2e3x", "2000");
        fila("e without digits", valor, "12e", "12");
        fila("e and sign without digits", valor, "3E+x", "3");
        fila("too large", valor, "1e999", "0");
        fila("large in E form", valor, "1e20", "1E+20");
        fila("sign blank", conSigno, "4711", " 4711");
        fila("negative without blank", conSigno, "-3", "-3");
        fila("below one without its zero", conSigno, "0.5", " .5");
    }

    void Textos()
    {
        QFETCH(Funcion, funcion);
        QFETCH(QString, entrada);
        QTEST(funcion(entrada), "salida");
    }

    // Amounts in hundredths, half away from zero on the decimal digits a person
    // wrote.
    void Cifras_data()
    {
        QTest::addColumn<Numero>("funcion");
        QTest::addColumn<double>("monto");
        QTest::addColumn<QString>("salida");
        const auto fila = [](const char* nombre, Numero funcion, double monto, const char* salida) {
            QTest::newRow(nombre) << funcion << monto << QString::fromLatin1(salida);
        };
        const Numero cifras = &Conversiones::Cifras;
        const Numero tasa = [](double t) { return Conversiones::CampoTasa(t, false); };
        fila("zero", cifras, 0.0, "000");
        fila("below half a cent", cifras, 0.004, "000");
        fila("tiny", cifras, 1e-20, "000");
        fila("half a cent", cifras, 0.005, "01");
        fila("99.995 carries", cifras, 99.995, "10000");
        fila("tie 1.005", cifras, 1.005, "101");
        fila("tie 2.675", cifras, 2.675, "268");
        fila("negative tie", cifras, -1.005, "101");
        fila("just below a tie", cifras, 1.00499999999999, "100");
        fila("large tie", cifras, 123456789012.345, "12345678901235");
        fila("largest in range", cifras, 999999999999999.0, "99999999999999900");
        fila("10^15 refused", cifras, -1e15, "");
        fila("rounds to 10^15", cifras, 999999999999999.9, "");
        fila("NaN", cifras, kNaN, "");
        fila("quantity tie", &Conversiones::CampoCantidad, 1.0005, "1001");
        fila("rate with binary noise", tasa, 0.07, "0700");
        // An unprintable rate stays empty: padded it would read as exempt.
        fila("rate unprintable", tasa, kNaN, "");
        fila(
            "exempt", [](double t) { return Conversiones::CampoTasa(t, true); }, 0.12, "0000");
    }

    void Cifras()
    {
        QFETCH(Numero, funcion);
        QFETCH(double, monto);
        QTEST(funcion(monto), "salida");
    }
};

QTEST_GUILESS_MAIN(TstConversiones)
#include "tst_conversiones.moc"
