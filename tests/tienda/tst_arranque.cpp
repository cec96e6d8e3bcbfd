// Start-up on a demo shop: every bad input ends it with a message that names
// what is wrong; only a second copy in the same folder ends silently.
#include "TiendaDemo.h"
#include "tienda/ArchivoMarca.h"
#include "tienda/Arranque.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

namespace
{
// The marker of an invoice numbered 0 whose closing went out: told from the
// empty marker ("0") only by what the printer showed.
const ArchivoMarca::Marca kEnCurso = ArchivoMarca::Marca::De(0, "00000041", "00000042", 8);

QByteArray Leer(const QString& ruta)
{
    QFile f(ruta);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(ilegible)");
}

bool Escribir(const QString& ruta, const QByteArray& datos)
{
    QFile f(ruta);
    return f.open(QIODevice::WriteOnly) && f.write(datos) == datos.size();
}
} // namespace

class TstArranque : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void entradasMalas_data()
    {
        // Each input ("Clave:valor" replaces or adds a line of Vendrix.inf),
        // the words its message must hold, and whether the robot still runs
        // (the text is then a warning).
        QTest::addColumn<QString>("caso");
        QTest::addColumn<QStringList>("claves");
        QTest::addColumn<bool>("sigue");
        auto fila = [](const char* nombre, const char* caso, const QStringList& claves,
                       bool sigue = false) {
            QTest::newRow(nombre) << QString::fromUtf8(caso) << claves << sigue;
        };
        fila("sin marca de mantenimiento", "marca",
             {"El servidor parece estar en mantenimiento. Por favor verifique e intente de "
              "nuevo más tarde."});
        fila("sin Vendrix.inf", "inf", {"No se encuentra", "Vendrix.inf"});
        fila("Vendrix.inf de más de 1 MB", "inf-grande", {"Vendrix.inf", "1024 KB"});
        fila("Log.log ilegible", "log", {"Log.log", "No se sobrescribe"});
        fila("sin base de la tienda", "base", {"Base de Datos.dba"});
        fila("sin base local", "local", {"VendrixFiscal.dba"});
        fila("base sin vista", "vista", {"le falta", "[Consulta Ventas]"});
        fila("base que no es base", "basura", {"Base de Datos.dba", "no es una base de datos"});
        fila("base de solo lectura", "base-ro", {"No se puede escribir", "permiso"});
        fila("Configuración vacía", "config-vacia",
             {"[Configuración]", "no tiene registros", "ipServidor", "PuertoServicio"});
        fila("Configuración sin puerto", "config-puerto", {"[Configuración]", "PuertoServicio"});
        // The data folder, named with what is wrong; a line's problem first.
        fila("Datos que no existe", "Datos:/no/hay/tal/",
             {"No existe la carpeta de datos", "/no/hay/tal/"});
        fila("Datos es un archivo", "Datos:@inf", {"no es una carpeta", "Vendrix.inf"});
        fila("Datos vacío", "Datos:", {"no indica la carpeta de datos", "Datos:"});
        fila("Datos con coma", "Datos:/srv/tienda,central/", {"línea 1", "coma"});
        // A server line that cannot be used never falls back on the file.
        fila("contraseña en la linea", "BaseDatos:db1,5432,tienda,rovend,secreta", {"PGPASSWORD"});
        // The printer's port must open as a serial port; a missing device is
        // only warned about (an unplugged adapter).
        fila("puerto malo", "Puerto:impresora", {"\"impresora\""});
        fila("puerto /dev/null", "Puerto:/dev/null", {"puerto serie", "Puerto:/dev/null"});
        fila("puerto ausente", "Puerto:/dev/ttyUSB-no-hay",
             {"/dev/ttyUSB-no-hay", "no existe por ahora"}, true);
        // The single-instance lock: only a live holder is a second copy.
        fila("candado que no es candado", "candado-dir", {"rovend.lock", "no es el candado"});
        fila("candado de un proceso que ya no existe", "candado-muerto", {}, true);
        fila("Log.log de una factura en curso", "log-en-curso", {}, true);
        fila("carpeta del programa de solo lectura", "programa-ro",
             {"rovend.lock", "solo lectura"});
    }
    void entradasMalas()
    {
        QFETCH(QString, caso);
        QFETCH(QStringList, claves);
        QFETCH(bool, sigue);
        if (::geteuid() == 0 && caso.endsWith("-ro"))
            QSKIP("permissions do not stop root; run this row as another user");
        QTemporaryDir dir;
        TiendaDemo t; // its printer on a device absent for now
        OpcionesTienda o;
        o.Puerto = QStringLiteral("/dev/ttyUSB-prueba");
        QVERIFY2(t.Crear(dir.path(), o), qPrintable(t.Error()));
        t.Cerrar();
        const QString inf = t.ArchivoConfiguracion();
        const auto permisos = qScopeGuard([&] { // QTemporaryDir must be able to remove it all
            QFile::setPermissions(dir.path(),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        });
        if (caso.contains(':')) {
            const QString linea = QString(caso).replace("@inf", inf);
            const QRegularExpression clave('^' + caso.section(':', 0, 0) + ":[^\r\n]*",
                                           QRegularExpression::MultilineOption);
            QString texto = QString::fromLatin1(Leer(inf));
            texto = texto.contains(clave) ? texto.replace(clave, linea) : texto + linea + "\r\n";
            QVERIFY(Escribir(inf, texto.toLatin1()));
        }
        if (caso.contains("marca"))
            QVERIFY(QFile::remove(t.ArchivoMarcaMantenimiento()));
        if (caso.contains("base") && !caso.endsWith("-ro"))
            QVERIFY(QFile::remove(t.ArchivoBaseDatos()));
        const QMap<QString, QString> quitar = {{"inf", inf}, {"local", t.ArchivoBaseLocal()}};
        QVERIFY(!quitar.contains(caso) || QFile::remove(quitar[caso]));
        const QMap<QString, QString> carpeta = {{"log", "Log.log"}, {"candado-dir", "rovend.lock"}};
        QVERIFY(!carpeta.contains(caso) || QDir(dir.path()).mkdir(carpeta[caso]));
        const QMap<QString, std::pair<QString, QByteArray>> escribir = {
            {"log-en-curso", {dir.filePath("Log.log"), ArchivoMarca::Contenido(kEnCurso)}},
            {"programa-ro", {dir.filePath("Log.log"), "0\r\n"}}, // from an earlier run
            {"inf-grande", {inf, Leer(inf) + QByteArray(1024 * 1024, 'x')}},
            {"basura", {t.ArchivoBaseDatos(), "esto no es una base de datos"}},
            // No process has this number: the lock of a copy that died.
            {"candado-muerto",
             {dir.filePath("rovend.lock"),
              "2147480000\nrovend\n" + QSysInfo::machineHostName().toUtf8() + '\n'}}};
        QVERIFY(!escribir.contains(caso) || Escribir(escribir[caso].first, escribir[caso].second));
        const QMap<QString, QString> sql = {
            {"vista", "DROP VIEW [Consulta Ventas]"},
            {"config-vacia", "DELETE FROM [Configuración]"},
            {"config-puerto", "UPDATE [Configuración] SET PuertoServicio = NULL"}};
        QVERIFY(!sql.contains(caso) || (t.Abrir(dir.path()) && t.Ejecutar({sql[caso]})));
        t.Cerrar();
        if (caso == "base-ro")
            QVERIFY(QFile::setPermissions(t.ArchivoBaseDatos(), QFile::ReadOwner));
        if (caso == "programa-ro")
            QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
        const Arranque::Resultado r = Arranque::Form_Load(dir.path());
        const QString texto = sigue ? r.avisos.join('\n') : r.mensaje;
        for (const QString& clave : claves)
            QVERIFY2(texto.contains(clave), qPrintable(texto));
        QCOMPARE(int(r.fin), int(sigue ? Arranque::Fin::Seguir : Arranque::Fin::Mensaje));
        QCOMPARE(r.codigoSalida, sigue ? Arranque::kSalidaNormal : Arranque::kSalidaMensaje);
        QCOMPARE(bool(r.candado), sigue);
        QVERIFY(caso != "log" || QFileInfo(dir.filePath("Log.log")).isDir()); // never overwritten
        if (!sigue)
            return;
        // The local database beside the program; Log.log made with "0" or left
        // as it was (it may name an invoice in progress); a second copy in the
        // same folder ends without a word.
        QCOMPARE(QFileInfo(r.ajustes.rutaBaseLocal), QFileInfo(t.ArchivoBaseLocal()));
        const QString log = dir.filePath("Log.log");
        const auto marca = ArchivoMarca(log).Leer();
        QVERIFY(marca && *marca == (caso == "log-en-curso" ? kEnCurso : ArchivoMarca::Marca()));
        QVERIFY(caso == "log-en-curso" || Leer(log) == "0\r\n");
        const Arranque::Resultado segunda = Arranque::Form_Load(dir.path());
        QCOMPARE(int(segunda.fin), int(Arranque::Fin::Silencio));
        QCOMPARE(segunda.codigoSalida, Arranque::kSalidaSegundaCopia);
        QVERIFY(segunda.mensaje.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TstArranque)
#include "tst_arranque.moc"
