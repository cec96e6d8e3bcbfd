// Invoices and credit notes against the simulator when the line, the printer
// or the database fails in the middle of a document. For each fault: what
// reached the paper, what the database and the marker hold, what the
// operator was told; then the operator's way out (a reset where the printer
// holds the document open, the fault gone, "Iniciar") must print the
// document exactly once, complete, with the printer's number written back.
#include "apoyo/BancoImpresion.h"
#include "documentos/ImpresionFactura.h"
#include "documentos/ImpresionNotaCredito.h"
#include "tienda/ArchivoMarca.h"

#include <QDir>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

namespace
{
using Tipo = DocumentoImpreso::Tipo;

// A connection of another program that holds the shop's write lock for a while.
class Bloqueo
{
  public:
    Bloqueo(const QString& archivo, int ms)
    {
        std::atomic<bool> listo{false};
        hilo_ = std::thread([this, archivo, ms, &listo] {
            {
                QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "otro.programa");
                db.setDatabaseName(archivo);
                if (db.open()) {
                    QSqlQuery q(db);
                    tomado_ = q.exec("BEGIN IMMEDIATE");
                }
                listo = true;
                std::this_thread::sleep_for(std::chrono::milliseconds(ms));
                QSqlQuery(db).exec("ROLLBACK");
                db.close();
            }
            QSqlDatabase::removeDatabase("otro.programa");
        });
        while (!listo)
            std::this_thread::yield();
    }
    ~Bloqueo() { hilo_.join(); }
    bool Tomado() const { return tomado_; }

  private:
    std::thread hilo_;
    bool tomado_ = false;
};

// The fault, armed on the bench; it may act before a frame goes out (the
// port is opened for each frame).
struct Contexto {
    BancoImpresion& banco;
    std::unique_ptr<Bloqueo> bloqueo;
    std::atomic<bool> cancelar{false};
    int articulos = 0; // item frames seen
};
using Falla = std::function<void(Contexto&, const QByteArray& trama)>;

// Acts once, when the n-th item goes out (before the printer gets it).
Falla EnArticulo(int n, const std::function<void(Contexto&)>& f)
{
    return [=](Contexto& c, const QByteArray& t) {
        if (t.at(2) == 'B' && ++c.articulos == n)
            f(c);
    };
}
// Acts once, when the closing "E" goes out.
Falla EnCierre(const std::function<void(Contexto&)>& f)
{
    return [=](Contexto& c, const QByteArray& t) {
        if (t.mid(2, 2) == "E\x03" && c.articulos >= 0) {
            c.articulos = -1;
            f(c);
        }
    };
}
Falla Orden(const QString& orden)
{
    return [=](Contexto& c, const QByteArray&) {
        if (c.articulos == 0) {
            c.articulos = -2; // once, before the run
            c.banco.sim->control(orden);
        }
    };
}
std::function<void(Contexto&)> Sim(const QString& orden)
{
    return [=](Contexto& c) { c.banco.sim->control(orden); };
}
std::function<void(Contexto&)> Bloquear(int ms)
{
    return [=](Contexto& c) {
        c.bloqueo = std::make_unique<Bloqueo>(c.banco.tienda.ArchivoBaseDatos(), ms);
    };
}
} // namespace
Q_DECLARE_METATYPE(Falla)

