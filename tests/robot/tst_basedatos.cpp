#include "BaseLocal.h"
#include "BaseTienda.h"
#include "Configuracion.h"
#include "GuionSql.h"
#include "TiendaDemo.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace
{
constexpr int kCaja = 3;

QList<qlonglong> Codigos(const std::optional<QList<Pendiente>>& lista)
{
    QList<qlonglong> c;
    if (lista)
        for (const Pendiente& p : *lista)
            c.append(p.Codigo);
    return c;
}

// Runs statements on a database file behind the robot's back, to damage it.
bool Alterar(const QString& archivo, const QStringList& sentencias)
{
    bool ok = true;
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("alterar"));
        db.setDatabaseName(archivo);
        ok = db.open();
        QSqlQuery q(db);
        for (const QString& s : sentencias)
            if (ok && !q.exec(s)) {
                qWarning() << s << q.lastError().text();
                ok = false;
            }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("alterar"));
    return ok;
}

std::optional<QSqlRecord> Uno(const std::optional<QList<QSqlRecord>>& filas)
{
    if (!filas || filas->size() != 1)
        return std::nullopt;
    return filas->first();
}
} // namespace

class TstBaseDatos : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();

    void facturasPendientes_data();
    void facturasPendientes();
    void notasPendientes_data();
    void notasPendientes();
    void tiketsPendientes_data();
    void tiketsPendientes();
    void ordenYVista();
    void planUsaIndices();

    void lecturas();
    void escribirFactura();
    void recuperarFactura();
    void escribirNota();
    void valoresNoCambianSentencias_data();
    void valoresNoCambianSentencias();
    void purgarTikets();

    void abrirFalla_data();
    void abrirFalla();
    void verificar_data();
    void verificar();

    void demo();
    void guionSql_data();
    void guionSql();

  private:
    QTemporaryDir dir_;
    std::unique_ptr<TiendaDemo> tienda_;
    std::unique_ptr<BaseTienda> base_;
    std::unique_ptr<BaseLocal> local_;
};

void TstBaseDatos::initTestCase()
{
    QVERIFY(dir_.isValid());
    tienda_ = std::make_unique<TiendaDemo>();
    OpcionesTienda o;
    o.Caja = kCaja;
    o.VerCantidad = QVariant();
    QVERIFY2(tienda_->Crear(dir_.filePath(QStringLiteral("tienda")), o),
             qPrintable(tienda_->Error()));
    base_ = std::make_unique<BaseTienda>(QStringLiteral("prueba.tienda"));
    local_ = std::make_unique<BaseLocal>(QStringLiteral("prueba.local"));
    QVERIFY2(base_->Abrir(tienda_->ArchivoBaseDatos()), qPrintable(base_->UltimoError()));
    QVERIFY2(local_->Abrir(tienda_->ArchivoBaseLocal()), qPrintable(local_->UltimoError()));
}

void TstBaseDatos::cleanupTestCase()
{
    base_.reset();
    local_.reset();
    tienda_.reset();
}

void TstBaseDatos::facturasPendientes_data()
{
    QTest::addColumn<QString>("campo");
    QTest::addColumn<QVariant>("valor");
    QTest::addColumn<bool>("listada");

    QTest::newRow("pendiente") << QString() << QVariant() << true;
    QTest::newRow("Imprimir 1 tambien es verdadero") << "Imprimir" << QVariant(1) << true;
    QTest::newRow("Imprimir 0") << "Imprimir" << QVariant(0) << false;
    QTest::newRow("Imprimir NULL") << "Imprimir" << QVariant() << false;
    QTest::newRow("Local") << "Local" << QVariant(-1) << false;
    QTest::newRow("Local 1") << "Local" << QVariant(1) << false;
    QTest::newRow("Anulada") << "Anulada" << QVariant(-1) << false;
    QTest::newRow("Control puesto") << "Control" << QVariant(QStringLiteral("00000042")) << false;
    QTest::newRow("Control vacio no es NULL")
        << "Control" << QVariant(QString(QLatin1String(""))) << false;
    QTest::newRow("Impresa") << "Impresa" << QVariant(-1) << false;
    QTest::newRow("Impresa 1") << "Impresa" << QVariant(1) << false;
    QTest::newRow("otra caja") << "MaquinaFiscal" << QVariant(kCaja + 1) << false;
    QTest::newRow("cliente sin nombre sigue listada") << "NombreCliente" << QVariant() << true;
}

