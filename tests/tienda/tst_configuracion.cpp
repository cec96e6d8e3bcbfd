// Vendrix.inf as read by position, its twelfth line (a shop database on a
// server), and the quantity mode of the shop's settings.
#include "tienda/AjustesTienda.h"
#include "tienda/Configuracion.h"

#include <QDebug>
#include <QTest>

namespace
{
// Every setting on one line, so a row states the whole outcome at once. BD is
// the server of the twelfth line, empty for the SQLite file.
QString Resumen(const Configuracion& c)
{
    QString r;
    QDebug(&r).noquote().nospace()
        << "Datos=" << c.RutaDatos << "|Base=" << c.RutaBaseDatos << "|Impresora=" << c.Impresora
        << "|Puerto=" << c.Puerto << "|CodProd=" << int(c.CodProd) << "|Serial=" << c.Serial
        << "|80=" << int(c.Columnas80) << "|Dir=" << int(c.Direccion) << "|Caja=" << c.NumeroCaja
        << "|Entrega=" << int(c.EntregaOrden) << "|Medio=" << int(c.MedioPago)
        << "|Adic=" << int(c.CampoTextoAdic01) << "|BD=";
    if (const auto s = c.Servidor)
        QDebug(&r).noquote().nospace()
            << s->Servidor << ',' << s->Puerto << ',' << s->Base << ',' << s->Usuario;
    return r;
}

// The eleven rows of a complete file, and what they read as.
const QByteArrayList kLineas =
    QByteArray("Datos:C:\\Tienda\\Datos\\|Impresora:Modelo X|Puerto:1|COD_PROD:0|Serial:ABC0000001|"
               "80Columnas:-1|Direccion:-1|Caja:3|EntregaOrden:0|MedioPago:1|CampoTextoAdic01:0")
        .split('|');
const QString kEsperado =
    QStringLiteral("Datos=C:\\Tienda\\Datos\\|Base=C:\\Tienda\\Datos\\Base de Datos.dba|"
                   "Impresora=Modelo X|Puerto=1|CodProd=0|Serial=ABC0000001|80=1|Dir=1|Caja=3|"
                   "Entrega=0|Medio=1|Adic=0|BD=");
const QString kPorDefecto = QStringLiteral("Datos=|Base=|Impresora=|Puerto=COM1|CodProd=0|Serial=|"
                                           "80=0|Dir=0|Caja=0|Entrega=0|Medio=0|Adic=0|BD=");

// The complete file with line `fila` replaced or, as the twelfth, added.
QByteArray Con(int fila, const QByteArray& linea)
{
    QByteArrayList l = kLineas;
    (fila < l.size() ? l[fila] : l.emplace_back()) = linea;
    return l.join("\r\n") + "\r\n";
}
} // namespace

