// The credit-note run against the printer simulator and a SQLite shop.
#include "tienda/ArchivoMarca.h"
#include "apoyo/BancoImpresion.h"
#include "documentos/ImpresionNotaCredito.h"

#include <QDir>
#include <QFile>
#include <QtTest>
#include <functional>

namespace
{
using Bytes = QList<QByteArray>;
const QByteArray kDel("\x7f");
const QByteArray kN("8\x1cN");
const QByteArray kT("8\x1cT");
const QByteArray kFinItems("E\x1c"
                           "A");
const QString kFalla = "No se pudo realizar la tarea. Por favor verifique la etapa ";

// A command as the printer reads it: command byte, then FS before each field.
QByteArray Cmd(char c, const Bytes& campos = {})
{
    QByteArray r(1, c);
    for (const QByteArray& f : campos)
        r += '\x1c' + f;
    return r;
}
QByteArray Item(const QByteArray& desc, const QByteArray& cant, const QByteArray& precio,
                const QByteArray& tasa)
{
    return Cmd('B', {desc, cant, precio, tasa, "M", kDel, kDel, kDel});
}
QByteArray Linea(const QByteArray& texto)
{
    return Cmd('A', {texto, kDel});
}
// The opening of a note: name, RIF, the sale's invoice and date.
QByteArray Apertura(const QByteArray& nombre = "Cliente de contado", const QByteArray& factura = "",
                    const QByteArray& fecha = "")
{
    return Cmd('@', {nombre, "V-12345678", factura, "SIM0000001", fecha, "1200", "D", kDel});
}
// What a test changes in the note and the bench before the run.
using Ajuste = std::function<void(NotaDemo&, BancoImpresion&)>;
Ajuste EnSimulador(const QString& orden)
{
    return [=](NotaDemo&, BancoImpresion& b) { b.sim->control(orden); };
}
// A folder in the marker's place: it exists, and no one can read it as a file.
void MarcaIlegible(NotaDemo&, BancoImpresion& b)
{
    const QString ruta = QDir(b.ctx->rutaPrograma).filePath(ImpresionNotaCredito::kArchivoMarca);
    QFile::remove(ruta);
    QDir().mkpath(ruta);
}
const QVariant kNulo = QVariant(QMetaType::fromType<qlonglong>()); // a typed NULL

LineaDemo Producto(const QString& cod, const QString& nombre, double cantidad, double precio,
                   QVariant exento = 0, QVariant entera = {})
{
    return {cod, nombre, {}, cantidad, entera, precio, exento, {}};
}
} // namespace
Q_DECLARE_METATYPE(Ajuste)

class TstNotaCredito : public QObject
{
    Q_OBJECT

    std::unique_ptr<BancoImpresion> banco;
    std::unique_ptr<ImpresionNotaCredito> run;
    Bytes& enviados() { return banco->enviados; }

    // A pending note of 10.00 without lines.
    qlonglong Nota()
    {
        NotaDemo n;
        n.Monto = 10.0;
        return banco->tienda.AgregarNota(n);
    }
    QSqlRecord Fila(qlonglong codigo) { return banco->base.NotaCredito(codigo)->value(0); }
    qlonglong CodigoMarca() const
    {
        return Marca().Leer().value_or(ArchivoMarca::Marca()).Codigo.value_or(0);
    }
    ArchivoMarca Marca() const
    {
        return ArchivoMarca(QDir(banco->ctx->rutaPrograma)
                                .filePath(QLatin1String(ImpresionNotaCredito::kArchivoMarca)));
    }
    void Marcar(qlonglong codigo, int imprimir)
    {
        QVERIFY(banco->tienda.Ejecutar(
            {QStringLiteral("UPDATE [NotaCréditoVenta] SET Imprimir = %1 WHERE Código = %2")
                 .arg(imprimir)
                 .arg(codigo)}));
    }
    // The run again after the operator's "Iniciar".
    void Reiniciar()
    {
        banco->timer = true;
        enviados().clear();
        banco->TurnoNota(*run);
    }
    QString Mensaje() const { return banco->pantalla.Mensajes().value(0); }
    // The robot stopped once, with one message, and `codigo` still pending.
    void VerificarDetenido(qlonglong codigo)
    {
        QCOMPARE(banco->pantalla.Mensajes().size(), 1);
        QCOMPARE(banco->detenciones, 1);
        QVERIFY(!banco->timer);
        QVERIFY(Fila(codigo).value("Control").isNull());
        QCOMPARE(Fila(codigo).value("Imprimir").toInt(), -1);
    }
    // One note, numbered by the printer (at note 122, Z 124 before it).
    void VerificarImpresa(qlonglong codigo)
    {
        QList<DocumentoImpreso> notas;
        for (const DocumentoImpreso& d : banco->sim->documentos())
            if (d.tipo == DocumentoImpreso::Tipo::NotaCredito)
                notas << d;
        QCOMPARE(notas.size(), 1);
        QCOMPARE(notas[0].numero, 123);
        const QSqlRecord f = Fila(codigo);
        QCOMPARE(f.value("Número").toString(), "00000123");
        QCOMPARE(f.value("Control").toString(), "00000123");
        QCOMPARE(f.value("NúmeroZ").toInt(), 125);
        QCOMPARE(f.value("Impresa").toInt(), -1);
        QCOMPARE(f.value("Imprimir").toInt(), 0);
        QVERIFY(f.value("MáquinaFiscal").toInt() != 0);
        QCOMPARE(banco->NotasPendientes(), QStringList{});
        QVERIFY(banco->timer);
        QCOMPARE(banco->pantalla.Etiqueta(5), "0124");
        QCOMPARE(banco->pantalla.Etiqueta(6), "00000123");
    }