void TstBaseDatos::facturasPendientes()
{
    QFETCH(QString, campo);
    QFETCH(QVariant, valor);
    QFETCH(bool, listada);
    VentaDemo v;
    v.Lineas = {LineaDemo()};
    if (campo == QLatin1String("Imprimir"))
        v.Imprimir = valor;
    else if (campo == QLatin1String("Local"))
        v.Local = valor;
    else if (campo == QLatin1String("Anulada"))
        v.Anulada = valor;
    else if (campo == QLatin1String("Control"))
        v.Control = valor;
    else if (campo == QLatin1String("Impresa"))
        v.Impresa = valor;
    else if (campo == QLatin1String("MaquinaFiscal"))
        v.MaquinaFiscal = valor.toInt();
    else if (campo == QLatin1String("NombreCliente"))
        v.NombreCliente = valor;
    const qlonglong codigo = tienda_->AgregarVenta(v);
    QVERIFY2(codigo > 0, qPrintable(tienda_->Error()));
    const auto lista = base_->FacturasPendientes(kCaja);
    QVERIFY2(lista, qPrintable(base_->UltimoError()));
    QCOMPARE(Codigos(lista).contains(codigo), listada);
    // The other till never sees this till's invoices and vice versa.
    QVERIFY(!Codigos(base_->FacturasPendientes(kCaja + 1)).contains(codigo) ||
            campo == QLatin1String("MaquinaFiscal"));
}

void TstBaseDatos::notasPendientes_data()
{
    QTest::addColumn<QString>("campo");
    QTest::addColumn<QVariant>("valor");
    QTest::addColumn<bool>("listada");

    QTest::newRow("pendiente") << QString() << QVariant() << true;
    QTest::newRow("Imprimir 0") << "Imprimir" << QVariant(0) << false;
    QTest::newRow("Anulada") << "Anulada" << QVariant(-1) << false;
    QTest::newRow("Control puesto") << "Control" << QVariant(QStringLiteral("00000007")) << false;
    QTest::newRow("Impresa") << "Impresa" << QVariant(-1) << false;
    QTest::newRow("otra caja") << "MaquinaFiscal" << QVariant(kCaja + 1) << false;
}

void TstBaseDatos::notasPendientes()
{
    QFETCH(QString, campo);
    QFETCH(QVariant, valor);
    QFETCH(bool, listada);
    NotaDemo n;
    n.Monto = 5.0;
    if (campo == QLatin1String("Imprimir"))
        n.Imprimir = valor;
    else if (campo == QLatin1String("Anulada"))
        n.Anulada = valor;
    else if (campo == QLatin1String("Control"))
        n.Control = valor;
    else if (campo == QLatin1String("Impresa"))
        n.Impresa = valor;
    else if (campo == QLatin1String("MaquinaFiscal"))
        n.MaquinaFiscal = valor.toInt();
    const qlonglong codigo = tienda_->AgregarNota(n);
    QVERIFY2(codigo > 0, qPrintable(tienda_->Error()));
    const auto lista = base_->NotasPendientes(kCaja);
    QVERIFY2(lista, qPrintable(base_->UltimoError()));
    QCOMPARE(Codigos(lista).contains(codigo), listada);
}

void TstBaseDatos::tiketsPendientes_data()
{
    QTest::addColumn<QString>("campo");
    QTest::addColumn<QVariant>("valor");
    QTest::addColumn<bool>("listado");

    QTest::newRow("pendiente") << QString() << QVariant() << true;
    QTest::newRow("Imprimir 0") << "Imprimir" << QVariant(0) << false;
    QTest::newRow("Impresa") << "Impresa" << QVariant(-1) << false;
    QTest::newRow("otra caja") << "Caja" << QVariant(kCaja + 1) << false;
}

