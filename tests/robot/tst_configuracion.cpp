#include "Configuracion.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

namespace
{
// Every setting on one line, so a row states the whole outcome at once.
QString Resumen(const Configuracion& c)
{
    return QStringLiteral("Datos=%1|Base=%2|Impresora=%3|Puerto=%4|CodProd=%5|Serial=%6|80=%7|"
                          "Dir=%8|Caja=%9|Entrega=%10|Medio=%11|Adic=%12")
        .arg(c.RutaDatos, c.RutaBaseDatos, c.Impresora, c.Puerto)
        .arg(int(c.CodProd))
        .arg(c.Serial)
        .arg(int(c.Columnas80))
        .arg(int(c.Direccion))
        .arg(c.NumeroCaja)
        .arg(int(c.EntregaOrden))
        .arg(int(c.MedioPago))
        .arg(int(c.CampoTextoAdic01));
}

const QByteArrayList kLineas = {"Datos:C:\\Tienda\\Datos\\",
                                "Impresora:Modelo X",
                                "Puerto:1",
                                "COD_PROD:0",
                                "Serial:ABC0000001",
                                "80Columnas:-1",
                                "Direccion:-1",
                                "Caja:3",
                                "EntregaOrden:0",
                                "MedioPago:1",
                                "CampoTextoAdic01:0"};

const QString kEsperado =
    QStringLiteral("Datos=C:\\Tienda\\Datos\\|Base=C:\\Tienda\\Datos\\Base de Datos.dba|"
                   "Impresora=Modelo X|Puerto=1|CodProd=0|Serial=ABC0000001|80=1|Dir=1|Caja=3|"
                   "Entrega=0|Medio=1|Adic=0");

// The expected file with line `fila` replaced (an empty QByteArray removes it).
QByteArray Con(int fila, const QByteArray& linea, const QByteArray& fin = "\r\n")
{
    QByteArrayList l = kLineas;
    if (linea.isNull())
        l.removeAt(fila);
    else
        l[fila] = linea;
    return l.join(fin) + fin;
}

// kEsperado with some fields replaced: {"Caja", "2"}, ...
QString Esperado(const QList<QPair<QString, QString>>& cambios)
{
    QStringList campos = kEsperado.split(QLatin1Char('|'));
    for (const auto& [clave, valor] : cambios)
        for (QString& campo : campos)
            if (campo.startsWith(clave + QLatin1Char('=')))
                campo = clave + QLatin1Char('=') + valor;
    return campos.join(QLatin1Char('|'));
}

const QString kPorDefecto = QStringLiteral("Datos=|Base=|Impresora=|Puerto=COM1|CodProd=0|Serial=|"
                                           "80=0|Dir=0|Caja=0|Entrega=0|Medio=0|Adic=0");
} // namespace

class TstConfiguracion : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void leerConfiguracion_data();
    void leerConfiguracion();
    void rutas_data();
    void rutas();
    void leerArchivo_data();
    void leerArchivo();
    void bytesAlAzar();
};

