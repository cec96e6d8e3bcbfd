#include "tienda/Configuracion.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

namespace
{
// Every setting on one line, so a row states the whole outcome at once. BD is
// the server of the twelfth line, empty for the SQLite file.
QString Resumen(const Configuracion& c)
{
    const ServidorBaseDatos s = c.Servidor.value_or(ServidorBaseDatos());
    const QString bd = c.Servidor
                           ? QStringLiteral("%1,%2,%3,%4")
                                 .arg(s.Servidor, QString::number(s.Puerto), s.Base, s.Usuario)
                           : QString();
    return QStringLiteral("Datos=%1|Base=%2|Impresora=%3|Puerto=%4|CodProd=%5|Serial=%6|80=%7|"
                          "Dir=%8|Caja=%9|Entrega=%10|Medio=%11|Adic=%12|BD=%13")
        .arg(c.RutaDatos, c.RutaBaseDatos, c.Impresora, c.Puerto)
        .arg(int(c.CodProd))
        .arg(c.Serial)
        .arg(int(c.Columnas80))
        .arg(int(c.Direccion))
        .arg(c.NumeroCaja)
        .arg(int(c.EntregaOrden))
        .arg(int(c.MedioPago))
        .arg(int(c.CampoTextoAdic01))
        .arg(bd);
}

// The eleven rows of a complete file.
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

// The expected file with line `fila` replaced (a null QByteArray removes it).
QByteArray Con(int fila, const QByteArray& linea, const QByteArray& fin = "\r\n")
{
    QByteArrayList l = kLineas;
    if (linea.isNull())
        l.removeAt(fila);
    else
        l[fila] = linea;
    return l.join(fin) + fin;
}

// A summary with some fields replaced: "Caja=2|Medio=0". A misspelt field is
// added at the end, so the row cannot pass.
QString Esperado(const QString& cambios, const QString& base = kEsperado)
{
    QStringList campos = base.split(QLatin1Char('|'));
    for (const QString& cambio : cambios.split(QLatin1Char('|'), Qt::SkipEmptyParts)) {
        const QString clave = cambio.section(QLatin1Char('='), 0, 0) + QLatin1Char('=');
        auto campo = std::find_if(campos.begin(), campos.end(),
                                  [&](const QString& c) { return c.startsWith(clave); });
        if (campo != campos.end())
            *campo = cambio;
        else
            campos << cambio;
    }
    return campos.join(QLatin1Char('|'));
}
} // namespace