void TstBaseDatos::tiketsPendientes()
{
    QFETCH(QString, campo);
    QFETCH(QVariant, valor);
    QFETCH(bool, listado);
    TiketDemo t;
    if (campo == QLatin1String("Imprimir"))
        t.Imprimir = valor;
    else if (campo == QLatin1String("Impresa"))
        t.Impresa = valor;
    else if (campo == QLatin1String("Caja"))
        t.Caja = valor.toInt();
    const qlonglong codigo = tienda_->AgregarTiket(t);
    QVERIFY2(codigo > 0, qPrintable(tienda_->Error()));
    const auto lista = local_->TiketsPendientes(kCaja);
    QVERIFY2(lista, qPrintable(local_->UltimoError()));
    QCOMPARE(Codigos(lista).contains(codigo), listado);
}

void TstBaseDatos::ordenYVista()
{
    VentaDemo v;
    v.NombreCliente = QStringLiteral("Ana O'Neil");
    v.Rif = QStringLiteral("V-10234567");
    const qlonglong a = tienda_->AgregarVenta(v);
    v.Rif = QVariant(); // NULL joins to NULL, as the sales program's text would
    const qlonglong b = tienda_->AgregarVenta(v);
    QVERIFY(a > 0 && b > a);

    const auto facturas = base_->FacturasPendientes(kCaja);
    QVERIFY(facturas);
    const QList<qlonglong> codigos = Codigos(facturas);
    QVERIFY(std::is_sorted(codigos.begin(), codigos.end()));
    for (const Pendiente& p : *facturas) {
        if (p.Codigo == a)
            QCOMPARE(p.VistaEspecial,
                     QStringLiteral("%1 Ana O'Neil V-10234567").arg(a, 6, 10, QLatin1Char('0')));
        if (p.Codigo == b)
            QVERIFY(p.VistaEspecial.isNull());
    }

    NotaDemo n;
    n.NombreCliente = QStringLiteral("Ana O'Neil");
    n.Rif = QStringLiteral("V-10234567");
    const qlonglong nota = tienda_->AgregarNota(n);
    const auto notas = base_->NotasPendientes(kCaja);
    QVERIFY(notas && !notas->isEmpty());
    const QList<qlonglong> codigosNotas = Codigos(notas);
    QVERIFY(std::is_sorted(codigosNotas.begin(), codigosNotas.end()));
    QCOMPARE(notas->last().Codigo, nota);
    QCOMPARE(notas->last().VistaEspecial,
             QStringLiteral("Nota %1 de Ana O'Neil V-10234567").arg(nota, 6, 10, QLatin1Char('0')));

    TiketDemo t;
    t.Otro2 = QStringLiteral("Pedido 1031");
    const qlonglong tiket = tienda_->AgregarTiket(t);
    const auto tikets = local_->TiketsPendientes(kCaja);
    QVERIFY(tikets && !tikets->isEmpty());
    QCOMPARE(tikets->last().Codigo, tiket);
    QCOMPARE(tikets->last().VistaEspecial, QStringLiteral("Documento: Pedido 1031"));
}

void TstBaseDatos::planUsaIndices()
{
    // The pending queries must read the partial indexes, in Código order,
    // without sorting: a full scan would not survive a long history.
    const QString tienda = base_->PlanPendientes(kCaja).join(QLatin1Char('\n'));
    const QString local = local_->PlanPendientes(kCaja).join(QLatin1Char('\n'));
    QVERIFY2(tienda.contains(QLatin1String("USING INDEX VentasPendientes")), qPrintable(tienda));
    QVERIFY2(tienda.contains(QLatin1String("USING INDEX NotasPendientes")), qPrintable(tienda));
    QVERIFY2(local.contains(QLatin1String("USING INDEX TiketsPendientes")), qPrintable(local));
    QVERIFY2(!tienda.contains(QLatin1String("TEMP B-TREE")), qPrintable(tienda));
    QVERIFY2(!local.contains(QLatin1String("TEMP B-TREE")), qPrintable(local));
}