  private Q_SLOTS:
    void init()
    {
        banco = std::make_unique<BancoImpresion>();
        OpcionesTienda o;
        o.Direccion = false;
        QVERIFY2(banco->Crear(o), qPrintable(banco->Error()));
        banco->ajustesTienda.ModoCantidad = 1;
        MaquinaFiscal::Contadores c = banco->sim->contadores();
        c.ultimaNotaCredito = 122;
        c.z = 124;
        banco->sim->ponerContadores(c);
        run = std::make_unique<ImpresionNotaCredito>(*banco->ctx);
    }
    void cleanup()
    {
        run.reset();
        banco.reset();
    }

    // Everything from the opening to the closing "E", for notes of different
    // shapes (a note of 10.00 without a sale or lines by default).
    void cuerpo_data()
    {
        QTest::addColumn<Ajuste>("ajuste");
        QTest::addColumn<Bytes>("esperado");
        const auto fila = [](const char* nombre, const Ajuste& a, const Bytes& articulos,
                             const Bytes& direccion = {}, const QByteArray& apertura = Apertura()) {
            QTest::newRow(nombre) << a
                                  << Bytes{apertura} + articulos + Bytes{kFinItems} + direccion +
                                         Bytes{"E"};
        };
        const auto angosto = [](BancoImpresion& b) { b.config.Columnas80 = false; };
        const Bytes diez{Item("Descuento aplicado a factura", "1000", "1000", "1200")};
        // The number is asked for again after the closing until it clears.
        fila("numero ocupado", EnSimulador("numero-ocupado 3"), diez);
        fila("descuento gravado, 80 columnas",
             [](NotaDemo& n, BancoImpresion&) { n.Monto = 100.0; },
             {Item("Descuento aplicado a factura", "1000", "10000", "1200")});
        fila("gravado y exento, 40 columnas",
             [=](NotaDemo& n, BancoImpresion& b) {
                 angosto(b);
                 n.Monto = 100.0;
                 n.MontoExcento = 50.5;
             },
             {Item("Descuento aplicado", "1000", "10000", "1200"),
              Item("Descuento aplicado", "1000", "5050", "0000")});
        fila("sin montos", [](NotaDemo& n, BancoImpresion&) { n.Monto = 0.0; }, {});
        fila("gravada, exenta y exenta Null; CodProd, ancho 39",
             [](NotaDemo& n, BancoImpresion& b) {
                 b.config.CodProd = true;
                 n.Monto = 999.0; // ignored: the note has lines
                 n.Lineas = {Producto("P001", "Arroz blanco", 2, 10),
                             Producto("P002", "Harina de maíz", 1, 5.5, -1),
                             Producto("P003", "Azúcar", 3, 2.25, QVariant())};
             },
             {Item("P001 Arroz blanco", "2000", "1000", "1200"),
              Item("P002 Harina de maiz", "1000", "550", "0000"),
              Item("P003 Azucar", "3000", "225", "0000")});
        const Ajuste largo = [](NotaDemo& n, BancoImpresion&) {
            n.Lineas = {Producto("P004", "Detergente liquido concentrado 1", 1, 10)};
        };
        fila("ancho 19 cortado y recortado",
             [=](NotaDemo& n, BancoImpresion& b) {
                 angosto(b);
                 largo(n, b);
             },
             {Item("Detergente liquido", "1000", "1000", "1200")});
        fila("ancho 39 entero", largo,
             {Item("Detergente liquido concentrado 1", "1000", "1000", "1200")});
        const auto queso = [](int modo) {
            return Ajuste([modo](NotaDemo& n, BancoImpresion& b) {
                b.ajustesTienda.ModoCantidad = modo;
                n.Lineas = {Producto("P005", "Queso", 2.5, 10, 0, 3)};
            });
        };
        fila("cantidad 2.5 en modo 2", queso(2), {Item("Queso", "2500", "1000", "1200")});
        fila("modo 0 lee Cantidad", queso(0), {Item("Queso", "3000", "1000", "1200")});
        const auto direccion = [](bool activa, const QString& texto) {
            return Ajuste([=](NotaDemo& n, BancoImpresion& b) {
                b.config.Direccion = activa;
                n.Direccion = texto;
            });
        };
        const QString d40 = "Avenida Francisco de Miranda Torre Delta";
        fila("direccion de 40", direccion(true, d40), diez,
             {Linea("DIRECCION: Avenida Francisco de Miranda"), Linea("Torre Delta")});
        fila("direccion corta", direccion(true, " Calle Ñ "), diez, {Linea("DIRECCION: Calle N")});
        fila("direccion apagada", direccion(false, d40), diez);

        // A note of a sale: the opening carries its invoice and date, 38
        // characters of the name (all of it goes on lines of its own when
        // longer) and the RIF cleaned.
        const auto venta = [](const QString& nombre, const QVariant& factura,
                              const QVariant& fecha) {
            return Ajuste([=](NotaDemo& n, BancoImpresion& b) {
                VentaDemo v;
                v.Factura = factura;
                v.Fecha = fecha;
                v.Imprimir = 0;
                n.Venta = b.tienda.AgregarVenta(v);
                QVERIFY(n.Venta);
                n.NombreCliente = nombre;
                n.Rif = " V-12.345.678 ";
            });
        };
        const QByteArray n38 = "Inversiones Agropecuarias La Esperanza";
        fila("nombre de 38", venta(n38, "00000456", "2026-03-03"), diez, {},
             Apertura(n38, "00000456", "03032026"));
        fila("nombre de 50, 5 de diciembre",
             venta("Comercializadora Internacional Los Andes del Sur C", "00000456", "2026-12-05"),
             Bytes{Linea("Comercializadora Internacional Los Ande"), Linea("s del Sur C")} + diez,
             {}, Apertura("Comercializadora Internacional Los And", "00000456", "12052026"));
        fila("factura Null", venta(n38, {}, "2026-03-03"), diez, {}, Apertura(n38, "", "03032026"));
        fila("FechaVenta Null", venta(n38, "00000456", {}), diez, {},
             Apertura(n38, "00000456", ""));
    }
    void cuerpo()
    {
        QFETCH(Ajuste, ajuste);
        QFETCH(Bytes, esperado);
        NotaDemo n;
        n.Monto = 10.0;
        ajuste(n, *banco);
        const qlonglong codigo = banco->tienda.AgregarNota(n);
        QVERIFY(codigo);
        banco->TurnoNota(*run);
        QCOMPARE(banco->pantalla.Mensajes(), QStringList{});
        // Nothing open before the opening.
        QCOMPARE(enviados().value(1), kT);
        QCOMPARE(enviados().mid(2, esperado.size()), esperado);
        VerificarImpresa(codigo);
    }

