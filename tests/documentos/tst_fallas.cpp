// The run every built document goes through (CorridaDocumento), for invoices
// and credit notes alike, against the simulator and a demo shop. For each
// fault of the line, the printer or the database, and for each state a run
// cut short leaves behind: what reached the paper, what the database and the
// marker hold, what the operator was told; then the operator's way out (a
// reset when the message asks for one, the fault gone, "Iniciar") leaves the
// document printed exactly once, with the printer's number written back.
#include "Tablas.h"
#include "apoyo/BancoImpresion.h"
#include "motor/TurnoImpresion.h"
#include "tienda/ArchivoMarca.h"

#include <QDir>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

#include <atomic>
#include <latch>
#include <thread>

namespace
{
const QString kEtapa = "No se pudo realizar la tarea. Por favor verifique la etapa ";
const QString kAnular = "\rAnule ese documento en la impresora (reset) e inicie el robot de "
                        "nuevo: la %3 se imprimirá completa.";
const QStringList kArticulos{"Arroz", "Harina", "Aceite"};
const QString kCliente = "Cliente de contado";

// One pending document of either kind, three items, on a bench whose printer
// stands at invoice 41, note 122 and Z 7.
class Banco : public BancoImpresion
{
  public:
    bool nota = false;
    qlonglong codigo = 0;
    std::unique_ptr<ImpresionNotaCredito> notas;
    // Acts before each frame goes out; `mudo`: every wait for a reply is short.
    std::function<void(Banco&, const QByteArray& trama)> falla;
    bool mudo = false;
    QMap<char, int> tramas; // frames seen, by command byte
    std::atomic<bool> cancelar{false};
    std::jthread bloqueo;                        // another program holding the shop's write lock
    std::function<void()> deshacer;              // what the operator does about the fault
    std::optional<ArchivoMarca::Marca> alCerrar; // the marker as the closing went out