void TstBaseDatos::lecturas()
{
    LineaDemo l1{QStringLiteral("P1"), QStringLiteral("Queso"), {}, 1.5, {}, 9.8, -1, {}};
    LineaDemo l2{
        QStringLiteral("P2"), QStringLiteral("Nevera"), QStringLiteral("plata"), 1, {}, 620,
        QVariant(),           QStringLiteral("NV-1")};
    VentaDemo v;
    v.NombreCliente = QStringLiteral("Luisa Martínez");
    v.Telefono = QVariant();
    v.Fecha = QStringLiteral("2026-03-03");
    v.Factura = QStringLiteral("00000321");
    v.Lineas = {l1, l2};
    const qlonglong venta = tienda_->AgregarVenta(v);
    QVERIFY(venta > 0);

    const auto cabecera = Uno(base_->Venta(venta));
    QVERIFY(cabecera);
    QCOMPARE(cabecera->value(QStringLiteral("NombreCliente")).toString(),
             QStringLiteral("Luisa Martínez"));
    QCOMPARE(cabecera->value(QStringLiteral("RIF")).toString(), QStringLiteral("V-12345678"));
    QCOMPARE(cabecera->value(QStringLiteral("NombreFormaPago")).toString(),
             QStringLiteral("Contado"));
    QCOMPARE(cabecera->value(QStringLiteral("PorcentImpuesto")).toDouble(), 0.12);
    QVERIFY(cabecera->contains(QStringLiteral("Teléfono")));
    QVERIFY(cabecera->value(QStringLiteral("Teléfono")).isNull());
    QVERIFY(cabecera->value(QStringLiteral("ORD_COMP")).isNull());

    const auto lineas = base_->LineasVenta(venta);
    QVERIFY(lineas && lineas->size() == 2);
    QCOMPARE(lineas->at(0).value(QStringLiteral("Nombre")).toString(), QStringLiteral("Queso"));
    QCOMPARE(lineas->at(0).value(QStringLiteral("CantDec")).toDouble(), 1.5);
    QVERIFY(lineas->at(0).value(QStringLiteral("Especificación")).isNull());
    QCOMPARE(lineas->at(0).value(QStringLiteral("ExcentoImpuesto")).toInt(), -1);
    QCOMPARE(lineas->at(1).value(QStringLiteral("Especificación")).toString(),
             QStringLiteral("plata"));
    QVERIFY(lineas->at(1).value(QStringLiteral("ExcentoImpuesto")).isNull());
    QCOMPARE(lineas->at(1).value(QStringLiteral("Serial")).toString(), QStringLiteral("NV-1"));

    NotaDemo n;
    n.Venta = venta;
    n.Lineas = {l2};
    const qlonglong nota = tienda_->AgregarNota(n);
    const auto notaCab = Uno(base_->NotaCredito(nota));
    QVERIFY(notaCab);
    QCOMPARE(notaCab->value(QStringLiteral("factura")).toString(), QStringLiteral("00000321"));
    QCOMPARE(notaCab->value(QStringLiteral("FechaVenta")).toString(), QStringLiteral("2026-03-03"));
    const auto notaLineas = base_->LineasNota(nota);
    QVERIFY(notaLineas && notaLineas->size() == 1);
    QCOMPARE(notaLineas->first().value(QStringLiteral("Precio")).toDouble(), 620.0);

    NotaDemo sinVenta;
    const auto suelta = Uno(base_->NotaCredito(tienda_->AgregarNota(sinVenta)));
    QVERIFY(suelta);
    QVERIFY(suelta->value(QStringLiteral("factura")).isNull());
    QVERIFY(suelta->value(QStringLiteral("FechaVenta")).isNull());

    // Nothing found is an empty answer, not a failure.
    const auto ninguna = base_->Venta(999999);
    QVERIFY(ninguna && ninguna->isEmpty());

    const auto config = base_->ConfiguracionTienda();
    QVERIFY2(config, qPrintable(base_->UltimoError()));
    QCOMPARE(config->value(QStringLiteral("RIFCompañía")).toString(),
             QStringLiteral("J301234567"));
    QVERIFY(config->value(QStringLiteral("VerCantidad")).isNull());
    QCOMPARE(config->value(QStringLiteral("VerCantidadDecimal")).toInt(), -1);
}