class TstConfiguracion : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void leer_data()
    {
        QTest::addColumn<QByteArray>("contenido");
        QTest::addColumn<QString>("esperado");
        // Part of what start-up is told (a line's problem or the twelfth
        // line's error); empty: nothing. The reading is the same either way.
        QTest::addColumn<QString>("problema");
        const QByteArray completo = Con(0, kLineas[0]);
        QTest::newRow("archivo esperado") << completo << kEsperado << "";
        QTest::newRow("solo LF") << kLineas.join("\n") + "\n" << kEsperado << "";
        QTest::newRow("solo CR, sin fin final") << kLineas.join("\r") << kEsperado << "";
        QTest::newRow("vacio") << QByteArray() << kPorDefecto << "";
        // Rows are read by position: a blank or missing row, or a comma,
        // shifts every later one onto the wrong key.
        auto defecto = [](const QString& inicio) {
            return QString(kPorDefecto).replace("Datos=|Base=|Impresora=|", inicio);
        };
        const QString datos =
            "Datos=C:\\Tienda\\Datos\\|Base=C:\\Tienda\\Datos\\Base de Datos.dba|";
        QTest::newRow("linea en blanco al inicio") << "\r\n" + completo << kPorDefecto << "";
        QTest::newRow("falta la tercera linea") << (kLineas.mid(0, 2) + kLineas.mid(3)).join("\r\n")
                                                << defecto(datos + "Impresora=Modelo X|") << "";
        QTest::newRow("Impresora:Modelo, X")
            << Con(1, "Impresora:Modelo, X") << defecto(datos + "Impresora=Modelo|")
            << "La línea 2";
        QTest::newRow("Datos:/srv/tienda,central/")
            << Con(0, "Datos:/srv/tienda,central/")
            << defecto("Datos=/srv/tienda|Base=/srv/tiendaBase de Datos.dba|Impresora=|")
            << "La línea 1 de Vendrix.inf (\"Datos:/srv/tienda,central/\") tiene una coma";
        // Each row's value: "-1" rows compare the text, number rows take the
        // leading value; the value drops the key's length from the item,
        // wherever the key was; only spaces are blanks; a blank value keeps
        // the default; the file is Windows-1252.
        QTest::newRow("cada valor")
            << QByteArray("RutaDatos:X\\\r\nImpresora:Compa\xf1\xed"
                          "a \x80\r\nPuerto:   \r\n"
                          "COD_PROD:-1\r\n    Serial:  XYZ  \r\n80Columnas:-1.0\r\n"
                          "Direccion:   -1  \r\nCaja:7abc\r\nEntregaOrden:-1\r\nMedioPago:0.0\r\n"
                          "CampoTextoAdic01:.5\r\n")
            << QStringLiteral("Datos=tos:X\\|Base=tos:X\\Base de Datos.dba|Impresora=Compañía €|"
                              "Puerto=COM1|CodProd=1|Serial=XYZ|80=0|Dir=1|Caja=7|Entrega=1|"
                              "Medio=0|Adic=1|BD=")
            << "";
        QTest::newRow("cada valor, otra vez")
            << QByteArray(
                   "datos:X\\\r\nImpresora:\r\nPuerto:COM2\r\nCOD_PROD:1\r\nSerial:\tXYZ \r\n"
                   "80Columnas:-1\r\nDireccion:0\r\nCaja:\r\nEntregaOrden:1\r\n"
                   "MedioPago: 2x\r\nCampoTextoAdic01:0.0\r\n")
            << QStringLiteral("Datos=|Base=|Impresora=|Puerto=COM2|CodProd=0|Serial=\tXYZ|80=1|"
                              "Dir=0|Caja=0|Entrega=1|Medio=1|Adic=0|BD=")
            << "";
        // One line replaced (the twelfth added): what it changes. The till: the
        // nearest whole number, halves to even; a value that is no till number
        // is said, naming the line. The twelfth line: its commas part it.
        const QList<std::tuple<int, QByteArray, QString, QString, QString>> filas = {
            {7, "Caja:2.5", "Caja=3", "Caja=2", ""},
            {7, "Caja:3.5", "Caja=3", "Caja=4", ""},
            {7, "Caja:0", "Caja=3", "Caja=0", ""},
            {7, "Caja:1e12", "Caja=3", "Caja=0", "no da un número de caja"},
            {7, "Caja:-2", "Caja=3", "Caja=0", "(\"Caja:-2\") no da un número de caja"},
            {7, "Caja:tres", "Caja=3", "Caja=0",
             "La línea 8 de Vendrix.inf (\"Caja:tres\") no da un número de caja"},
            {11, "BaseDatos:db1,5433,tienda,rovend", "BD=", "BD=db1,5433,tienda,rovend", ""},
            {11, "BaseDatos:db1,,tienda", "BD=", "BD=db1,5432,tienda,", ""},
            {11, "BaseDatos: /run/pg , 5432 , Tienda Central , caja2 ",
             "BD=", "BD=/run/pg,5432,Tienda Central,caja2", ""},
            {11, "Servidor:db1,5432,tienda", "", "", ""}, // another key: the SQLite file
            {11, "BaseDatos:,5432,tienda", "", "", "no indica el servidor"},
            {11, "BaseDatos:db1,70000,tienda", "", "", "puerto inválido"},
            {11, "BaseDatos:db1,+5432,tienda", "", "", "puerto inválido"},
            {11, "BaseDatos:db1,5432", "", "", "no indica el nombre de la base"},
            {11, "BaseDatos:db1,5432,tienda,rovend,secreta", "", "", "PGPASSWORD"}};
        for (const auto& [fila, linea, antes, despues, problema] : filas)
            QTest::newRow(linea.constData())
                << Con(fila, linea) << QString(kEsperado).replace(antes, despues) << problema;
    }
    void leer()
    {
        QFETCH(QByteArray, contenido);
        QFETCH(QString, esperado);
        QFETCH(QString, problema);
        const Configuracion c = Configuracion::LeerConfiguracion(contenido);
        QCOMPARE(Resumen(c), esperado);
        const QString dicho = (c.Problemas + QStringList{c.ErrorServidor}).join('\n').trimmed();
        QVERIFY2(problema.isEmpty() ? dicho.isEmpty() : dicho.contains(problema),
                 qPrintable(dicho));
    }

    void rutas()
    {
        // Backslashes, and no last separator: only the marker's path adds one.
        const Configuracion c = Configuracion::LeerConfiguracion("Datos:C:\\Tienda");
        QCOMPARE(c.ArchivoBaseDatos() + '|' + c.ArchivoMarcaMantenimiento(),
                 "C:/TiendaBase de Datos.dba|C:/Tienda/ActualizadorTalomaTerminal.inf");
    }

    void modoCantidad()
    {
        // VerCantidad and VerCantidadDecimal of [Configuración]: any non-zero
        // is true; a NULL in either shows no quantity at all.
        const QVariant nulo;
        const QList<std::tuple<QVariant, QVariant, int>> casos = {
            {0, 0, 0}, {-1, 0, 1}, {0, -1, 2}, {1, -1, 3}, {nulo, -1, 0}, {-1, nulo, 0}};
        for (const auto& [entera, decimal, modo] : casos)
            QCOMPARE(AjustesTienda::CalcularModoCantidad(entera, decimal), modo);
    }
};

QTEST_GUILESS_MAIN(TstConfiguracion)
#include "tst_configuracion.moc"
