#include "Arranque.h"
#include "TiendaDemo.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

class TstArranque : public QObject
{
    Q_OBJECT

    // A fresh demo shop in its own folder.
    std::unique_ptr<TiendaDemo> nuevaTienda(QTemporaryDir& dir, const OpcionesTienda& o = {})
    {
        auto t = std::make_unique<TiendaDemo>();
        if (!t->Crear(dir.path(), o))
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
        QTest::addColumn<QString>("caso");
        QTest::addColumn<QString>("mensajeContiene");
        QTest::newRow("sin marca de mantenimiento")
            << "marca" << "El servidor parece estar en mantenimiento. Por favor verifique e intente de nuevo más tarde.";
        // The maintenance check comes before any database is touched.
        QTest::newRow("sin marca ni base") << "marca+base" << "El servidor parece estar en mantenimiento.";
        QTest::newRow("sin Vendrix.inf") << "inf" << "Vendrix.inf";
        QTest::newRow("Log.log ilegible") << "log" << "Log.log";
        QTest::newRow("sin base de la tienda") << "base" << "Base de Datos.dba";
        QTest::newRow("sin base local") << "local" << "VendrixFiscal.dba";
        QTest::newRow("base sin vista") << "vista" << "Consulta Ventas";
        QTest::newRow("base que no es base") << "basura" << "Base de Datos.dba";
        QTest::newRow("puerto malo") << "puerto" << "\"impresora\"";
    }
    void entradasMalas()
    {
        QFETCH(QString, caso);
        QFETCH(QString, mensajeContiene);
        QTemporaryDir dir;
        OpcionesTienda o;
        if (caso == "puerto")
            o.Puerto = QStringLiteral("impresora");
        auto t = nuevaTienda(dir, o);
        if (caso.contains("marca"))
            QVERIFY(QFile::remove(t->ArchivoMarcaMantenimiento()));
        if (caso.contains("base"))
            QVERIFY(QFile::remove(t->ArchivoBaseDatos()));
        if (caso == "basura") {
            QFile f(t->ArchivoBaseDatos());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("esto no es una base de datos SQLite, solo texto de relleno");
        }
        if (caso == "inf")
            QVERIFY(QFile::remove(t->ArchivoConfiguracion()));
        if (caso == "local")
            QVERIFY(QFile::remove(t->ArchivoBaseLocal()));
        if (caso == "log") // a folder where the file should be: it cannot be read
            QVERIFY(QDir(dir.path()).mkdir("Log.log"));
        if (caso == "vista") {
            {
                QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "vista");
                db.setDatabaseName(t->ArchivoBaseDatos());
                QVERIFY(db.open());
                QVERIFY(QSqlQuery(db).exec("DROP VIEW [Consulta Ventas]"));
            }
            QSqlDatabase::removeDatabase("vista");
        }

        Arranque::Resultado r = Arranque::Form_Load(dir.path());
        QCOMPARE(int(r.fin), int(Arranque::Fin::Mensaje));
        QCOMPARE(r.codigoSalida, Arranque::kSalidaMensaje);
        QVERIFY2(r.mensaje.contains(mensajeContiene), qPrintable(r.mensaje));
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