void TstBaseDatos::escribirFactura()
{
    VentaDemo v;
    const qlonglong a = tienda_->AgregarVenta(v);
    const qlonglong b = tienda_->AgregarVenta(v);
    QVERIFY(Codigos(base_->FacturasPendientes(kCaja)).contains(a));

    const Actualizacion r = base_->EscribirFactura(a, QStringLiteral("00000123"), 125);
    QVERIFY2(r.Ok, qPrintable(r.Error));
    QCOMPARE(r.Filas, 1);
    const QList<qlonglong> pendientes = Codigos(base_->FacturasPendientes(kCaja));
    QVERIFY(!pendientes.contains(a));
    QVERIFY(pendientes.contains(b));

    const auto fila = Uno(base_->Venta(a));
    QVERIFY(fila);
    QCOMPARE(fila->value(QStringLiteral("Factura")).toString(), QStringLiteral("00000123"));
    QCOMPARE(fila->value(QStringLiteral("Control")).toString(), QStringLiteral("00000123"));
    QCOMPARE(fila->value(QStringLiteral("Impresa")).toInt(), -1);
    QCOMPARE(fila->value(QStringLiteral("Imprimir")).toInt(), 0);
    QCOMPARE(fila->value(QStringLiteral("NúmeroZ")).toInt(), 125);
    QCOMPARE(fila->value(QStringLiteral("MáquinaFiscal")).toInt(), kCaja);
    const auto otra = Uno(base_->Venta(b));
    QVERIFY(otra && otra->value(QStringLiteral("Factura")).isNull());

    const Actualizacion nada = base_->EscribirFactura(999999, QStringLiteral("1"), 1);
    QVERIFY(nada.Ok);
    QCOMPARE(nada.Filas, 0);
}

void TstBaseDatos::recuperarFactura()
{
    VentaDemo v;
    const qlonglong a = tienda_->AgregarVenta(v);
    const Actualizacion r = base_->RecuperarFactura(a, 9);
    QVERIFY2(r.Ok, qPrintable(r.Error));
    QCOMPARE(r.Filas, 1);
    QVERIFY(!Codigos(base_->FacturasPendientes(kCaja)).contains(a));
    const auto fila = Uno(base_->Venta(a));
    QVERIFY(fila);
    QCOMPARE(fila->value(QStringLiteral("MáquinaFiscal")).toInt(), 0);
    QCOMPARE(fila->value(QStringLiteral("Impresa")).toInt(), -1);
    QCOMPARE(fila->value(QStringLiteral("Imprimir")).toInt(), 0);
    QCOMPARE(fila->value(QStringLiteral("NúmeroZ")).toInt(), 9);
    QVERIFY(fila->value(QStringLiteral("Factura")).isNull());
    QVERIFY(fila->value(QStringLiteral("Control")).isNull());
}

void TstBaseDatos::escribirNota()
{
    NotaDemo n;
    const qlonglong a = tienda_->AgregarNota(n);
    const qlonglong b = tienda_->AgregarNota(n);
    const Actualizacion r = base_->EscribirNota(a, QStringLiteral("00000123"), 125);
    QVERIFY2(r.Ok, qPrintable(r.Error));
    QCOMPARE(r.Filas, 1);
    const QList<qlonglong> pendientes = Codigos(base_->NotasPendientes(kCaja));
    QVERIFY(!pendientes.contains(a));
    QVERIFY(pendientes.contains(b));
    const auto fila = Uno(base_->NotaCredito(a));
    QVERIFY(fila);
    QCOMPARE(fila->value(QStringLiteral("Número")).toString(), QStringLiteral("00000123"));
    QCOMPARE(fila->value(QStringLiteral("Control")).toString(), QStringLiteral("00000123"));
    QCOMPARE(fila->value(QStringLiteral("Impresa")).toInt(), -1);
    QCOMPARE(fila->value(QStringLiteral("Imprimir")).toInt(), 0);
    QCOMPARE(fila->value(QStringLiteral("NúmeroZ")).toInt(), 125);
}

