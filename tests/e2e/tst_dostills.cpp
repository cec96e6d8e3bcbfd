// A shop with several tills, with the real programs: a robot per till (each
// with its own printer simulator), one shop database on a PostgreSQL server
// of the test's own, and a writer process adding sales for every till while
// they print. The server restarts once in the middle. The same batch on a
// SQLite shop with one robot is the comparison row.
//
// ROVEND_PG gates the PostgreSQL row (the shared test server is not used: a
// restart would cut the other tests' sessions; this test starts its own with
// scripts/postgres.sh).
#include "ArnesTienda.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <map>
#include <memory>

namespace
{
// A throwaway PostgreSQL server of this test, stopped and removed at the end.
class ServidorPropio
{
  public:
    ~ServidorPropio()
    {
        if (!carpeta_.isEmpty())
            QProcess::execute(QStringLiteral("bash"),
                              {QStringLiteral(POSTGRES_SH), QStringLiteral("detener"), carpeta_});
    }
    // In a temporary folder of the script's choice: the server's system user
    // must be able to reach it.
    bool Iniciar()
    {
        QProcess p;
        p.start(QStringLiteral("bash"), {QStringLiteral(POSTGRES_SH), QStringLiteral("iniciar")});
        if (!p.waitForFinished(120000) || p.exitCode() != 0) {
            error_ = QString::fromLocal8Bit(p.readAllStandardError());
            return false;
        }
        for (const QString& l : QString::fromLocal8Bit(p.readAllStandardOutput()).split('\n')) {
            const qsizetype igual = l.indexOf(QLatin1Char('='));
            if (igual > 0)
                valores_[l.left(igual)] = l.mid(igual + 1);
        }
        carpeta_ = valores_[QStringLiteral("ROVEND_PG_CARPETA")];
        const QStringList partes = valores_[QStringLiteral("ROVEND_PG")].split(QLatin1Char(','));
        if (partes.size() != 4) {
            error_ = QStringLiteral("postgres.sh no dio ROVEND_PG");
            return false;
        }
        servidor.Servidor = partes[0];
        servidor.Puerto = partes[1].toInt();
        servidor.Base = QStringLiteral("Tienda Central");
        servidor.Usuario = partes[3];
        mantenimiento = partes[2];
        clave = valores_[QStringLiteral("PGPASSWORD")];
        return true;
    }
    // "apagar" stops the server (sessions cut), "encender" starts it again.
    bool Orden(const char* orden)
    {
        return QProcess::execute(QStringLiteral("bash"), {QStringLiteral(POSTGRES_SH),
                                                          QString::fromLatin1(orden), carpeta_}) ==
               0;
    }
    QString Error() const { return error_; }

    ServidorBaseDatos servidor;
    QString mantenimiento;
    QString clave;

  private:
    QString carpeta_;
    QString error_;
    std::map<QString, QString> valores_;
};

// The sales of the writer, as the shop database holds them at the end.
struct Venta {
    qlonglong codigo = 0;
    QString cliente;
    int caja = 0;
    QString factura;
    QString control;
    bool impresa = false;
    bool imprimir = true;
    QVariant numeroZ;
};
} // namespace

class TstDosCajas : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void unaTiendaVariasCajas_data();
    void unaTiendaVariasCajas();

  private:
    QList<Venta> Ventas(ArnesTienda& primera);
};