void TstConfiguracion::leerConfiguracion_data()
{
    QTest::addColumn<QByteArray>("contenido");
    QTest::addColumn<QString>("esperado");

    QTest::newRow("archivo esperado") << Con(0, kLineas[0]) << kEsperado;
    QTest::newRow("solo LF") << Con(0, kLineas[0], "\n") << kEsperado;
    QTest::newRow("solo CR, sin fin final") << kLineas.join("\r") << kEsperado;
    QTest::newRow("duodecima linea ignorada")
        << Con(0, kLineas[0]) + "Datos:D:\\Otra\\\r\nCaja:9\r\n"
        << kEsperado;
    QTest::newRow("vacio") << QByteArray() << kPorDefecto;

    // A missing row shifts every later one onto the wrong key.
    QTest::newRow("falta la tercera linea")
        << Con(2, QByteArray())
        << QStringLiteral("Datos=C:\\Tienda\\Datos\\|Base=C:\\Tienda\\Datos\\Base de Datos.dba|"
                          "Impresora=Modelo X|Puerto=COM1|CodProd=0|Serial=|80=0|Dir=0|Caja=0|"
                          "Entrega=0|Medio=0|Adic=0");
    QTest::newRow("una coma corta el valor y corre las filas")
        << Con(1, "Impresora:Modelo, X")
        << QStringLiteral("Datos=C:\\Tienda\\Datos\\|Base=C:\\Tienda\\Datos\\Base de Datos.dba|"
                          "Impresora=Modelo|Puerto=COM1|CodProd=0|Serial=|80=0|Dir=0|Caja=0|"
                          "Entrega=0|Medio=0|Adic=0");
    QTest::newRow("linea en blanco al inicio corre las filas")
        << "\r\n" + Con(0, kLineas[0])
        << QStringLiteral("Datos=|Base=|Impresora=|Puerto=COM1|CodProd=0|Serial=|80=0|Dir=0|"
                          "Caja=0|Entrega=0|Medio=0|Adic=0");

    // "-1" rows compare the text; number rows take the leading value.
    QTest::newRow("COD_PROD -1") << Con(3, "COD_PROD:-1") << Esperado({{"CodProd", "1"}});
    QTest::newRow("COD_PROD 1 es falso") << Con(3, "COD_PROD:1") << kEsperado;
    QTest::newRow("80Columnas True es falso")
        << Con(5, "80Columnas:True") << Esperado({{"80", "0"}});
    QTest::newRow("80Columnas -1.0 es falso")
        << Con(5, "80Columnas:-1.0") << Esperado({{"80", "0"}});
    QTest::newRow("Direccion con blancos") << Con(6, "Direccion:   -1  ") << kEsperado;
    QTest::newRow("EntregaOrden 1") << Con(8, "EntregaOrden:1") << Esperado({{"Entrega", "1"}});
    QTest::newRow("EntregaOrden -1") << Con(8, "EntregaOrden:-1") << Esperado({{"Entrega", "1"}});
    QTest::newRow("EntregaOrden abc") << Con(8, "EntregaOrden:abc") << kEsperado;
    QTest::newRow("MedioPago 0.0") << Con(9, "MedioPago:0.0") << Esperado({{"Medio", "0"}});
    QTest::newRow("MedioPago 2x") << Con(9, "MedioPago: 2x") << kEsperado;
    QTest::newRow("CampoTextoAdic01 .5")
        << Con(10, "CampoTextoAdic01:.5") << Esperado({{"Adic", "1"}});

    // The till: the nearest whole number, halves to even.
    QTest::newRow("Caja 2.5") << Con(7, "Caja:2.5") << Esperado({{"Caja", "2"}});
    QTest::newRow("Caja 3.5") << Con(7, "Caja:3.5") << Esperado({{"Caja", "4"}});
    QTest::newRow("Caja 2.51") << Con(7, "Caja:2.51") << Esperado({{"Caja", "3"}});
    QTest::newRow("Caja -2.5") << Con(7, "Caja:-2.5") << Esperado({{"Caja", "-2"}});
    QTest::newRow("Caja 7abc") << Con(7, "Caja:7abc") << Esperado({{"Caja", "7"}});
    QTest::newRow("Caja abc") << Con(7, "Caja:abc") << Esperado({{"Caja", "0"}});
    QTest::newRow("Caja fuera de rango") << Con(7, "Caja:1e12") << Esperado({{"Caja", "0"}});

    // The value drops the key's length from the item, wherever the key was.
    QTest::newRow("clave dentro del elemento")
        << Con(0, "RutaDatos:X\\")
        << Esperado({{"Datos", "tos:X\\"}, {"Base", "tos:X\\Base de Datos.dba"}});
    QTest::newRow("clave con otras mayusculas")
        << Con(0, "datos:X\\") << Esperado({{"Datos", ""}, {"Base", ""}});
    QTest::newRow("blancos iniciales del elemento")
        << Con(4, "    Serial:  XYZ  ") << Esperado({{"Serial", "XYZ"}});
    // Only spaces are blanks: a tab stays in the value.
    QTest::newRow("tabulador") << Con(4, "Serial:\tXYZ ") << Esperado({{"Serial", "\tXYZ"}});
    QTest::newRow("valor vacio deja el valor por defecto")
        << Con(4, "Serial:   ") << Esperado({{"Serial", ""}});
    QTest::newRow("Puerto vacio") << Con(2, "Puerto:") << Esperado({{"Puerto", "COM1"}});
    QTest::newRow("Puerto ruta") << Con(2, "Puerto:/dev/pts/7")
                                 << Esperado({{"Puerto", "/dev/pts/7"}});
    QTest::newRow("Windows-1252") << Con(1, "Impresora:Compa\xf1\xed"
                                            "a \x80")
                                  << Esperado({{"Impresora", QStringLiteral("Compañía €")}});
    QTest::newRow("carpeta sin separador final")
        << Con(0, "Datos:C:\\Tienda")
        << Esperado({{"Datos", "C:\\Tienda"}, {"Base", "C:\\TiendaBase de Datos.dba"}});
}