class TstConfiguracion : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void leerConfiguracion_data()
    {
        QTest::addColumn<QByteArray>("contenido");
        QTest::addColumn<QString>("esperado");
        QTest::newRow("archivo esperado") << Con(0, kLineas[0]) << kEsperado;
        QTest::newRow("solo LF") << Con(0, kLineas[0], "\n") << kEsperado;
        QTest::newRow("solo CR, sin fin final") << kLineas.join("\r") << kEsperado;
        QTest::newRow("vacio") << QByteArray() << kPorDefecto;
        // Rows are read by position: a blank or missing row, or a comma,
        // shifts every later one onto the wrong key.
        const QString datos = QStringLiteral("Datos=C:\\Tienda\\Datos\\|"
                                             "Base=C:\\Tienda\\Datos\\Base de Datos.dba|");
        QTest::newRow("linea en blanco al inicio") << "\r\n" + Con(0, kLineas[0]) << kPorDefecto;
        QTest::newRow("falta la tercera linea")
            << Con(2, QByteArray()) << Esperado(datos + "Impresora=Modelo X", kPorDefecto);
        QTest::newRow("una coma corta el valor")
            << Con(1, "Impresora:Modelo, X") << Esperado(datos + "Impresora=Modelo", kPorDefecto);

        // One row replaced: the row, its text, the settings that change.
        const QList<std::tuple<int, QByteArray, QString>> filas = {
            // "-1" rows compare the text; number rows take the leading value.
            {3, "COD_PROD:-1", "CodProd=1"},
            {3, "COD_PROD:1", ""},
            {5, "80Columnas:-1.0", "80=0"},
            {6, "Direccion:   -1  ", ""},
            {8, "EntregaOrden:1", "Entrega=1"},
            {8, "EntregaOrden:-1", "Entrega=1"},
            {9, "MedioPago:0.0", "Medio=0"},
            {9, "MedioPago: 2x", ""},
            {10, "CampoTextoAdic01:.5", "Adic=1"},
            // The till: the nearest whole number, halves to even.
            {7, "Caja:2.5", "Caja=2"},
            {7, "Caja:3.5", "Caja=4"},
            {7, "Caja:7abc", "Caja=7"},
            {7, "Caja:1e12", "Caja=0"},
            // The value drops the key's length from the item, wherever the key
            // was; only spaces are blanks; a blank value keeps the default.
            {0, "RutaDatos:X\\", "Datos=tos:X\\|Base=tos:X\\Base de Datos.dba"},
            {0, "datos:X\\", "Datos=|Base="},
            {4, "    Serial:  XYZ  ", "Serial=XYZ"},
            {4, "Serial:\tXYZ ", "Serial=\tXYZ"},
            {2, "Puerto:   ", "Puerto=COM1"},
            {1,
             "Impresora:Compa\xf1\xed"
             "a \x80",
             QStringLiteral("Impresora=Compañía €")}};
        for (const auto& [fila, linea, cambios] : filas)
            QTest::newRow(linea.constData()) << Con(fila, linea) << Esperado(cambios);
    }
    void leerConfiguracion()
    {
        QFETCH(QByteArray, contenido);
        QFETCH(QString, esperado);
        QCOMPARE(Resumen(Configuracion::LeerConfiguracion(contenido)), esperado);
    }

    void servidor_data()
    {
        QTest::addColumn<QByteArray>("linea"); // the twelfth
        QTest::addColumn<QString>("bd");
        QTest::addColumn<QString>("error"); // part of the message; empty: no error
        const QList<std::tuple<QByteArray, QString, QString>> filas = {
            {"BaseDatos:db1,5433,tienda,rovend", "db1,5433,tienda,rovend", ""},
            {"BaseDatos:db1,,tienda", "db1,5432,tienda,", ""},
            {"BaseDatos: /run/postgresql , 5432 , Tienda Central , caja2 ",
             "/run/postgresql,5432,Tienda Central,caja2", ""},
            {"Servidor:db1,5432,tienda", "", ""}, // another key: the SQLite file
            {"BaseDatos:,5432,tienda", "", "no indica el servidor"},
            {"BaseDatos:db1,70000,tienda", "", "puerto inválido"},
            {"BaseDatos:db1,+5432,tienda", "", "puerto inválido"},
            {"BaseDatos:db1,5432", "", "no indica el nombre de la base"},
            {"BaseDatos:db1,5432,tienda,rovend,secreta", "", "PGPASSWORD"}};
        for (const auto& [linea, bd, error] : filas)
            QTest::newRow(linea.constData()) << linea << bd << error;
    }
    void servidor()
    {
        QFETCH(QByteArray, linea);
        QFETCH(QString, bd);
        QFETCH(QString, error);
        const Configuracion c = Configuracion::LeerConfiguracion(Con(0, kLineas[0]) + linea);
        // The eleven rows read as always, whatever the twelfth line holds.
        QCOMPARE(Resumen(c), Esperado(QStringLiteral("BD=") + bd));
        QVERIFY2(error.isEmpty() ? c.ErrorServidor.isEmpty() : c.ErrorServidor.contains(error),
                 qPrintable(c.ErrorServidor));
    }

    void rutas_data()
    {
        // The paths of this system: the data folder may use backslashes and
        // lack its last separator, which only the marker's path adds.
        QTest::addColumn<QString>("datos");
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("marca");
        QTest::newRow("barras invertidas") << "C:\\Tienda\\Datos\\"
                                           << "C:/Tienda/Datos/"
                                           << "C:/Tienda/Datos/";
        QTest::newRow("sin separador final") << "C:\\Tienda"
                                             << "C:/Tienda"
                                             << "C:/Tienda/";
        QTest::newRow("mezcla") << "/srv/tienda\\datos\\"
                                << "/srv/tienda/datos/"
                                << "/srv/tienda/datos/";
    }
    void rutas()
    {
        QFETCH(QString, datos);
        QFETCH(QString, base);
        QFETCH(QString, marca);
        const Configuracion c =
            Configuracion::LeerConfiguracion(QByteArray("Datos:") + datos.toLatin1() + "\r\n");
        QCOMPARE(c.RutaDatos, datos); // shown as configured
        QCOMPARE(c.ArchivoBaseDatos(), base + "Base de Datos.dba");
        QCOMPARE(c.ArchivoMarcaMantenimiento(), marca + "ActualizadorTalomaTerminal.inf");
    }

    void problemas_data()
    {
        // Lines that read as something else than they say: start-up stops on
        // them with the message, naming the line. The reading is unchanged.
        QTest::addColumn<QByteArray>("contenido");
        QTest::addColumn<QString>("problema"); // part of the message; empty: none
        const QList<std::tuple<int, QByteArray, QString>> filas = {
            {7, "Caja:tres", "La línea 8 de Vendrix.inf (\"Caja:tres\") no da un número de caja"},
            {7, "Caja:-2", "(\"Caja:-2\") no da un número de caja"},
            {7, "Caja:1e12", "no da un número de caja"},
            {7, "Caja:7abc", ""}, // the leading value, as every number row
            {7, "Caja:", ""},     // a blank value keeps the default
            {0, "Datos:/srv/tienda,central/", "La línea 1 de Vendrix.inf (\"Datos:/srv/tienda,central/\") tiene una coma"},
            {1, "Impresora:Modelo, X", "La línea 2"}};
        for (const auto& [fila, linea, problema] : filas)
            QTest::newRow(linea.constData()) << Con(fila, linea) << problema;
        // The twelfth line separates its parts with commas.
        QTest::newRow("BaseDatos") << Con(0, kLineas[0]) + "BaseDatos:db1,5432,tienda" << QString();
    }
    void problemas()
    {
        QFETCH(QByteArray, contenido);
        QFETCH(QString, problema);
        const Configuracion c = Configuracion::LeerConfiguracion(contenido);
        if (problema.isEmpty())
            QVERIFY2(c.Problemas.isEmpty(), qPrintable(c.Problemas.join('\n')));
        else
            QVERIFY2(!c.Problemas.isEmpty() && c.Problemas.first().contains(problema),
                     qPrintable(c.Problemas.join('\n')));
    }

    void leerArchivoFalla_data()
    {
        QTest::addColumn<QString>("caso");
        QTest::addColumn<QString>("motivo");
        QTest::newRow("falta") << "falta" << "No se encuentra";
        QTest::newRow("es una carpeta") << "carpeta" << "No se encuentra";
        QTest::newRow("pasa de 1 MB") << "grande" << "mide más de 1024 KB";
    }
    void leerArchivoFalla()
    {
        // The error names the file; a readable one is read by start-up's tests.
        QFETCH(QString, caso);
        QFETCH(QString, motivo);
        QTemporaryDir dir;
        const QString ruta = dir.filePath(QStringLiteral("Vendrix.inf"));
        if (caso == "carpeta")
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("Vendrix.inf")));
        if (caso == "grande") { // the eleven lines, then one long line
            QFile f(ruta);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QVERIFY(f.write(Con(0, kLineas[0]) + QByteArray(Configuracion::kTamanoMaximo, 'x')) > 0);
        }
        const LecturaConfiguracion l = Configuracion::LeerArchivo(dir.path());
        QVERIFY(!l.Valor);
        QVERIFY2(l.Error.contains(ruta) && l.Error.contains(motivo), qPrintable(l.Error));
    }
};

QTEST_GUILESS_MAIN(TstConfiguracion)
#include "tst_configuracion.moc"