    // A run that stops before the closing leaves the note pending, nothing
    // printed, and the marker as it was (77).
    void detenida_data()
    {
        QTest::addColumn<Ajuste>("ajuste");
        QTest::addColumn<QString>("mensaje");   // its start; the whole of it when no detail
        QTest::addColumn<QString>("detalle");   // a part of it; %1: the note
        QTest::addColumn<QByteArray>("ultimo"); // the last command sent; empty: none
        const QByteArray apertura = Apertura();
        QTest::newRow("apertura rechazada")
            << EnSimulador("rechazar @ 1") << kFalla + " 2." << QString() << apertura;
        // The state query is asked a few times, then nothing is opened.
        QTest::newRow("impresora muda")
            << EnSimulador("silencio on") << kFalla + " 0.\r" << "no respondió a la consulta"
            << kN;
        // "E" FS "A" and the closing "E" share their command byte.
        QTest::newRow("cierre rechazado")
            << EnSimulador("rechazar E 2") << kFalla + " 8.\r"
            << "rechazó el cierre de la nota de crédito %1" << QByteArray("E");
        // The marker may hold a note in progress: no note is printed.
        QTest::newRow("marca ilegible") << Ajuste(MarcaIlegible) << "No se puede leer el archivo "
                                        << "no se imprime ninguna nota" << QByteArray();
        const auto nulo = [](const char* campo, const Ajuste& a) {
            QTest::newRow(campo) << a << kFalla + " 2.\r" << '"' + QString::fromUtf8(campo) + '"'
                                 << kN; // nothing opened on the printer
        };
        nulo("NombreCliente", [](NotaDemo& n, BancoImpresion&) { n.NombreCliente = kNulo; });
        nulo("Monto", [](NotaDemo& n, BancoImpresion&) { n.Monto = kNulo; });
        nulo("Dirección", [](NotaDemo& n, BancoImpresion&) { n.Direccion = kNulo; });
        nulo("Precio", [](NotaDemo& n, BancoImpresion&) { n.Lineas[0].Precio = kNulo; });
        nulo("Cantidad", [](NotaDemo& n, BancoImpresion&) { n.Lineas[0].CantidadEntera = kNulo; });
    }
    void detenida()
    {
        QFETCH(Ajuste, ajuste);
        QFETCH(QString, mensaje);
        QFETCH(QString, detalle);
        QFETCH(QByteArray, ultimo);
        QVERIFY(Marca().Escribir(ArchivoMarca::Marca::De(77)));
        NotaDemo n;
        n.Monto = 10.0;
        n.Lineas = {Producto("P001", "Arroz", 1, 10)};
        ajuste(n, *banco);
        const qlonglong codigo = banco->tienda.AgregarNota(n);
        QVERIFY2(codigo, qPrintable(banco->tienda.Error()));
        banco->TurnoNota(*run);
        VerificarDetenido(codigo);
        if (detalle.isEmpty()) {
            QCOMPARE(Mensaje(), mensaje);
        } else {
            QVERIFY2(Mensaje().startsWith(mensaje), qPrintable(Mensaje()));
            QVERIFY2(Mensaje().contains(detalle.replace("%1", QString::number(codigo))),
                     qPrintable(Mensaje()));
        }
        QCOMPARE(enviados().isEmpty() ? QByteArray() : enviados().last(), ultimo);
        QCOMPARE(Marca().Leer().value_or(ArchivoMarca::Marca::De(77)).Codigo, 77);
        QCOMPARE(banco->sim->documentos().size(), 0);
    }

