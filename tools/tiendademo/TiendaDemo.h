#pragma once

#include "tienda/BaseDatos.h"

#include <QDate>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>

#include <optional>

// How the demo shop is set up: the lines of Vendrix.inf and the company row.
struct OpcionesTienda {
    QString CarpetaSql; // empty: the installed sql/, else the source tree's
    QString Puerto = QStringLiteral("1");
    int Caja = 1;
    QString Impresora = QStringLiteral("Fiscal demo");
    QString Serial = QStringLiteral("SIM0000001");
    bool CodProd = false;
    bool Columnas80 = true;
    bool Direccion = true;
    bool EntregaOrden = false;
    bool MedioPago = true;
    bool CampoTextoAdic01 = false;
    QString NombreCompania = QStringLiteral("Tienda Demo, C.A.");
    QString RifCompania = QStringLiteral("J301234567"); // stored bare, shown with dashes
    QString ServidorIp = QStringLiteral("127.0.0.1");
    int ServidorPuerto = 10000;
    bool ModoSoloServicio = false;
    QVariant VerCantidad = 0;         // NULL allowed
    QVariant VerCantidadDecimal = -1; // NULL allowed
    bool Reemplazar = false;          // overwrite the files of an earlier shop
    // The shop database on this PostgreSQL server instead of the SQLite file:
    // its database Base is created (replaced with Reemplazar) through the
    // maintenance database, and Vendrix.inf gets the "BaseDatos:" line.
    std::optional<ServidorBaseDatos> Servidor;
    QString BaseMantenimiento = QStringLiteral("postgres");
    // Another till of a shop whose server database exists already: only the
    // program folder (Vendrix.inf, data folder, local database) is made.
    bool BaseExistente = false;
};

// One line of a sale or a credit note. QVariant fields may be NULL.
struct LineaDemo {
    QVariant CodProd = QStringLiteral("P001");
    QVariant Nombre = QStringLiteral("Producto");
    QVariant Especificacion; // sales only
    double Cantidad = 1;     // CantDec
    QVariant CantidadEntera; // Cantidad; NULL here: Cantidad rounded
    QVariant Precio = 10.0;
    QVariant Exento = 0; // ExcentoImpuesto of the product
    QVariant Serial;     // sales only
};

// A sale with its customer, salesman, payment form and lines. By default a
// pending invoice of the shop's till.
struct VentaDemo {
    QVariant CodCli = QStringLiteral("C0001");
    QVariant NombreCliente = QStringLiteral("Cliente de contado");
    QVariant Rif = QStringLiteral("V-12345678");
    QVariant Telefono;
    QVariant Direccion = QStringLiteral("Av. Principal, Local 1");
    QVariant NombreVendedor = QStringLiteral("Vendedor 1");
    QVariant FormaPago = QStringLiteral("Contado");
    QVariant MedioPago = 0;
    QVariant PorcentImpuesto = 0.12;
    QVariant OrdComp;
    QVariant NotaEntrega;
    QVariant PlantillaAuxiliar = 0;
    QVariant CampoTextoAdic01;
    QVariant CampoTextoAdic02;
    QVariant CampoTextoAdic03;
    QVariant Fecha = QDate::currentDate().toString(Qt::ISODate);
    QVariant Factura;
    QVariant Control;
    QVariant Impresa = 0;
    QVariant Imprimir = -1;
    QVariant Anulada = 0;
    QVariant Local = 0;
    std::optional<int> MaquinaFiscal; // none: the shop's till
    QVariant NumeroZ;
    QList<LineaDemo> Lineas;
};

// A credit note against a sale. By default a pending note of the shop's till.
struct NotaDemo {
    qlonglong Venta = 0; // the sale it corrects; 0: none (factura, FechaVenta NULL)
    QVariant CodCli = QStringLiteral("C0001");
    QVariant NombreCliente = QStringLiteral("Cliente de contado");
    QVariant Rif = QStringLiteral("V-12345678");
    QVariant Direccion = QStringLiteral("Av. Principal, Local 1");
    QVariant Fecha = QDate::currentDate().toString(Qt::ISODate);
    QVariant PorcentImpuesto = 0.12;
    QVariant Monto = 0.0;
    QVariant MontoExcento = 0.0;
    QVariant Motivo;
    QVariant Numero;
    QVariant Control;
    QVariant Impresa = 0;
    QVariant Imprimir = -1;
    QVariant Anulada = 0;
    std::optional<int> MaquinaFiscal;
    QVariant NumeroZ;
    QList<LineaDemo> Lineas;
};