QList<Venta> TstDosCajas::Ventas(ArnesTienda& primera)
{
    QList<Venta> ventas;
    const std::optional<ServidorBaseDatos> s = primera.tienda.Opciones().Servidor;
    const QString conexion = QStringLiteral("dostills.filas");
    {
        QSqlDatabase db;
        if (s) {
            db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), conexion);
            db.setHostName(s->Servidor);
            db.setPort(s->Puerto);
            db.setDatabaseName(s->Base);
            db.setUserName(s->Usuario);
        } else {
            db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), conexion);
            db.setDatabaseName(primera.tienda.ArchivoBaseDatos());
            db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000"));
        }
        if (db.open()) {
            QSqlQuery q(db);
            q.exec(QStringLiteral("SELECT v.\"Código\", c.\"NombreCliente\", v.\"MáquinaFiscal\", "
                                  "v.\"Factura\", v.\"Control\", v.\"Impresa\", v.\"Imprimir\", "
                                  "v.\"NúmeroZ\" FROM \"Ventas\" v "
                                  "JOIN \"Clientes\" c ON c.\"Código\" = v.\"Cliente\" "
                                  "ORDER BY v.\"Código\""));
            while (q.next()) {
                Venta v;
                v.codigo = q.value(0).toLongLong();
                v.cliente = q.value(1).toString();
                v.caja = q.value(2).toInt();
                v.factura = q.value(3).toString();
                v.control = q.value(4).toString();
                v.impresa = !q.value(5).isNull() && q.value(5).toInt() != 0;
                v.imprimir = q.value(6).isNull() || q.value(6).toInt() != 0;
                v.numeroZ = q.value(7);
                ventas.append(v);
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(conexion);
    return ventas;
}

void TstDosCajas::unaTiendaVariasCajas_data()
{
    QTest::addColumn<bool>("postgres");
    QTest::addColumn<int>("cajas");
    QTest::newRow("postgres: dos cajas, el servidor se reinicia") << true << 2;
    QTest::newRow("sqlite: una caja, el mismo lote") << false << 1;
}

void TstDosCajas::unaTiendaVariasCajas()
{
    QFETCH(bool, postgres);
    QFETCH(int, cajas);
    if (postgres && !qEnvironmentVariableIsSet("ROVEND_PG"))
        QSKIP("ROVEND_PG is not set: no PostgreSQL server for this row");
    // The batch: n sales for each of two tills, written two by two.
    const int n = 6;
    const int total = 2 * n;
    const int limiteMs = 120000 + total * 8000;

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    ServidorPropio pg;
    if (postgres)
        QVERIFY2(pg.Iniciar(), qPrintable(pg.Error()));
    // The password reaches the programs only through their environment: till
    // 1 has PGPASSWORD, till 2 and the writer a password file.
    const QString pgpass = dir.filePath(QStringLiteral("pgpass"));
    if (postgres) {
        QFile f(pgpass);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral("%1:%2:*:%3:%4\n")
                    .arg(pg.servidor.Servidor)
                    .arg(pg.servidor.Puerto)
                    .arg(pg.servidor.Usuario, pg.clave)
                    .toUtf8());
        f.close();
        QVERIFY(f.setPermissions(QFile::ReadOwner | QFile::WriteOwner));
    }
    QProcessEnvironment conClave = QProcessEnvironment::systemEnvironment();
    QProcessEnvironment conArchivo = conClave;
    conClave.insert(QStringLiteral("PGPASSWORD"), pg.clave);
    conArchivo.remove(QStringLiteral("PGPASSWORD"));
    conArchivo.insert(QStringLiteral("PGPASSFILE"), pgpass);
    // This process creates the shop: it uses the password too.
    qputenv("PGPASSWORD", pg.clave.toUtf8());

    // A harness per till: its printer, its server simulator, its folder.
    std::vector<std::unique_ptr<ArnesTienda>> lista;
    for (int c = 1; c <= cajas; ++c) {
        OpcionesTienda o;
        o.Caja = c;
        o.Serial = QStringLiteral("SIM000000%1").arg(c);
        if (postgres) {
            o.Servidor = pg.servidor;
            o.BaseMantenimiento = pg.mantenimiento;
            o.BaseExistente = c > 1;
        }
        lista.push_back(std::make_unique<ArnesTienda>());
        QVERIFY2(lista.back()->Preparar(o, {QStringLiteral("--registro"), o.Serial}),
                 qPrintable(lista.back()->Error()));
        lista.back()->tienda.Cerrar();
        lista.back()->EntornoRobot(c == 1 ? conClave : conArchivo);
    }

    // The sales program of the shop: every till's sales, two by two.
    QProcess escritor;
    escritor.setProcessEnvironment(conArchivo);
    QStringList cajasEscritor;
    for (int i = 0; i < 2; ++i)
        cajasEscritor << QString::number(cajas == 2 ? i + 1 : 1);
    escritor.start(QStringLiteral(TIENDADEMO),
                   {lista[0]->tienda.RutaPrograma(), QStringLiteral("--escribir"),
                    QString::number(n), QStringLiteral("--cajas"), cajasEscritor.join(','),
                    QStringLiteral("--pausa"), QStringLiteral("1500")});
    QVERIFY(escritor.waitForStarted(5000));

    for (auto& caja : lista)
        QVERIFY(caja->ArrancarRobot());
    auto impresas = [&] {
        int i = 0;
        for (auto& caja : lista)
            i += int(caja->Diario(QStringLiteral("factura")).size());
        return i;
    };

    // The server restarts while the tills print and the writer writes: just
    // after a sale is written back, so that its till's next look at the
    // database is the polling's. It stays down until a till's polling has
    // found it gone, or until every till has (one inside a run waits for the
    // server there).
    bool reiniciado = false;
    if (postgres) {
        auto escritas = [&] {
            int i = 0;
            for (const Venta& v : Ventas(*lista[0]))
                i += v.impresa ? 1 : 0;
            return i;
        };
        QVERIFY2(QTest::qWaitFor([&] { return escritas() >= std::max(2, total / 3); }, limiteMs),
                 qPrintable(lista[0]->SalidaRobot()));
        QVERIFY2(escritor.state() == QProcess::Running,
                 "the writer ended before the restart: slow it down");
        QVERIFY(pg.Orden("apagar"));
        QVERIFY(QTest::qWaitFor(
            [&] {
                int notaron = 0;
                for (auto& caja : lista) {
                    const QString salida = caja->SalidaRobot();
                    if (salida.contains(QStringLiteral("no se pudieron leer los pendientes")))
                        return true;
                    notaron += salida.contains(QStringLiteral("Se perdió la conexión")) ? 1 : 0;
                }
                return notaron == cajas;
            },
            30000));
        QVERIFY(pg.Orden("encender"));
        reiniciado = true;
    }

    QVERIFY2(escritor.waitForFinished(limiteMs), "the writer did not end");
    const QString salidaEscritor = QString::fromLocal8Bit(escritor.readAllStandardOutput());
    const QString erroresEscritor = QString::fromLocal8Bit(escritor.readAllStandardError());
    QVERIFY2(escritor.exitCode() == 0, qPrintable(erroresEscritor));
    QCOMPARE(salidaEscritor.count(QRegularExpression(QStringLiteral("^venta "),
                                                     QRegularExpression::MultilineOption)),
             total);
    QVERIFY2(QTest::qWaitFor([&] { return impresas() >= total; }, limiteMs),
             qPrintable(QStringLiteral("%1 de %2 impresas\n").arg(impresas()).arg(total) +
                        lista[0]->SalidaRobot()));
    // Written back: nothing left pending on any till.
    QVERIFY(QTest::qWaitFor(
        [&] {
            for (const Venta& v : Ventas(*lista[0]))
                if (!v.impresa)
                    return false;
            return true;
        },
        30000));

    for (auto& caja : lista)
        QCOMPARE(caja->TerminarRobot(), 0);

    // Each sale printed exactly once, on its own till's printer, and written
    // back with that printer's number.
    const QList<Venta> ventas = Ventas(*lista[0]);
    QCOMPARE(ventas.size(), total);
    std::map<int, std::map<QString, QJsonObject>> porCaja;
    for (int c = 1; c <= cajas; ++c) {
        for (const QJsonObject& f : lista[c - 1]->Diario(QStringLiteral("factura"))) {
            const QString cliente = f.value(QStringLiteral("cliente")).toString();
            QVERIFY2(!porCaja[c].count(cliente),
                     qPrintable(QStringLiteral("impresa dos veces: ") + cliente));
            porCaja[c][cliente] = f;
        }
    }
    for (const Venta& v : ventas) {
        const int esperada = cajas == 2 ? v.caja : 1;
        QVERIFY2(v.cliente.startsWith(QStringLiteral("Caja %1 ").arg(v.caja)),
                 qPrintable(v.cliente));
        QVERIFY2(porCaja[esperada].count(v.cliente), qPrintable(v.cliente));
        for (const auto& [numero, docs] : porCaja)
            QVERIFY(numero == esperada || !docs.count(v.cliente));
        const int numero = porCaja[esperada][v.cliente].value(QStringLiteral("numero")).toInt();
        QCOMPARE(v.factura, QStringLiteral("%1").arg(numero, 8, 10, QLatin1Char('0')));
        QCOMPARE(v.control, v.factura);
        QVERIFY(v.impresa);
        QVERIFY(!v.imprimir);
        QVERIFY(v.numeroZ.toInt() >= 1);
    }

    // No run gave up, and the lost server was told once per outage.
    for (auto& caja : lista) {
        const QString salida = caja->SalidaRobot();
        QVERIFY2(!salida.contains(QStringLiteral("No se pudo realizar la tarea")),
                 qPrintable(salida));
        const int perdidas = int(salida.count(QStringLiteral("Se perdió la conexión")));
        const int vueltas = int(salida.count(QStringLiteral("restablecida")));
        QCOMPARE(vueltas, perdidas);
        if (reiniciado)
            QVERIFY2(perdidas >= 1, qPrintable(salida));
        // The polling reports a lost server once, and once that it is back.
        const int listas = int(salida.count(QStringLiteral("no se pudieron leer los pendientes")));
        QVERIFY(listas <= perdidas);
        QCOMPARE(int(salida.count(QStringLiteral("pendientes legibles de nuevo"))), listas);
    }
    if (postgres)
        QVERIFY(lista[0]->tienda.BorrarBase());
}

QTEST_GUILESS_MAIN(TstDosCajas)
#include "tst_dostills.moc"