class TstFallas : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    // What the marker's text names: the exact code, never through a floating
    // point; "0" or nothing names no document.
    void Marca_data()
    {
        QTest::addColumn<QByteArray>("texto");
        QTest::addColumn<qlonglong>("codigo"); // -1: none
        QTest::newRow("start-up's zero") << QByteArray("0\r\n") << -1LL;
        QTest::newRow("empty") << QByteArray() << -1LL;
        QTest::newRow("old restore of zero") << QByteArray(" 0\r\n") << -1LL;
        QTest::newRow("document zero") << QByteArray(" 0\r\nantes=00000041\r\n") << 0LL;
        QTest::newRow("ordinary") << QByteArray(" 4711\r\n") << 4711LL;
        QTest::newRow("comma ends it") << QByteArray(" 4711,x\r\n") << 4711LL;
        QTest::newRow("10^16 exact") << QByteArray(" 10000000000000001\r\n") << 10000000000000001LL;
        QTest::newRow("written through a double") << QByteArray(" 1E+16\r\n") << -1LL;
        QTest::newRow("text") << QByteArray("abc\r\n") << -1LL;
    }
    void Marca()
    {
        QFETCH(QByteArray, texto);
        QFETCH(qlonglong, codigo);
        const ArchivoMarca::Marca m = ArchivoMarca::Interpretar(texto);
        QCOMPARE(m.Codigo.value_or(-1), codigo);
        // What is written reads back the same.
        QCOMPARE(ArchivoMarca::Interpretar(ArchivoMarca::Contenido(m)), m);
    }
    void MarcaCompleta()
    {
        ArchivoMarca::Marca m{10000000000000001LL, "00000041", "00000042", 8};
        QCOMPARE(ArchivoMarca::Contenido(m),
                 QByteArray(" 10000000000000001\r\nantes=00000041\r\nnumero=00000042\r\nz=8\r\n"));
        QCOMPARE(ArchivoMarca::Interpretar(ArchivoMarca::Contenido(m)), m);
    }

    void Documento_data()
    {
        QTest::addColumn<bool>("nota");
        QTest::addColumn<Falla>("falla");
        QTest::addColumn<QString>("aviso"); // a part of the message; empty: none
        QTest::addColumn<bool>("abierto");  // the printer holds the document open
        QTest::addColumn<bool>("numero");   // the marker keeps the printer's number
        QTest::addColumn<int>("impresos");  // documents on paper after the first run
        for (const bool nota : {false, true}) {
            const auto fila = [nota](const char* nombre, const Falla& f, const QString& aviso,
                                     bool abierto = false, bool numero = false, int impresos = 0) {
                QTest::newRow(qPrintable(QString(nota ? "note: " : "invoice: ") + nombre))
                    << nota << f << aviso << abierto << numero << impresos;
            };
            fila("nothing wrong", {}, {}, false, false, 1);
            // The printer printed the item; its reply was lost or damaged.
            fila("item reply lost", EnArticulo(2, Sim("perder-respuesta 1")),
                 "no confirmó una línea", true);
            fila("item reply damaged", EnArticulo(2, Sim("corromper suma 1")),
                 "no confirmó una línea", true);
            fila("item reply without end", EnArticulo(2, Sim("sin-etx 100000")),
                 "no confirmó una línea", true);
            // A stop (second SIGTERM, the server's "X%") writes nothing more.
            fila("stop in the middle", EnArticulo(2, [](Contexto& c) { c.cancelar = true; }),
                 "no confirmó una línea", true);
            fila("printer off at the closing", EnCierre(Sim("apagar on")),
                 "el cierre no llegó a la impresora", true);
            fila("closing reply lost", EnCierre(Sim("perder-respuesta 1")), {}, false, false, 1);
            fila("database locked a moment", EnCierre(Bloquear(400)), {}, false, false, 1);
            fila("database locked too long", EnCierre(Bloquear(2500)), "database is locked", false,
                 true, 1);
            fila("write-back refused", EnCierre([](Contexto& c) {
                     c.banco.tienda.Ejecutar(
                         {"CREATE TRIGGER No1 BEFORE UPDATE ON Ventas BEGIN SELECT "
                          "RAISE(ABORT, 'solo lectura'); END",
                          "CREATE TRIGGER No2 BEFORE UPDATE ON [NotaCréditoVenta] BEGIN SELECT "
                          "RAISE(ABORT, 'solo lectura'); END"});
                 }),
                 "solo lectura", false, true, 1);
            // Numbers only from good replies: a damaged or refused state reply
            // is asked again, never read as a Z.
            fila("state reply damaged", Orden("corromper campo 1"), {}, false, false, 1);
            fila("state query refused", Orden("rechazar-enesimo 1"), {}, false, false, 1);
            fila("endless busy bytes", Orden("ocupado-siempre on"), "no respondió a la consulta");
            fila("printer off", Orden("apagar on"), "no respondió a la consulta");
        }
    }
    void Documento()
    {
        QFETCH(bool, nota);
        QFETCH(Falla, falla);
        QFETCH(QString, aviso);
        QFETCH(bool, abierto);
        QFETCH(bool, numero);
        QFETCH(int, impresos);
        BancoImpresion banco;
        QVERIFY2(banco.Crear(), qPrintable(banco.Error()));
        banco.sim->ponerContadores({41, 122, 0, 7});
        banco.enlace->tiempos.esperaBaseMs = 1000;
        banco.enlace->tiempos.limiteOcupadoMs = 300;
        Contexto c{banco, nullptr};
        banco.enlace->cancelar = &c.cancelar;
        if (falla)
            banco.puerto->AntesDeAbrir = [&] { falla(c, banco.enlace->Comando); };

        QList<LineaDemo> lineas;
        for (const char* n : {"Arroz", "Harina", "Aceite"})
            lineas << LineaDemo{"P", n, {}, 1, 1, 10.0, 0, {}};
        qlonglong codigo = 0;
        if (nota) {
            NotaDemo n;
            n.Lineas = lineas;
            codigo = banco.tienda.AgregarNota(n);
        } else {
            VentaDemo v;
            v.Lineas = lineas;
            codigo = banco.tienda.AgregarVenta(v);
        }
        QVERIFY(codigo > 0);
        ImpresionNotaCredito notas(*banco.ctx);
        const auto correr = [&] {
            banco.timer = true;
            nota ? banco.TurnoNota(notas) : banco.TurnoFactura();
        };
        const qsizetype antesDelCancel = banco.enviados.size();
        correr();
        c.bloqueo.reset();

        const Tipo tipo = nota ? Tipo::NotaCredito : Tipo::Factura;
        const auto delTipo = [&] {
            QList<DocumentoImpreso> r;
            for (const DocumentoImpreso& d : banco.sim->documentos())
                if (d.tipo == tipo)
                    r << d;
            return r;
        };
        const QStringList mensajes = banco.pantalla.Mensajes();
        if (aviso.isEmpty()) {
            QVERIFY2(mensajes.isEmpty(), qPrintable(mensajes.join('|')));
        } else {
            QCOMPARE(mensajes.size(), 1);
            QVERIFY2(mensajes[0].contains(aviso), qPrintable(mensajes[0]));
            if (impresos > 0) // the message names the number the printer gave
                QVERIFY2(mensajes[0].contains(nota ? "00000123" : "00000042"),
                         qPrintable(mensajes[0]));
        }
        QCOMPARE(delTipo().size(), impresos);
        QCOMPARE(banco.sim->codigoEstado() == "01", abierto);
        if (c.cancelar)                                          // nothing written after the stop
            QCOMPARE(banco.enviados.size() - antesDelCancel, 5); // 8N 8T @ B B
        const ArchivoMarca::Marca marca =
            ArchivoMarca(
                QDir(banco.tienda.RutaPrograma()).filePath(nota ? "LogNota.log" : "Log.log"))
                .Leer()
                .value_or(ArchivoMarca::Marca());
        QCOMPARE(!marca.Numero.isEmpty(), numero);
        QCOMPARE(marca.Codigo == codigo, impresos > 0);

        // The operator's way out, then the document goes once, complete.
        c.cancelar = false;
        banco.puerto->AntesDeAbrir = {};
        QVERIFY(banco.sim->control("normal").ok);
        banco.tienda.Ejecutar({"DROP TRIGGER IF EXISTS No1", "DROP TRIGGER IF EXISTS No2"});
        if (abierto)
            banco.comandos->Resetear();
        correr();
        if (delTipo().isEmpty()) // settled by the recovery, printed at the next turn
            correr();
        const QList<DocumentoImpreso> docs = delTipo();
        QCOMPARE(docs.size(), 1);
        int articulos = 0;
        for (const auto& r : docs[0].renglones)
            articulos += r.clase == DocumentoImpreso::Renglon::Clase::Articulo;
        QCOMPARE(articulos, 3);
        const auto fila = nota ? banco.base.NotaCredito(codigo) : banco.base.Venta(codigo);
        QVERIFY(fila && !fila->isEmpty());
        QCOMPARE(fila->first().value("Control").toString(),
                 QStringLiteral("%1").arg(docs[0].numero, 8, 10, QChar('0')));
        QCOMPARE(fila->first().value("NúmeroZ").toInt(), 8);
        QCOMPARE(banco.sim->codigoEstado() == "01", false);
    }
};

QTEST_GUILESS_MAIN(TstFallas)
#include "tst_fallas.moc"