    bool Preparar(bool esNota)
    {
        nota = esNota;
        if (!Crear())
            return false;
        sim->ponerContadores({41, 122, 0, 7});
        enlace->cancelar = &cancelar;
        const Tiempos t = enlace->tiempos;
        puerto->AntesDeAbrir = [this, t] {
            enlace->tiempos.esperaCortaMs = mudo ? 200 : t.esperaCortaMs;
            enlace->tiempos.esperaLargaMs = mudo ? 200 : t.esperaLargaMs;
            const QByteArray c = enlace->Comando.mid(2);
            if (c.startsWith("E\x03") && !alCerrar)
                alCerrar = Marca().Leer();
            ++tramas[c.at(0)];
            if (falla)
                falla(*this, c);
        };
        notas = std::make_unique<ImpresionNotaCredito>(*ctx);
        VentaDemo v;
        for (const QString& n : kArticulos)
            v.Lineas << LineaDemo{"P", n, {}, 1, 1, 10.0, 0, {}};
        NotaDemo n;
        n.Lineas = v.Lineas;
        codigo = nota ? tienda.AgregarNota(n) : tienda.AgregarVenta(v);
        return codigo > 0 && Marca().Escribir(ArchivoMarca::Marca::De(77));
    }
    // One turn; `enviados` and `tramas` hold its frames.
    void Correr()
    {
        enviados.clear();
        tramas.clear();
        ImpresionFactura factura(*ctx);
        TurnoImpresion turno(*this, pantalla, factura, *notas);
        nota ? turno.Nota() : turno.Factura();
    }
    void Enviar(const QByteArray& comando)
    {
        enlace->Comando = comando;
        enlace->EnviarComando();
    }
    // This document on paper (the others have other customers).
    QList<DocumentoImpreso> Impresos() const
    {
        QList<DocumentoImpreso> r;
        for (const DocumentoImpreso& d : sim->documentos())
            if (d.cliente == kCliente && d.esFiscal())
                r << d;
        return r;
    }
    QSqlRecord Fila() { return (nota ? base.NotaCredito(codigo) : base.Venta(codigo))->value(0); }
    ArchivoMarca Marca() const
    {
        return ArchivoMarca(QDir(tienda.RutaPrograma()).filePath(nota ? "LogNota.log" : "Log.log"));
    }
    // %1: the document's table.
    bool Sql(QString sentencia)
    {
        return tienda.Ejecutar({sentencia.replace("%1", nota ? "[NotaCréditoVenta]" : "Ventas")});
    }
    int Pendientes() { return (nota ? RefrescarNotas() : RefrescarFacturas())->size(); }
    // %0 "verify the stage", %1 the code, %2 and %3 the kind's long and short
    // name, %4 its marker file, %5 the number the printer gives it, %6 the last
    // exchange, which an invoice's message with a stage shows.
    QString Texto(QString t) const
    {
        const QStringList v =
            QStringList{kEtapa, QString::number(codigo)} +
            (nota ? QStringList{"nota de crédito", "nota", "LogNota.log", "00000123", ""}
                  : QStringList{"factura", "factura", "Log.log", "00000042",
                                "\rEntrada: …\rSalida: …"});
        for (qsizetype i = 0; i < v.size(); ++i)
            t.replace(QStringLiteral("%%1").arg(i), v[i]);
        return t;
    }
};

using Accion = std::function<void(Banco&)>;

// Once, before the n-th frame of command byte `c` goes out: the second "B" is
// the second item, the second "E" the closing (after "E" FS "A").
Accion Antes(char c, int n, const Accion& f)
{
    return [=](Banco& b) {
        b.falla = [=](Banco& x, const QByteArray& t) {
            if (t.at(0) == c && x.tramas[c] == n)
                f(x);
        };
    };
}
const auto Sim = [](const QString& o) { return Accion([=](Banco& b) { b.sim->control(o); }); };
// A fault that leaves the printer silent: the wait for its reply is short,
// and for every reply of the run when `siempre`.
Accion Mudo(const QString& orden, bool siempre = false)
{
    return [=](Banco& b) {
        b.sim->control(orden);
        b.mudo = siempre;
        b.enlace->tiempos.esperaCortaMs = b.enlace->tiempos.esperaLargaMs = 200;
    };
}
// A change of the shop, and what the operator does to undo it.
Accion Cambio(const QString& hacer, const QString& deshacer)
{
    return [=](Banco& b) {
        b.Sql(hacer);
        b.deshacer = [&b, deshacer] { b.Sql(deshacer); };
    };
}
// The shop refuses every update of the document's table with `error`.
Accion Rechazo(const QString& error)
{
    return Cambio("CREATE TRIGGER No BEFORE UPDATE ON %1 BEGIN SELECT RAISE(ABORT, '" + error +
                      "'); END",
                  "DROP TRIGGER No");
}
// Frames sent by hand, as another program or an earlier run did: a document
// of `cliente` opened, then "B" an item, "A" the end of items, "E" the closing.
Accion AMano(const QByteArray& cliente, const QByteArray& pasos)
{
    return [=](Banco& b) {
        const QByteArray d(1, '\x7f');
        b.Enviar(b.nota ? ComandosFiscales::Armar(
                              '@', {cliente, "V-1", "", "SIM0000001", "", "1200", "D", d})
                        : ComandosFiscales::Armar('@', {cliente, "V-1"}));
        for (const char p : pasos)
            b.Enviar(p == 'B' ? ComandosFiscales::Armar(
                                    'B', {"Arroz", "1000", "1000", "1200", "M", d, d, d})
                     : p == 'A' ? ComandosFiscales::Armar('E', {"A"})
                                : QByteArray("E"));
    };
}
// The marker a run that sent this document's closing left, with the number
// the printer showed before it.
const auto Marcada = [](Banco& b) {
    b.Marca().Escribir(ArchivoMarca::Marca::De(b.codigo, b.nota ? "0122" : "00000041"));
};

// What a run leaves: the printer holds the document open (Abierto); the
// marker names it (Cerrada: its closing went out) and keeps the printer's
// number for the write-back (Numero), or names no document (SinMarca); it is
// on paper (Impreso); the run sent no opening (SinApertura); a note is not
// begun again while it heads the pending list (Bloqueada); it is marked
// printed without its number, which is unknown (SinNumero).
constexpr int Abierto = 1, Cerrada = 2, Numero = 4, Impreso = 8;
constexpr int SinApertura = 16, Bloqueada = 32, SinMarca = 64, SinNumero = 128;
} // namespace
Q_DECLARE_METATYPE(Accion)