    // A note whose opening failed is not sent again while it heads the list;
    // once the list has been found empty it may be printed again.
    void notaEnCabeza()
    {
        QVERIFY(banco->sim->control("rechazar @ 1").ok);
        const qlonglong codigo = Nota();
        banco->TurnoNota(*run);
        QCOMPARE(banco->detenciones, 1);
        Reiniciar();
        QCOMPARE(enviados(), Bytes{});
        QVERIFY(banco->timer);
        Marcar(codigo, 0);
        Reiniciar();
        Marcar(codigo, -1);
        Reiniciar();
        QCOMPARE(banco->sim->documentos().size(), 1);
        QCOMPARE(Fila(codigo).value("Imprimir").toInt(), 0);
    }

    // The closing went out but the number could not be read: the marker holds
    // the note, so the next run (after "Iniciar", or in a program started
    // again) marks it printed without printing it twice.
    void numeroIlegible_data()
    {
        QTest::addColumn<QString>("falla");
        QTest::addColumn<QString>("etapa");
        QTest::addColumn<bool>("programaNuevo");
        QTest::newRow("numero siempre ocupado") << "numero-ocupado -1"
                                                << " 9." << false;
        QTest::newRow("programa reiniciado") << "numero-ocupado -1"
                                             << " 9." << true;
    }
    void numeroIlegible()
    {
        QFETCH(QString, falla);
        QFETCH(QString, etapa);
        QFETCH(bool, programaNuevo);
        QVERIFY(banco->sim->control(falla).ok);
        const qlonglong codigo = Nota();
        const QString l6 = banco->pantalla.Etiqueta(6);
        banco->TurnoNota(*run);
        VerificarDetenido(codigo);
        QVERIFY2(Mensaje().startsWith(kFalla + etapa + QChar(13)), qPrintable(Mensaje()));
        QVERIFY2(Mensaje().contains(QStringLiteral("nota de crédito %1 se cerró").arg(codigo)),
                 qPrintable(Mensaje()));
        QCOMPARE(banco->sim->documentos().size(), 1);
        QCOMPARE(banco->pantalla.Etiqueta(6), l6);
        QCOMPARE(CodigoMarca(), codigo);

        QVERIFY(banco->sim->control("normal").ok);
        if (programaNuevo)
            run = std::make_unique<ImpresionNotaCredito>(*banco->ctx);
        Reiniciar();
        // The printer's note number moved by one: that is this note's number.
        QCOMPARE(enviados(), Bytes({kT, kN}));
        QCOMPARE(banco->pantalla.Mensajes().size(), 1);
        VerificarImpresa(codigo);
    }

