#include "tienda/Arranque.h"
#include "TiendaDemo.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QScopeGuard>
#include <QSysInfo>

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace
{
// Replaces the line of Vendrix.inf that starts with the same key.
bool CambiarLinea(const QString& archivo, const QString& linea)
{
    QFile f(archivo);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    QStringList lineas = QString::fromLatin1(f.readAll()).split("\r\n");
    f.close();
    const QString clave = linea.section(':', 0, 0) + ':';
    const auto it = std::find_if(lineas.begin(), lineas.end(),
                                 [&](const QString& l) { return l.startsWith(clave); });
    if (it == lineas.end())
        return false;
    *it = linea;
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           f.write(lineas.join("\r\n").toLatin1()) > 0;
}

bool Sql(const QString& base, const QString& sentencia)
{
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "prueba");
        db.setDatabaseName(base);
        ok = db.open() && QSqlQuery(db).exec(sentencia);
    }
    QSqlDatabase::removeDatabase("prueba");
    return ok;
}
} // namespace

class TstArranque : public QObject
{
    Q_OBJECT

    // A fresh demo shop in its own folder.
    std::unique_ptr<TiendaDemo> nuevaTienda(QTemporaryDir& dir, const OpcionesTienda& o = {})
    {
        auto t = std::make_unique<TiendaDemo>();
        OpcionesTienda con = o;
        if (con.Puerto == OpcionesTienda().Puerto) // no real port needed: a device absent for now
            con.Puerto = QStringLiteral("/dev/ttyUSB-prueba");
        if (!t->Crear(dir.path(), con))
            qFatal("%s", qPrintable(t->Error()));
        t->Cerrar();
        return t;
    }

private Q_SLOTS:
    void tiendaSana()
    {
        QTemporaryDir dir;
        OpcionesTienda o;
        o.Caja = 3;
        o.Puerto = QStringLiteral("/dev/pts/99");
        auto t = nuevaTienda(dir, o);
        Arranque::Resultado r = Arranque::Form_Load(dir.path());
        QCOMPARE(int(r.fin), int(Arranque::Fin::Seguir));
        QCOMPARE(r.ajustes.config.NumeroCaja, 3);
        QCOMPARE(r.ajustes.dispositivo, QStringLiteral("/dev/pts/99"));
        QCOMPARE(QFileInfo(r.ajustes.rutaBaseDatos), QFileInfo(t->ArchivoBaseDatos()));
        QCOMPARE(QFileInfo(r.ajustes.rutaBaseLocal), QFileInfo(t->ArchivoBaseLocal()));
        QVERIFY(r.candado && r.candado->isLocked());
        // Log.log did not exist: created with "0".
        QFile log(dir.filePath("Log.log"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QCOMPARE(log.readAll().trimmed(), QByteArray("0"));
    }

    void logExistenteNoSeToca()
    {
        QTemporaryDir dir;
        auto t = nuevaTienda(dir);
        QFile log(dir.filePath("Log.log"));
        QVERIFY(log.open(QIODevice::WriteOnly));
        log.write(" 4711\r\n");
        log.close();
        QCOMPARE(int(Arranque::Form_Load(dir.path()).fin), int(Arranque::Fin::Seguir));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QCOMPARE(log.readAll(), QByteArray(" 4711\r\n"));
    }

    void entradasMalas_data()
    {
        // Each input, how start-up ends, and the words its message must hold.
        QTest::addColumn<QString>("caso");
        QTest::addColumn<int>("salida"); // -1: the robot runs, the message is a warning
        QTest::addColumn<QStringList>("claves");
        const int msg = Arranque::kSalidaMensaje;
        auto fila = [](const char* nombre, const char* caso, int salida, const QStringList& claves) {
            QTest::newRow(nombre) << QString::fromUtf8(caso) << salida << claves;
        };
        fila("sin marca de mantenimiento", "marca", msg,
             {"El servidor parece estar en mantenimiento. Por favor verifique e intente de nuevo más tarde."});
        // The maintenance check comes before any database is touched.
        fila("sin marca ni base", "marca+base", msg, {"El servidor parece estar en mantenimiento."});
        fila("sin Vendrix.inf", "inf", msg, {"Vendrix.inf"});
        fila("Vendrix.inf de 2 MB", "inf-grande", msg, {"Vendrix.inf", "1024 KB"});
        fila("Log.log ilegible", "log", msg, {"Log.log"});
        fila("sin base de la tienda", "base", msg, {"Base de Datos.dba"});
        fila("sin base local", "local", msg, {"VendrixFiscal.dba"});
        fila("base sin vista", "vista", msg, {"Consulta Ventas"});
        fila("base que no es base", "basura", msg, {"Base de Datos.dba", "no es una base de datos"});
        fila("base bloqueada", "bloqueada", msg, {"Base de Datos.dba", "bloqueada por otro programa"});
        fila("base de solo lectura", "base-ro", msg, {"Base de Datos.dba", "No se puede escribir", "permiso"});
        fila("carpeta de la base de solo lectura", "datos-ro", msg, {"Base de Datos.dba", "No se puede escribir"});
        fila("Configuración vacía", "config-vacia", msg, {"[Configuración]", "no tiene registros", "ipServidor", "PuertoServicio"});
        fila("Configuración sin puerto", "config-puerto", msg, {"[Configuración]", "PuertoServicio"});
        // The data folder: named with what is wrong; maintenance only for a readable one.
        fila("Datos que no existe", "Datos:/no/hay/tal/", msg, {"No existe la carpeta de datos", "/no/hay/tal/"});
        fila("Datos de otro sistema", "Datos:C:\\Tienda\\", msg, {"No existe la carpeta de datos", "C:\\Tienda\\"});
        fila("Datos es un archivo", "Datos:@inf", msg, {"no es una carpeta", "Vendrix.inf"});
        fila("Datos vacío", "Datos:", msg, {"no indica la carpeta de datos", "Datos:"});
        fila("Datos con coma", "Datos:/srv/tienda,central/", msg, {"línea 1", "coma", "/srv/tienda,central/"});
        fila("Datos ilegible", "datos-000", msg, {"No se puede leer la carpeta de datos"});
        fila("coma en otra línea", "Impresora:Modelo, X", msg, {"línea 2", "coma"});
        fila("caja que no es número", "Caja:tres", msg, {"línea 8", "\"Caja:tres\"", "número de caja"});
        fila("caja negativa", "Caja:-2", msg, {"\"Caja:-2\"", "número de caja"});
        // The printer's port must open as a serial port; a missing device is
        // only warned about (an unplugged adapter). (The simulator's terminal
        // is accepted by every bench that starts a robot on it.)
        fila("puerto malo", "Puerto:impresora", msg, {"\"impresora\""});
        fila("puerto /dev/null", "Puerto:/dev/null", msg, {"/dev/null", "puerto serie", "Puerto:/dev/null"});
        fila("puerto carpeta", "Puerto:@dir", msg, {"puerto serie"});
        fila("puerto FIFO", "Puerto:@fifo", msg, {"fifo", "puerto serie"});
        fila("puerto ausente", "Puerto:/dev/ttyUSB-no-hay", -1, {"/dev/ttyUSB-no-hay", "no existe por ahora"});
        // The single-instance lock: only a live holder is a second copy.
        fila("candado que no es candado", "candado-dir", msg, {"rovend.lock", "no es el candado de otra copia"});
        fila("candado de un proceso muerto", "candado-muerto", -1, {});
        fila("carpeta del programa de solo lectura", "programa-ro", msg, {"rovend.lock", "solo lectura"});
    }
    void entradasMalas()
    {
        QFETCH(QString, caso);
        QFETCH(int, salida);
        QFETCH(QStringList, claves);
        const bool root = ::geteuid() == 0;
        if (root && QStringList{"base-ro", "datos-ro", "datos-000", "programa-ro"}.contains(caso))
            QSKIP("permissions do not stop root; run this row as another user");
        QTemporaryDir dir;
        auto t = nuevaTienda(dir);
        QScopeGuard permisos([&] { // QTemporaryDir must be able to remove it all
            QFile::setPermissions(t->RutaDatos(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        });
        if (caso.contains(':')) { // a line of Vendrix.inf replaced
            QString linea = caso;
            if (linea.endsWith("@inf"))
                linea.replace("@inf", t->ArchivoConfiguracion());
            if (linea.endsWith("@dir"))
                linea.replace("@dir", dir.path());
            if (linea.endsWith("@fifo")) {
                linea.replace("@fifo", dir.filePath("fifo"));
                QCOMPARE(::mkfifo(qPrintable(dir.filePath("fifo")), 0600), 0);
            }
            QVERIFY(CambiarLinea(t->ArchivoConfiguracion(), linea));
        }
        if (caso.contains("marca"))
            QVERIFY(QFile::remove(t->ArchivoMarcaMantenimiento()));
        if (caso.contains("base") && !caso.endsWith("-ro"))
            QVERIFY(QFile::remove(t->ArchivoBaseDatos()));
        if (caso == "basura") {
            QFile f(t->ArchivoBaseDatos());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("esto no es una base de datos SQLite, solo texto de relleno");
        }
        if (caso == "inf")
            QVERIFY(QFile::remove(t->ArchivoConfiguracion()));
        if (caso == "inf-grande") {
            QFile f(t->ArchivoConfiguracion());
            QVERIFY(f.open(QIODevice::Append));
            QVERIFY(f.write(QByteArray(2 * 1024 * 1024, 'x')) > 0);
        }
        if (caso == "local")
            QVERIFY(QFile::remove(t->ArchivoBaseLocal()));
        if (caso == "log") // a folder where the file should be: it cannot be read
            QVERIFY(QDir(dir.path()).mkdir("Log.log"));
        if (caso == "vista")
            QVERIFY(Sql(t->ArchivoBaseDatos(), "DROP VIEW [Consulta Ventas]"));
        if (caso == "config-vacia")
            QVERIFY(Sql(t->ArchivoBaseDatos(), "DELETE FROM [Configuración]"));
        if (caso == "config-puerto")
            QVERIFY(Sql(t->ArchivoBaseDatos(), "UPDATE [Configuración] SET PuertoServicio = NULL"));
        if (caso == "base-ro")
            QVERIFY(QFile::setPermissions(t->ArchivoBaseDatos(), QFile::ReadOwner));
        if (caso == "datos-ro")
            QVERIFY(QFile::setPermissions(t->RutaDatos(), QFile::ReadOwner | QFile::ExeOwner));
        if (caso == "datos-000")
            QVERIFY(QFile::setPermissions(t->RutaDatos(), {}));
        if (caso == "programa-ro") { // Log.log is there from an earlier run
            QFile log(dir.filePath("Log.log"));
            QVERIFY(log.open(QIODevice::WriteOnly) && log.write("0\r\n") == 3);
            log.close();
            QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
        }
        if (caso == "candado-dir")
            QVERIFY(QDir(dir.path()).mkdir("rovend.lock"));
        if (caso == "candado-muerto") {
            QProcess p;
            p.start("true");
            QVERIFY(p.waitForStarted());
            const qint64 pid = p.processId();
            QVERIFY(p.waitForFinished());
            QFile f(dir.filePath("rovend.lock"));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QStringLiteral("%1\nrovend\n%2\n").arg(pid).arg(QSysInfo::machineHostName()).toUtf8());
        }
        // Another program holds the shop database locked for the whole start-up.
        QSqlDatabase otro;
        if (caso == "bloqueada") {
            otro = QSqlDatabase::addDatabase("QSQLITE", "otro");
            otro.setDatabaseName(t->ArchivoBaseDatos());
            QVERIFY(otro.open());
            QVERIFY(QSqlQuery(otro).exec("BEGIN EXCLUSIVE"));
        }
        QElapsedTimer reloj;
        reloj.start();
        Arranque::Resultado r = Arranque::Form_Load(dir.path(), 300);
        if (otro.isValid()) {
            QVERIFY2(reloj.elapsed() >= 250, "a lock is waited for before it is reported");
            otro.close();
            otro = QSqlDatabase();
            QSqlDatabase::removeDatabase("otro");
        }
        const QString texto = salida < 0 ? r.avisos.join('\n') : r.mensaje;
        for (const QString& clave : claves)
            QVERIFY2(texto.contains(clave), qPrintable(texto));
        if (salida < 0) {
            QCOMPARE(int(r.fin), int(Arranque::Fin::Seguir));
            QVERIFY(r.candado && r.candado->isLocked());
            return;
        }
        QCOMPARE(int(r.fin), int(Arranque::Fin::Mensaje));
        QCOMPARE(r.codigoSalida, salida);
        QVERIFY(!r.candado);
        if (caso == "log") // never overwritten
            QVERIFY(QFileInfo(dir.filePath("Log.log")).isDir());
    }

    void segundaCopia()
    {
        QTemporaryDir dir;
        auto t = nuevaTienda(dir);
        Arranque::Resultado primera = Arranque::Form_Load(dir.path());
        QCOMPARE(int(primera.fin), int(Arranque::Fin::Seguir));
        Arranque::Resultado segunda = Arranque::Form_Load(dir.path());
        QCOMPARE(int(segunda.fin), int(Arranque::Fin::Silencio));
        QCOMPARE(segunda.codigoSalida, Arranque::kSalidaSegundaCopia);
        QVERIFY(segunda.mensaje.isEmpty());
        // Once the first copy ends, the folder is free again.
        primera.candado.reset();
        QCOMPARE(int(Arranque::Form_Load(dir.path()).fin), int(Arranque::Fin::Seguir));
    }
};

QTEST_GUILESS_MAIN(TstArranque)
#include "tst_arranque.moc"