class TstFallas : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    // What the marker's text names: the exact code, never through a floating
    // point; "0" or nothing names no document. What is written reads back.
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
        QTest::newRow("written through a double") << QByteArray(" 1E+16\r\n") << -1LL;
        QTest::newRow("text") << QByteArray("abc\r\n") << -1LL;
        QTest::newRow("whole") << QByteArray(" 10000000000000001\r\nantes=00000041\r\n"
                                             "numero=00000042\r\nz=8\r\n")
                               << 10000000000000001LL;
    }
    void Marca()
    {
        QFETCH(QByteArray, texto);
        QFETCH(qlonglong, codigo);
        const ArchivoMarca::Marca m = ArchivoMarca::Interpretar(texto);
        QCOMPARE(m.Codigo.value_or(-1), codigo);
        QCOMPARE(ArchivoMarca::Interpretar(ArchivoMarca::Contenido(m)), m);
        if (m.NumeroZ) // the file as the program writes it
            QCOMPARE(ArchivoMarca::Contenido(m), texto);
    }

    void Corrida_data()
    {
        QTest::addColumn<bool>("nota");
        QTest::addColumn<Accion>("preparar");     // before the run
        QTest::addColumn<QString>("mensaje");     // the only one (see Banco::Texto)
        QTest::addColumn<int>("estado");          // Estado after the run
        QTest::addColumn<QStringList>("impreso"); // the items on paper at the end
        for (const bool nota : {false, true}) {
            const auto fila = [nota](const char* nombre, const Accion& p, const QString& mensaje,
                                     int estado, const QStringList& impreso = kArticulos) {
                QTest::newRow(qPrintable(QString(nota ? "note: " : "invoice: ") + nombre))
                    << nota << p << mensaje << estado << impreso;
            };
            const QString articulo = nota ? "%0 2.%6\r" : "%0 4.%6\r";
            const QString aMedias =
                articulo +
                "La %2 %1 quedó a medias: la impresora no confirmó una línea (puede haberla "
                "impreso) y el documento quedó abierto en ella." +
                kAnular;
            const QString sinEstado = "%0 0.%6\rLa impresora no respondió a la consulta de su "
                                      "estado; no se imprimió nada.";
            const QString sinAnotar =
                "%0 10.%6\rLa %2 %1 se imprimió con el número %5, pero no se pudo guardar en la "
                "base de datos: …\rEl número quedó guardado en %4 y se escribirá cuando el robot "
                "se inicie de nuevo.";
            const QString sinNumero =
                "%0 9.%6\rLa %2 %1 se cerró en la impresora, pero no se pudo leer su número; al "
                "iniciar el robot de nuevo se consultará la impresora y quedará marcada como "
                "impresa con el número que ella muestre.";
            const QString cierrePerdido =
                "%0 10.%6\rLa impresora no confirmó el cierre de la %2 %1: su último número no "
                "cambió. Al iniciar el robot de nuevo se consultará la impresora: si sigue abierta "
                "se cerrará, y si no, se imprimirá de nuevo.";
            const QString cierreRechazado = "%0 8.%6\rLa impresora rechazó el cierre de la %2 %1; "
                                            "puede haber quedado abierta en la impresora." +
                                            kAnular;
            // Another program takes the shop's write lock as the closing goes
            // out, for `ms` or (ms < 0) until the run is over.
            const auto bloquear = [](int ms) {
                return Antes('E', 2, [ms](Banco& b) {
                    std::latch listo{1};
                    const QString archivo = b.tienda.ArchivoBaseDatos();
                    b.bloqueo = std::jthread([archivo, ms, &listo](std::stop_token fin) {
                        {
                            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "otro");
                            db.setDatabaseName(archivo);
                            if (db.open())
                                QSqlQuery(db).exec("BEGIN IMMEDIATE");
                            listo.count_down();
                            for (int t = 0; !fin.stop_requested() && (ms < 0 || t < ms); t += 10)
                                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                        }
                        QSqlDatabase::removeDatabase("otro");
                    });
                    listo.wait();
                });
            };
            const auto numeroOcupado =
                Sim("numero-ocupado -1") + [](Banco& b) { b.enlace->tiempos.esperaNumeroMs = 300; };
            const int ok = Cerrada | Impreso;

            fila("nothing wrong", Sim("normal"), {}, ok);
            // The printer printed the item; its reply was lost or damaged.
            // A stop (second SIGTERM, the server's "X%") writes nothing more.
            for (const auto& [nombre, f] :
                 {std::pair{"item reply lost", Mudo("perder-respuesta 1")},
                  {"item reply damaged", Sim("corromper suma 1")},
                  {"item reply without end", Sim("sin-etx 5000")},
                  {"stop in the middle", [](Banco& b) { b.cancelar = true; }}})
                fila(nombre, Antes('B', 2, f), aMedias, Abierto);
            fila("printer off at the closing", Antes('E', 2, Sim("apagar on")),
                 "%0 8.%6\rLa %2 %1 no se cerró: el cierre no llegó a la impresora. Quedó abierta "
                 "en la impresora." +
                     kAnular,
                 Abierto);
            fila("closing reply lost", Antes('E', 2, Mudo("perder-respuesta 1")), {}, ok);
            fila("database locked a moment", bloquear(300), {}, ok);
            // Past the driver's own wait and the run's retries.
            fila("database locked too long", bloquear(-1), sinAnotar, ok | Numero);
            fila("write-back refused", Rechazo("solo lectura"),
                 QString(sinAnotar).replace("…", "…solo lectura…"), ok | Numero);
            // Numbers only from good replies: a damaged or refused state reply
            // is asked again, never read as a Z or a document's number.
            fila("state reply damaged", Sim("corromper campo 1"), {}, ok);
            fila("state query refused", Sim("rechazar-enesimo 1"), {}, ok);
            fila("number not digits", Antes('E', 2, Sim("corromper campo -1")), sinNumero, ok);
            fila("endless busy bytes", Mudo("ocupado-siempre on", true), sinEstado, SinApertura);
            fila("printer off", Sim("apagar on"), sinEstado, SinApertura);
            // The printer closed a document just before and its number stays busy.
            fila("printer busy before", numeroOcupado + AMano("Otro", "E"),
                 "%0 0.%6\rLa impresora sigue ocupada con un documento después de .3 segundos.",
                 SinApertura);
            fila("number busy for a while", Sim("numero-ocupado 3"), {}, ok);
            fila("number never clears", numeroOcupado, sinNumero, ok);
            fila("opening refused", Sim("rechazar @ 1"), nota ? "%0 2.%6" : "%0 2.2.%6",
                 nota ? Bloqueada : 0);
            // Every field is read before the opening: nothing is left open.
            fila("Null field",
                 Cambio("UPDATE Clientes SET NombreCliente = NULL",
                        "UPDATE Clientes SET NombreCliente = '" + kCliente + "'"),
                 "%0 2.%6\r…\"NombreCliente\"…", SinApertura | (nota ? Bloqueada : 0));
            // "E" FS "A" and the closing "E" share their command byte.
            fila("closing refused", Sim("rechazar E 2"), cierreRechazado, Abierto);
            // The next run finds the document open and closes it.
            fila("closing lost", Antes('E', 2, Mudo("perder E 1")), cierrePerdido,
                 Cerrada | Abierto);
            fila("document the run did not open", AMano("Otro", ""),
                 "La impresora tiene abierto un documento fiscal que el robot no abrió, así que "
                 "la %2 %1 no se imprimió." +
                     kAnular,
                 Abierto | SinApertura);
            // A pending code without its document: nothing printed, tried again.
            fila(
                "code without its document", [](Banco& b) { b.fantasma = 999999; }, {},
                SinApertura);
            // Only the invoice's items are sent again when the printer refuses
            // them, three times in all per document.
            fila("item refused once", Sim("rechazar B 1"), {}, ok,
                 nota ? kArticulos.mid(1) : kArticulos);
            if (!nota)
                fila("re-sends used up", Sim("rechazar B 5"), {}, ok, {"Aceite"});
            // The marker cannot be written (invoice) or read (note): nothing
            // may be closed, no note is begun.
            fila(
                "marker unusable",
                [](Banco& b) {
                    const QString ruta = b.Marca().Ruta();
                    QFile::remove(ruta);
                    QDir().mkpath(ruta);
                    b.deshacer = [ruta] { QDir(ruta).removeRecursively(); };
                },
                nota ? "No se puede leer el archivo …LogNota.log. Puede guardar el código de "
                       "una nota de crédito en curso; no se imprime ninguna nota hasta que se "
                       "pueda leer."
                     : "%0 7.%6\rNo se pudo escribir Log.log (…); la factura %1 no se cerró." +
                           kAnular,
                nota ? SinApertura : Abierto);

            // The marker names the document and the printer holds nothing
            // open: printed only on the printer's evidence (its number moved
            // past the one before the closing), with that number when it is
            // the next one or when the marker kept it; else it goes again.
            const Accion cortada = AMano(kCliente.toLatin1(), "BAE") + Marcada;
            const Accion otra = AMano("Otro", "BAE");
            const int recuperada = Cerrada | Impreso | SinApertura;
            fila("recovery: later numbers", cortada + otra, {}, recuperada | SinNumero, {"Arroz"});
            fila("recovery: printer silent", cortada + Mudo("silencio on", true),
                 "La %2 %1 quedó a medio cerrar y la impresora no respondió a la consulta de su "
                 "estado; no se marcó como impresa.\rVerifique la impresora e inicie el robot de "
                 "nuevo.",
                 recuperada, {"Arroz"});
            // Still open, and the printer refuses to close it: the operator cancels it.
            fila("recovery: closing refused",
                 AMano(kCliente.toLatin1(), "BA") + Marcada + Sim("rechazar E 1"), cierreRechazado,
                 Abierto | SinMarca | SinApertura);
            fila("recovery: not numbered", Marcada, {}, SinMarca | SinApertura);
            // If it came out, the operator marks it printed; here it did not.
            fila(
                "recovery: old marker",
                [](Banco& b) {
                    b.Marca().Escribir(ArchivoMarca::Marca::De(b.codigo));
                    b.deshacer = [&b] { b.Marca().Escribir({}); };
                },
                "%4 nombra la %2 %1, pero no guarda el número que tenía la impresora antes de "
                "su cierre, así que no se sabe si se imprimió; no se marcó como impresa.\r"
                "Verifique el diario de la impresora: si salió, márquela como impresa en la base "
                "de datos; si no, escriba 0 en …%4. Luego inicie el robot de nuevo.",
                Cerrada | SinApertura);
            fila("recovery: update fails", cortada + otra + Rechazo("bloqueada"),
                 "La %2 %1 ya se cerró en la impresora, pero no se pudo marcar como impresa: "
                 "…bloqueada…\rVerifíquela en la base de datos antes de iniciar el robot de nuevo.",
                 recuperada | SinNumero, {"Arroz"});
        }
    }
    void Corrida()
    {
        QFETCH(bool, nota);
        QFETCH(Accion, preparar);
        QFETCH(QString, mensaje);
        QFETCH(int, estado);
        QFETCH(QStringList, impreso);
        Banco b;
        QVERIFY2(b.Preparar(nota), qPrintable(b.Error()));
        preparar(b);
        b.alCerrar.reset();
        b.Correr();
        b.bloqueo = {};

        QCOMPARE(b.pantalla.Mensajes().size(), mensaje.isEmpty() ? 0 : 1);
        QVERIFY2(mensaje.isEmpty() || Calza(b.pantalla.Mensajes()[0], b.Texto(mensaje)),
                 qPrintable(b.pantalla.Mensajes().value(0)));
        QCOMPARE(b.timer, mensaje.isEmpty());
        QCOMPARE(b.Impresos().size(), estado & Impreso ? 1 : 0);
        QCOMPARE(b.sim->codigoEstado() == "01", bool(estado & Abierto));
        QCOMPARE(b.tramas.value('@') > 0, !(estado & SinApertura));
        if (b.cancelar) // nothing written after the stop: 8N 8T @ B B
            QCOMPARE(b.enviados.size(), 5);
        // On disk before the closing went out, with the number before it.
        if (b.alCerrar)
            QCOMPARE(*b.alCerrar, ArchivoMarca::Marca::De(b.codigo, nota ? "0122" : "00000041"));
        // Restored when the closing surely never went out.
        const auto marca = b.Marca().Leer().value_or(ArchivoMarca::Marca::De(77));
        QCOMPARE(marca.Codigo.value_or(-1), estado & Cerrada    ? b.codigo
                                            : estado & SinMarca ? -1
                                                                : 77);
        QCOMPARE(marca.Numero.isEmpty(), !(estado & Numero));
        if (!(estado & Impreso) || !mensaje.isEmpty()) {
            QVERIFY(b.Fila().value("Control").isNull());
            QCOMPARE(b.Pendientes(), 1);
        }

        // The operator's way out.
        b.cancelar = false;
        b.falla = {};
        b.mudo = false;
        b.fantasma = 0;
        if (b.deshacer)
            b.deshacer();
        QVERIFY(b.sim->control("normal").ok);
        if (b.pantalla.Mensajes().value(0).contains("Anule ese"))
            b.comandos->Resetear();
        if (estado & Bloqueada) {
            b.Correr();
            QCOMPARE(b.enviados, QList<QByteArray>());
            b.Sql("UPDATE %1 SET Imprimir = 0"); // the pending list found empty once
            b.Correr();
            b.Sql("UPDATE %1 SET Imprimir = -1");
        }
        b.Correr();
        // A document on paper is never opened again.
        QVERIFY(!(estado & Impreso && b.tramas.value('@')));
        const auto docs = b.Impresos();
        QCOMPARE(docs.size(), 1);
        QStringList articulos;
        for (const auto& a : docs[0].articulos())
            articulos << a.descripcion;
        QCOMPARE(articulos, impreso);
        const QString numero =
            estado & SinNumero ? "" : QStringLiteral("%1").arg(docs[0].numero, 8, 10, QChar('0'));
        const QSqlRecord f = b.Fila();
        QCOMPARE(f.value(nota ? "Número" : "Factura").toString(), numero);
        QCOMPARE(f.value("Control").toString(), numero);
        QCOMPARE(f.value("NúmeroZ").toInt(), 8);
        QCOMPARE(f.value("Impresa").toInt(), -1);
        QCOMPARE(f.value("Imprimir").toInt(), 0);
        // Without the number the mark says the printer closed it unseen.
        QCOMPARE(f.value("MáquinaFiscal").toInt() == 0, numero.isEmpty());
        QCOMPARE(b.Pendientes(), 0);
        QVERIFY(b.timer);
        QVERIFY(numero.isEmpty() || b.pantalla.Etiqueta(nota ? 6 : 4) == numero);
        QVERIFY(b.sim->codigoEstado() != "01");
    }
};

QTEST_GUILESS_MAIN(TstFallas)
#include "tst_fallas.moc"