    // The closing never reached the printer (lost, or the robot died after
    // writing the marker): the note's number does not move, nothing is
    // written. The next run finds the note open and closes it; a silent
    // printer or a refused closing stops the robot instead.
    void cierrePerdido_data()
    {
        QTest::addColumn<QString>("falla");
        QTest::addColumn<QString>("aviso");
        QTest::addColumn<bool>("anulada"); // the operator had to cancel the document
        QTest::newRow("cerrada al recuperar") << QString() << QString() << false;
        QTest::newRow("impresora muda") << "silencio on"
                                        << "no respondió a la consulta" << false;
        QTest::newRow("cierre rechazado") << "rechazar E 1"
                                          << "rechazó el cierre" << true;
    }
    void cierrePerdido()
    {
        QFETCH(QString, falla);
        QFETCH(QString, aviso);
        QFETCH(bool, anulada);
        const qlonglong codigo = Nota();
        QByteArray marcaAlCerrar;
        banco->puerto->PerderPrimerCierre([&] {
            QFile f(Marca().Ruta());
            marcaAlCerrar = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(no existe)");
        });
        banco->TurnoNota(*run);
        // On disk, whole, before the closing went out.
        QVERIFY2(marcaAlCerrar.startsWith(QByteArray::number(codigo).prepend(' ') + "\r\nantes="),
                 marcaAlCerrar.constData());
        VerificarDetenido(codigo);
        QVERIFY2(Mensaje().startsWith(kFalla + " 10." + QChar(13)), qPrintable(Mensaje()));
        QVERIFY2(Mensaje().contains("no confirmó el cierre de la nota"), qPrintable(Mensaje()));
        QCOMPARE(banco->sim->codigoEstado(), "01");

        if (!falla.isEmpty())
            QVERIFY(banco->sim->control(falla).ok);
        Reiniciar();
        if (aviso.isEmpty()) {
            QCOMPARE(enviados(), Bytes({kT, "E", kN, kT}));
        } else {
            QCOMPARE(banco->pantalla.Mensajes().size(), 2);
            QVERIFY2(banco->pantalla.Mensajes()[1].contains(aviso),
                     qPrintable(banco->pantalla.Mensajes()[1]));
            QVERIFY(!banco->timer);
            QVERIFY(Fila(codigo).value("Control").isNull());
            QCOMPARE(CodigoMarca(), anulada ? 0 : codigo);
            QVERIFY(banco->sim->control("normal").ok);
            Reiniciar();
            if (anulada) {
                QCOMPARE(banco->pantalla.Mensajes().size(), 3);
                QVERIFY(banco->pantalla.Mensajes()[2].contains("que el robot no abrió"));
                banco->comandos->Resetear();
                Reiniciar();
            }
        }
        QCOMPARE(banco->pantalla.Mensajes().size(), aviso.isEmpty() ? 1 : anulada ? 3 : 2);
        VerificarImpresa(codigo);
        QCOMPARE(CodigoMarca(), codigo);
    }

    // A fiscal document the run did not open: it stops before its own opening,
    // and once the operator cancels that document the note prints.
    void documentoAjeno()
    {
        const qlonglong codigo = Nota();
        banco->enlace->Comando = Cmd('@', {"Otro cliente", "V-1"});
        banco->enlace->EnviarComando();
        enviados().clear();
        banco->TurnoNota(*run);
        VerificarDetenido(codigo);
        QCOMPARE(Mensaje(), QStringLiteral("La impresora tiene abierto un documento fiscal que el "
                                           "robot no abrió, así que la nota de crédito %1 no se "
                                           "imprimió.")
                                    .arg(codigo) +
                                QChar(13) +
                                "Anule ese documento en la impresora (reset) e inicie el robot de "
                                "nuevo: la nota se imprimirá completa.");
        QCOMPARE(enviados(), Bytes({kN, kT}));
        QCOMPARE(run->UltimoCodigoNota, 0);

        banco->comandos->Resetear();
        Reiniciar();
        QCOMPARE(banco->sim->documentos().size(), 2);
        VerificarImpresa(codigo);
    }
};

QTEST_GUILESS_MAIN(TstNotaCredito)
#include "tst_notacredito.moc"