// A non-fiscal ticket of the local database.
struct TiketDemo {
    QVariant Fecha = QDate::currentDate().toString(Qt::ISODate);
    std::optional<int> Caja;
    QVariant Imprimir = -1;
    QVariant Impresa = 0;
    QVariant Otro1;
    QVariant Otro2 = QStringLiteral("Pedido");
    QVariant Texto;
};

// Builds a shop folder for the robot: Vendrix.inf, the data folder with the
// maintenance marker and the shop database made from sql/tienda.sql (or, on
// a PostgreSQL server, from sql/tienda_pg.sql), and the local database from
// sql/local.sql. Tests use it to make real databases and add the documents
// they need; the writer of the multi-till tests adds sales through it.
class TiendaDemo
{
  public:
    TiendaDemo();
    ~TiendaDemo();
    TiendaDemo(const TiendaDemo&) = delete;
    TiendaDemo& operator=(const TiendaDemo&) = delete;

    // Creates an empty shop in `carpeta` (the program's folder); its data
    // folder is `carpeta`/Datos/. False and Error() on failure.
    bool Crear(const QString& carpeta, const OpcionesTienda& opciones = {});
    // Opens the shop of an existing program folder, where its Vendrix.inf
    // says (the file or the server).
    bool Abrir(const QString& carpeta);
    QString Error() const;
    // Closes the connections (the files and the server's database stay).
    void Cerrar();
    // Drops the shop's database from its server (nothing for a SQLite shop).
    bool BorrarBase();

    // Opens `base` on this shop's database, as the robot would.
    bool AbrirEn(BaseDatos& base) const;
    // Runs statements on the shop database behind the robot's back, in one
    // transaction (tests damage or change the shop with them).
    bool Ejecutar(const QStringList& sentencias);
    bool EsServidor() const;

    QString RutaPrograma() const;
    QString RutaDatos() const; // ends with '/'
    QString ArchivoConfiguracion() const;
    QString ArchivoBaseDatos() const;
    QString ArchivoBaseLocal() const;
    QString ArchivoMarcaMantenimiento() const;
    const OpcionesTienda& Opciones() const;

    // Each returns the new Código, or 0 on failure (see Error()).
    qlonglong AgregarVenta(const VentaDemo& venta);
    qlonglong AgregarNota(const NotaDemo& nota);
    qlonglong AgregarTiket(const TiketDemo& tiket);

    // The demo's documents: a dozen pending invoices of different shapes for
    // the till, pending credit notes, and documents the robot must not list.
    bool LlenarDemo();
    // `ventas` printed sales and ventas/5 printed credit notes spread over
    // four tills, in one transaction.
    bool AgregarHistoria(int ventas);

    // Text of the eleven lines of Vendrix.inf for these options.
    static QString TextoConfiguracion(const QString& rutaDatos, const OpcionesTienda& opciones);
    static QString CarpetaSqlPredeterminada();

  private:
    bool Falla(const QString& texto);
    std::optional<qlonglong> Id(const QString& tabla, const QStringList& columnas,
                                const QVariantList& valores);
    std::optional<qlonglong> Insertar(QSqlDatabase& db, const QString& tabla,
                                      const QStringList& columnas, const QVariantList& valores);
    QVariantList Valores(const QStringList& columnas, const QVariantList& valores) const;
    bool AgregarLineas(const QString& tabla, const QString& columnaPadre, qlonglong padre,
                       const QList<LineaDemo>& lineas, bool conEspecificacion);
    bool CrearBase(QSqlDatabase& db, const QString& conexion, const QString& archivo,
                   const QString& guion);
    bool CrearBaseServidor(const QString& guion);
    bool ConectarServidor();
    bool HistoriaServidor(int ventas, const QList<qlonglong>& clientes,
                          const QList<qlonglong>& productos);

    QString carpeta_;
    QString archivoBase_; // the SQLite shop file (empty on a server)
    QString error_;
    OpcionesTienda opciones_;
    QString conexionTienda_;
    QString conexionLocal_;
    QSqlDatabase tienda_;
    QSqlDatabase local_;
};
