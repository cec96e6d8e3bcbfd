// A shop with several tills, with the real programs: a robot per till (each
// with its own printer simulator), one shop database on a PostgreSQL server
// of the test's own, and a writer process adding sales for every till while
// they print. The server restarts once in the middle. The same batch on a
// SQLite shop with one robot is the comparison row.
//
// ROVEND_PG gates the PostgreSQL row (the shared test server is not used: a
// restart would cut the other tests' sessions; this test starts its own with
// scripts/postgres.sh). ROVEND_VENTAS_POR_CAJA and ROVEND_PAUSA_ESCRITOR size
// the batch for measurements; the wall time is printed either way.
#include "ArnesTienda.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <map>
#include <memory>

namespace
{
int Entorno(const char* nombre, int predeterminado)
{
    bool ok = false;
    const int v = qEnvironmentVariableIntValue(nombre, &ok);
    return ok && v > 0 ? v : predeterminado;
}

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

// One till: its program folder, printer simulator and robot.
struct Caja {
    int numero = 0;
    TiendaDemo tienda;
    QProcess impresora;
    QProcess robot;
    QByteArray salida;
    QString diario;

    QString Salida()
    {
        salida += robot.readAll();
        return QString::fromLocal8Bit(salida);
    }
    QList<QJsonObject> Facturas() const
    {
        QList<QJsonObject> docs;
        QFile f(diario);
        if (!f.open(QIODevice::ReadOnly))
            return docs;
        for (const QByteArray& linea : f.readAll().split('\n')) {
            const QJsonObject d = QJsonDocument::fromJson(linea).object();
            if (d.value(QStringLiteral("tipo")).toString() == QLatin1String("factura"))
                docs.append(d);
        }
        return docs;
    }
    int Terminar()
    {
        if (robot.state() == QProcess::NotRunning)
            return robot.exitCode();
        ::kill(pid_t(robot.processId()), SIGTERM);
        if (!QTest::qWaitFor([&] { return robot.state() == QProcess::NotRunning; }, 30000))
            return -1;
        Salida();
        return robot.exitStatus() == QProcess::NormalExit ? robot.exitCode() : -1;
    }
    ~Caja()
    {
        for (QProcess* p : {&robot, &impresora}) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(5000);
            }
        }
    }
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
    QList<Venta> Ventas(Caja& primera);
};