void TstConfiguracion::leerConfiguracion()
{
    QFETCH(QByteArray, contenido);
    QFETCH(QString, esperado);
    QCOMPARE(Resumen(Configuracion::LeerConfiguracion(contenido)), esperado);
}

void TstConfiguracion::rutas_data()
{
    QTest::addColumn<QString>("datos");
    QTest::addColumn<QString>("baseDatos");
    QTest::addColumn<QString>("marca");

    QTest::newRow("barras invertidas") << "C:\\Tienda\\Datos\\"
                                       << "C:/Tienda/Datos/Base de Datos.dba"
                                       << "C:/Tienda/Datos/ActualizadorTalomaTerminal.inf";
    QTest::newRow("sin separador final") << "C:\\Tienda"
                                         << "C:/TiendaBase de Datos.dba"
                                         << "C:/Tienda/ActualizadorTalomaTerminal.inf";
    QTest::newRow("ruta de linux") << "/srv/tienda/datos/"
                                   << "/srv/tienda/datos/Base de Datos.dba"
                                   << "/srv/tienda/datos/ActualizadorTalomaTerminal.inf";
    QTest::newRow("mezcla") << "/srv/tienda\\datos\\"
                            << "/srv/tienda/datos/Base de Datos.dba"
                            << "/srv/tienda/datos/ActualizadorTalomaTerminal.inf";
}

void TstConfiguracion::rutas()
{
    QFETCH(QString, datos);
    QFETCH(QString, baseDatos);
    QFETCH(QString, marca);
    const Configuracion c =
        Configuracion::LeerConfiguracion(QByteArray("Datos:") + datos.toLatin1() + "\r\n");
    QCOMPARE(c.RutaDatos, datos); // shown as configured
    QCOMPARE(c.ArchivoBaseDatos(), baseDatos);
    QCOMPARE(c.ArchivoMarcaMantenimiento(), marca);
}

void TstConfiguracion::leerArchivo_data()
{
    QTest::addColumn<QString>("caso");
    QTest::newRow("valido") << "valido";
    QTest::newRow("falta") << "falta";
    QTest::newRow("es una carpeta") << "carpeta";
}

void TstConfiguracion::leerArchivo()
{
    QFETCH(QString, caso);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString ruta = dir.filePath(QStringLiteral("Vendrix.inf"));
    if (caso == QLatin1String("valido")) {
        QFile f(ruta);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(Con(0, kLineas[0]));
    } else if (caso == QLatin1String("carpeta")) {
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("Vendrix.inf")));
    }
    const LecturaConfiguracion l = Configuracion::LeerArchivo(dir.path());
    if (caso == QLatin1String("valido")) {
        QVERIFY2(l.Valor.has_value(), qPrintable(l.Error));
        QCOMPARE(Resumen(*l.Valor), kEsperado);
    } else {
        QVERIFY(!l.Valor.has_value());
        QVERIFY2(l.Error.contains(ruta), qPrintable(l.Error));
    }
}

void TstConfiguracion::bytesAlAzar()
{
    // Any bytes give a configuration: no crash, Puerto never empty.
    QRandomGenerator azar(20261205);
    const QByteArray alfabeto = "Datos:Puerto:Caja:-1.5e9, \r\n\t\\abc\x80\xff";
    for (int i = 0; i < 3000; ++i) {
        QByteArray b(int(azar.bounded(200)), '\0');
        for (char& c : b)
            c = azar.bounded(4) == 0 ? char(azar.bounded(256))
                                     : alfabeto.at(int(azar.bounded(alfabeto.size())));
        const Configuracion c = Configuracion::LeerConfiguracion(b);
        QVERIFY(!c.Puerto.isEmpty());
    }
}

QTEST_GUILESS_MAIN(TstConfiguracion)
#include "tst_configuracion.moc"