void TstBaseDatos::valoresNoCambianSentencias_data()
{
    QTest::addColumn<QString>("numero");
    QTest::newRow("comilla") << "0000'12";
    QTest::newRow("cierra y borra") << "1'; DELETE FROM Ventas; --";
    QTest::newRow("cambia el filtro") << "1', Imprimir = -1 WHERE 1 = 1 --";
    QTest::newRow("corchete") << "]; DROP TABLE Ventas; --";
    QTest::newRow("comillas dobles y punto y coma") << "\"x\";";
}

void TstBaseDatos::valoresNoCambianSentencias()
{
    // A printer reply is written back as it came: it must stay a value.
    QFETCH(QString, numero);
    VentaDemo v;
    const qlonglong a = tienda_->AgregarVenta(v);
    const qlonglong b = tienda_->AgregarVenta(v);
    NotaDemo n;
    const qlonglong nota = tienda_->AgregarNota(n);
    const qlonglong notaOtra = tienda_->AgregarNota(n);

    const Actualizacion r = base_->EscribirFactura(a, numero, 1);
    QVERIFY2(r.Ok, qPrintable(r.Error));
    QCOMPARE(r.Filas, 1);
    const Actualizacion rn = base_->EscribirNota(nota, numero, 1);
    QVERIFY2(rn.Ok, qPrintable(rn.Error));
    QCOMPARE(rn.Filas, 1);

    QCOMPARE(Uno(base_->Venta(a))->value(QStringLiteral("Factura")).toString(), numero);
    QCOMPARE(Uno(base_->NotaCredito(nota))->value(QStringLiteral("Número")).toString(), numero);
    const QList<qlonglong> facturas = Codigos(base_->FacturasPendientes(kCaja));
    QVERIFY(facturas.contains(b));
    QVERIFY(Uno(base_->Venta(b))->value(QStringLiteral("Factura")).isNull());
    QVERIFY(Codigos(base_->NotasPendientes(kCaja)).contains(notaOtra));
}

void TstBaseDatos::purgarTikets()
{
    const QDate hoy = QDate::currentDate();
    TiketDemo t;
    t.Fecha = hoy.toString(Qt::ISODate);
    const qlonglong deHoy = tienda_->AgregarTiket(t);
    t.Fecha = hoy.addDays(-1).toString(Qt::ISODate);
    const qlonglong deAyer = tienda_->AgregarTiket(t);
    t.Fecha = hoy.addYears(-1).toString(Qt::ISODate);
    const qlonglong viejo = tienda_->AgregarTiket(t);
    t.Caja = kCaja + 1; // every till's old tickets go
    const qlonglong otraCaja = tienda_->AgregarTiket(t);

    const Actualizacion r = local_->PurgarTikets(hoy);
    QVERIFY2(r.Ok, qPrintable(r.Error));
    QVERIFY(r.Filas >= 3);
    const QList<qlonglong> quedan = Codigos(local_->TiketsPendientes(kCaja));
    QVERIFY(quedan.contains(deHoy));
    QVERIFY(!quedan.contains(deAyer));
    QVERIFY(!quedan.contains(viejo));
    QVERIFY(!Codigos(local_->TiketsPendientes(kCaja + 1)).contains(otraCaja));
    const Actualizacion otraVez = local_->PurgarTikets(hoy);
    QVERIFY(otraVez.Ok);
    QCOMPARE(otraVez.Filas, 0);
}

void TstBaseDatos::abrirFalla_data()
{
    QTest::addColumn<QString>("caso");
    QTest::newRow("no existe") << "falta";
    QTest::newRow("no es una base de datos") << "texto";
}