QList<Venta> TstDosCajas::Ventas(Caja& primera)
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
    const int n = Entorno("ROVEND_VENTAS_POR_CAJA", 6);
    const int pausa = Entorno("ROVEND_PAUSA_ESCRITOR", 1500);
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

    QProcess servidor;
    auto fin = qScopeGuard([&] {
        servidor.kill();
        servidor.waitForFinished(5000);
    });
    servidor.start(QStringLiteral(SIMSERVIDOR), {QStringLiteral("--puerto"), QStringLiteral("0")});
    QVERIFY(servidor.waitForStarted(5000));
    QVERIFY(QTest::qWaitFor([&] { return servidor.canReadLine(); }, 10000));
    const int puertoServidor = QString::fromLatin1(servidor.readLine()).trimmed().toInt();
    QByteArray salidaServidor;

    std::vector<std::unique_ptr<Caja>> lista;
    for (int c = 1; c <= cajas; ++c) {
        auto caja = std::make_unique<Caja>();
        caja->numero = c;
        const QString enlace = dir.filePath(QStringLiteral("impresora%1").arg(c));
        caja->diario = dir.filePath(QStringLiteral("diario%1.jsonl").arg(c));
        caja->impresora.start(
            QStringLiteral(SIMFISCAL),
            {QStringLiteral("--enlace"), enlace, QStringLiteral("--diario"), caja->diario,
             QStringLiteral("--rollo"), dir.filePath(QStringLiteral("rollo%1.txt").arg(c)),
             QStringLiteral("--estado-archivo"),
             dir.filePath(QStringLiteral("impresora%1.json").arg(c)), QStringLiteral("--registro"),
             QStringLiteral("SIM000000%1").arg(c), QStringLiteral("--stdin-control")});
        QVERIFY(caja->impresora.waitForStarted(5000));
        QVERIFY(QTest::qWaitFor([&] { return caja->impresora.canReadLine(); }, 10000));
        OpcionesTienda o;
        o.Caja = c;
        o.Puerto = enlace;
        o.ServidorIp = QStringLiteral("127.0.0.1");
        o.ServidorPuerto = puertoServidor;
        o.Serial = QStringLiteral("SIM000000%1").arg(c);
        if (postgres) {
            o.Servidor = pg.servidor;
            o.BaseMantenimiento = pg.mantenimiento;
            o.BaseExistente = c > 1;
        }
        QVERIFY2(caja->tienda.Crear(dir.filePath(QStringLiteral("caja%1").arg(c)), o),
                 qPrintable(caja->tienda.Error()));
        caja->tienda.Cerrar();
        caja->robot.setProcessChannelMode(QProcess::MergedChannels);
        caja->robot.setProcessEnvironment(c == 1 ? conClave : conArchivo);
        lista.push_back(std::move(caja));
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
                    QStringLiteral("--pausa"), QString::number(pausa)});
    QVERIFY(escritor.waitForStarted(5000));

    QElapsedTimer reloj;
    reloj.start();
    for (auto& caja : lista) {
        caja->robot.start(QStringLiteral(ROVEND),
                          {QStringLiteral("--sin-ventana"), QStringLiteral("--carpeta"),
                           caja->tienda.RutaPrograma()});
        QVERIFY(caja->robot.waitForStarted(5000));
        // One at a time onto the server simulator, which keeps the newest
        // link: the first till goes on printing without it.
        QVERIFY2(QTest::qWaitFor(
                     [&] {
                         salidaServidor += servidor.readAllStandardOutput();
                         return salidaServidor.count("< L%") >= caja->numero;
                     },
                     30000),
                 qPrintable(caja->Salida()));
    }
    auto impresas = [&] {
        int i = 0;
        for (auto& caja : lista)
            i += int(caja->Facturas().size());
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
                 qPrintable(lista[0]->Salida()));
        QVERIFY2(escritor.state() == QProcess::Running,
                 "the writer ended before the restart: slow it down");
        QVERIFY(pg.Orden("apagar"));
        QElapsedTimer caido;
        caido.start();
        QVERIFY(QTest::qWaitFor(
            [&] {
                int notaron = 0;
                for (auto& caja : lista) {
                    const QString salida = caja->Salida();
                    if (salida.contains(QStringLiteral("no se pudieron leer los pendientes")))
                        return true;
                    notaron += salida.contains(QStringLiteral("Se perdió la conexión")) ? 1 : 0;
                }
                return notaron == cajas;
            },
            30000));
        QVERIFY(pg.Orden("encender"));
        reiniciado = true;
        qInfo("servidor caído %.1f s, con %d de %d facturas impresas", caido.elapsed() / 1000.0,
              impresas(), total);
    }

    QVERIFY2(escritor.waitForFinished(limiteMs), "the writer did not end");
    const QString salidaEscritor = QString::fromLocal8Bit(escritor.readAllStandardOutput());
    const QString erroresEscritor = QString::fromLocal8Bit(escritor.readAllStandardError());
    QVERIFY2(escritor.exitCode() == 0, qPrintable(erroresEscritor));
    qInfo("escritor: %d ventas, %d intentos fallidos", total,
          int(erroresEscritor.count(QStringLiteral("escritor:"))));
    QCOMPARE(salidaEscritor.count(QRegularExpression(QStringLiteral("^venta "),
                                                     QRegularExpression::MultilineOption)),
             total);
    QVERIFY2(QTest::qWaitFor([&] { return impresas() >= total; }, limiteMs),
             qPrintable(QStringLiteral("%1 de %2 impresas\n").arg(impresas()).arg(total) +
                        lista[0]->Salida()));
    // Written back: nothing left pending on any till.
    QVERIFY(QTest::qWaitFor(
        [&] {
            for (const Venta& v : Ventas(*lista[0]))
                if (!v.impresa)
                    return false;
            return true;
        },
        30000));
    const qint64 ms = reloj.elapsed();
    qInfo("%s: %d facturas en %d caja(s): %.1f s (%.2f s por factura)",
          postgres ? "postgres" : "sqlite", total, cajas, ms / 1000.0, ms / 1000.0 / total);

    for (auto& caja : lista)
        QCOMPARE(caja->Terminar(), 0);

    // Each sale printed exactly once, on its own till's printer, and written
    // back with that printer's number.
    const QList<Venta> ventas = Ventas(*lista[0]);
    QCOMPARE(ventas.size(), total);
    std::map<int, std::map<QString, QJsonObject>> porCaja;
    for (auto& caja : lista) {
        for (const QJsonObject& f : caja->Facturas()) {
            const QString cliente = f.value(QStringLiteral("cliente")).toString();
            QVERIFY2(!porCaja[caja->numero].count(cliente),
                     qPrintable(QStringLiteral("impresa dos veces: ") + cliente));
            porCaja[caja->numero][cliente] = f;
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
        const QString salida = caja->Salida();
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
        qInfo("caja %d: conexión perdida %d vez/veces, restablecida %d, listas sin leer %d",
              caja->numero, perdidas, vueltas, listas);
    }
    if (postgres)
        QVERIFY(lista[0]->tienda.BorrarBase());
}

QTEST_GUILESS_MAIN(TstDosCajas)
#include "tst_dostills.moc"