void TstBaseDatos::abrirFalla()
{
    QFETCH(QString, caso);
    QTemporaryDir dir;
    const QString ruta = dir.filePath(QStringLiteral("Base de Datos.dba"));
    if (caso == QLatin1String("texto")) {
        QFile f(ruta);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'x'));
    }
    BaseTienda base(QStringLiteral("prueba.falla"));
    QVERIFY(!base.Abrir(ruta));
    QVERIFY2(base.UltimoError().contains(ruta), qPrintable(base.UltimoError()));
    QVERIFY(!base.Abierta());
    QCOMPARE(QFileInfo::exists(ruta), caso == QLatin1String("texto")); // never creates a file
    QVERIFY(!base.FacturasPendientes(kCaja));
    // The connection name is free again for the next try.
    QVERIFY(!QSqlDatabase::contains(QStringLiteral("prueba.falla")));
}

void TstBaseDatos::verificar_data()
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<QStringList>("sentencias");
    QTest::addColumn<QStringList>("faltan");

    QTest::newRow("completa") << "tienda" << QStringList() << QStringList();
    QTest::newRow("local completa") << "local" << QStringList() << QStringList();
    QTest::newRow("sin vista") << "tienda"
                               << QStringList{QStringLiteral("DROP VIEW [Consulta VentasDetalles]")}
                               << QStringList{QStringLiteral("[Consulta VentasDetalles]")};
    QTest::newRow("sin campo")
        << "tienda"
        << QStringList{QStringLiteral("DROP VIEW [Consulta NotaCréditoVenta Detalles]"),
                       QStringLiteral("CREATE VIEW [Consulta NotaCréditoVenta Detalles] AS "
                                      "SELECT Código, NotaCredVent, Cantidad, CantDec, Precio, "
                                      "NULL AS COD_PROD, NULL AS Nombre "
                                      "FROM [NotaCréditoVentaDetalles]")}
        << QStringList{QStringLiteral("[Consulta NotaCréditoVenta Detalles].ExcentoImpuesto")};
    QTest::newRow("sin disparador")
        << "tienda"
        << QStringList{QStringLiteral("DROP TRIGGER [Consulta Ventas Edición Actualizar]")}
        << QStringList{QStringLiteral("[Consulta Ventas Edición] (INSTEAD OF UPDATE)")};
    QTest::newRow("local sin vista")
        << "local" << QStringList{QStringLiteral("DROP VIEW [Consulta TiketNoFiscal]")}
        << QStringList{QStringLiteral("[Consulta TiketNoFiscal]")};
}

void TstBaseDatos::verificar()
{
    QFETCH(QString, base);
    QFETCH(QStringList, sentencias);
    QFETCH(QStringList, faltan);
    QTemporaryDir dir;
    TiendaDemo tienda;
    QVERIFY2(tienda.Crear(dir.path()), qPrintable(tienda.Error()));
    tienda.Cerrar();
    const bool esLocal = base == QLatin1String("local");
    QVERIFY(Alterar(esLocal ? tienda.ArchivoBaseLocal() : tienda.ArchivoBaseDatos(), sentencias));

    std::unique_ptr<BaseDatos> db;
    if (esLocal)
        db = std::make_unique<BaseLocal>(QStringLiteral("prueba.verificar"));
    else
        db = std::make_unique<BaseTienda>(QStringLiteral("prueba.verificar"));
    QVERIFY(db->Abrir(esLocal ? tienda.ArchivoBaseLocal() : tienda.ArchivoBaseDatos()));
    QCOMPARE(db->Verificar(), faltan);
}

void TstBaseDatos::demo()
{
    QTemporaryDir dir;
    TiendaDemo tienda;
    OpcionesTienda o;
    o.Caja = 2;
    o.Puerto = QStringLiteral("/dev/pts/9");
    QVERIFY2(tienda.Crear(dir.path(), o), qPrintable(tienda.Error()));
    QVERIFY2(tienda.LlenarDemo(), qPrintable(tienda.Error()));
    QVERIFY2(tienda.AgregarHistoria(500), qPrintable(tienda.Error()));
    tienda.Cerrar();

    // The robot finds everything through the demo's own Vendrix.inf.
    const LecturaConfiguracion l = Configuracion::LeerArchivo(tienda.RutaPrograma());
    QVERIFY2(l.Valor, qPrintable(l.Error));
    QCOMPARE(l.Valor->NumeroCaja, 2);
    QCOMPARE(l.Valor->Puerto, QStringLiteral("/dev/pts/9"));
    QCOMPARE(l.Valor->Serial, QStringLiteral("SIM0000001"));
    QVERIFY(l.Valor->Columnas80 && l.Valor->Direccion && l.Valor->MedioPago);
    QVERIFY(QFileInfo(l.Valor->ArchivoMarcaMantenimiento()).isFile());
    QCOMPARE(l.Valor->ArchivoBaseDatos(), tienda.ArchivoBaseDatos());

    BaseTienda base(QStringLiteral("prueba.demo"));
    BaseLocal local(QStringLiteral("prueba.demo.local"));
    QVERIFY(base.Abrir(l.Valor->ArchivoBaseDatos()));
    QVERIFY(local.Abrir(tienda.ArchivoBaseLocal()));
    QCOMPARE(base.Verificar(), QStringList());
    QCOMPARE(local.Verificar(), QStringList());
    const auto facturas = base.FacturasPendientes(2);
    QVERIFY(facturas);
    QCOMPARE(facturas->size(), 12);
    QCOMPARE(base.NotasPendientes(2)->size(), 2);
    QCOMPARE(local.TiketsPendientes(2)->size(), 2);
    QCOMPARE(base.FacturasPendientes(3)->size(), 1);
    // The shapes the printing runs need: names of 38 and 60 characters.
    QList<int> largos;
    for (const Pendiente& p : *facturas)
        largos
            << Uno(base.Venta(p.Codigo))->value(QStringLiteral("NombreCliente")).toString().size();
    QVERIFY(largos.contains(38));
    QVERIFY(largos.contains(60));
    // The note without lines carries its amounts.
    const qlonglong primeraNota = base.NotasPendientes(2)->first().Codigo;
    QVERIFY(base.LineasNota(primeraNota)->isEmpty());
    QCOMPARE(Uno(base.NotaCredito(primeraNota))->value(QStringLiteral("Monto")).toDouble(), 100.0);
    QCOMPARE(local.PurgarTikets(QDate::currentDate()).Filas, 1);
}

void TstBaseDatos::guionSql_data()
{
    QTest::addColumn<QString>("guion");
    QTest::addColumn<int>("cuantas");
    QTest::addColumn<QString>("ultima");

    QTest::newRow("dos sentencias")
        << "CREATE TABLE a (x);\nCREATE TABLE b (y);" << 2 << "CREATE TABLE b (y);";
    QTest::newRow("sin punto y coma final") << "SELECT 1;\nSELECT 2" << 2 << "SELECT 2";
    QTest::newRow("punto y coma entre comillas")
        << "INSERT INTO a VALUES ('x;y');" << 1 << "INSERT INTO a VALUES ('x;y');";
    QTest::newRow("comentarios") << "-- a; b\nSELECT 1; /* c; */\n-- fin;\n"
                                 << 1 << "-- a; b\nSELECT 1;";
    QTest::newRow("disparador entero")
        << "CREATE TRIGGER [t; x] INSTEAD OF UPDATE ON v BEGIN UPDATE a SET x = 1; "
           "UPDATE b SET y = 2; END;\nSELECT 3;"
        << 2 << "SELECT 3;";
    QTest::newRow("disparador temporal")
        << "CREATE TEMP TRIGGER t AFTER INSERT ON a BEGIN DELETE FROM b; END;" << 1
        << "CREATE TEMP TRIGGER t AFTER INSERT ON a BEGIN DELETE FROM b; END;";
}

void TstBaseDatos::guionSql()
{
    QFETCH(QString, guion);
    QFETCH(int, cuantas);
    QFETCH(QString, ultima);
    const QStringList s = GuionSql::Sentencias(guion);
    QCOMPARE(s.size(), cuantas);
    QCOMPARE(s.last(), ultima);
}

QTEST_GUILESS_MAIN(TstBaseDatos)
#include "tst_basedatos.moc"
