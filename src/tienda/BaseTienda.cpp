#include "tienda/BaseTienda.h"

namespace
{
// The same statements in the two dialects. SQLite: bracketed names, booleans
// as integers (0 false, the robot writes -1 for true). PostgreSQL: quoted
// identifiers, real booleans, dates as dates.
struct Sentencias {
    QString FacturasPendientes;
    QString NotasPendientes;
    QString Configuracion;
    QString Venta;
    QString LineasVenta;
    QString Nota;
    QString LineasNota;
    QString EscribirFactura;
    QString RecuperarFactura;
    QString EscribirNota;
    QString RecuperarNota;
};

// Pending = marked Imprimir, not Impresa, not Anulada, no Control number, on
// this till; invoices marked Local never qualify. The terms on Imprimir,
// Impresa and Control must match the partial indexes of the schema word for
// word, or the engine scans the whole history.
const Sentencias kSqlite = {
    QStringLiteral("SELECT Código, Vista1 || ' ' || RIF AS VistaEspecial "
                   "FROM [Consulta Ventas] "
                   "WHERE Anulada = 0 AND Imprimir <> 0 AND Control IS NULL AND Local = 0 "
                   "AND Impresa = 0 AND MáquinaFiscal = ? "
                   "ORDER BY Código"),
    QStringLiteral(
        "SELECT Código, Vista4 || ' de ' || NombreCLiente || ' ' || RIF AS VistaEspecial "
        "FROM [Consulta NotaCréditoVenta] "
        "WHERE Anulada = 0 AND Imprimir <> 0 AND Control IS NULL AND Impresa = 0 "
        "AND MáquinaFiscal = ? "
        "ORDER BY Código"),
    QStringLiteral("SELECT * FROM [Configuración] ORDER BY rowid LIMIT 1"),
    QStringLiteral("SELECT * FROM [Consulta Ventas] WHERE Código = ?"),
    // The lines in the order they were entered.
    QStringLiteral("SELECT Venta, Cantidad, CantDec, Precio, Especificación, "
                   "COD_PROD, Nombre, ExcentoImpuesto, Serial "
                   "FROM [Consulta VentasDetalles] WHERE Venta = ? "
                   "ORDER BY Código"),
    QStringLiteral("SELECT * FROM [Consulta NotaCréditoVenta] WHERE Código = ?"),
    QStringLiteral("SELECT * FROM [Consulta NotaCréditoVenta Detalles] "
                   "WHERE NotaCredVent = ? ORDER BY Código"),
    QStringLiteral("UPDATE [Consulta Ventas Edición] "
                   "SET Factura = ?, Control = ?, Impresa = -1, Imprimir = 0, "
                   "NúmeroZ = ? WHERE Código = ?"),
    QStringLiteral("UPDATE [Consulta Ventas Edición] "
                   "SET Impresa = -1, Imprimir = 0, MáquinaFiscal = 0, "
                   "NúmeroZ = ? WHERE Código = ?"),
    QStringLiteral("UPDATE [NotaCréditoVenta] "
                   "SET Número = ?, Control = ?, Impresa = -1, Imprimir = 0, "
                   "NúmeroZ = ? WHERE Código = ?"),
    QStringLiteral("UPDATE [NotaCréditoVenta] "
                   "SET Impresa = -1, Imprimir = 0, MáquinaFiscal = 0, "
                   "NúmeroZ = ? WHERE Código = ?"),
};

const Sentencias kPostgres = {
    QStringLiteral("SELECT \"Código\", \"Vista1\" || ' ' || \"Rif\" AS \"VistaEspecial\" "
                   "FROM \"Consulta Ventas\" "
                   "WHERE \"Anulada\" = false AND \"Imprimir\" = true AND \"Control\" IS NULL "
                   "AND \"Local\" = false AND \"Impresa\" = false AND \"MáquinaFiscal\" = ? "
                   "ORDER BY \"Código\""),
    QStringLiteral("SELECT \"Código\", \"Vista4\" || ' de ' || \"NombreCliente\" || ' ' || \"Rif\" "
                   "AS \"VistaEspecial\" "
                   "FROM \"Consulta NotaCréditoVenta\" "
                   "WHERE \"Anulada\" = false AND \"Imprimir\" = true AND \"Control\" IS NULL "
                   "AND \"Impresa\" = false AND \"MáquinaFiscal\" = ? "
                   "ORDER BY \"Código\""),
    // The first record is the first in key order: a server keeps no row order.
    QStringLiteral("SELECT * FROM \"Configuración\" ORDER BY \"Código\" LIMIT 1"),
    QStringLiteral("SELECT * FROM \"Consulta Ventas\" WHERE \"Código\" = ?"),
    QStringLiteral("SELECT \"Venta\", \"Cantidad\", \"CantDec\", \"Precio\", \"Especificación\", "
                   "\"COD_PROD\", \"Nombre\", \"ExcentoImpuesto\", \"Serial\" "
                   "FROM \"Consulta VentasDetalles\" WHERE \"Venta\" = ? "
                   "ORDER BY \"Código\""),
    QStringLiteral("SELECT * FROM \"Consulta NotaCréditoVenta\" WHERE \"Código\" = ?"),
    QStringLiteral("SELECT * FROM \"Consulta NotaCréditoVenta Detalles\" "
                   "WHERE \"NotaCredVent\" = ? ORDER BY \"Código\""),
    QStringLiteral("UPDATE \"Consulta Ventas Edición\" "
                   "SET \"Factura\" = ?, \"Control\" = ?, \"Impresa\" = true, "
                   "\"Imprimir\" = false, \"NúmeroZ\" = ? WHERE \"Código\" = ?"),
    QStringLiteral("UPDATE \"Consulta Ventas Edición\" "
                   "SET \"Impresa\" = true, \"Imprimir\" = false, \"MáquinaFiscal\" = 0, "
                   "\"NúmeroZ\" = ? WHERE \"Código\" = ?"),
    QStringLiteral("UPDATE \"NotaCréditoVenta\" "
                   "SET \"Número\" = ?, \"Control\" = ?, \"Impresa\" = true, "
                   "\"Imprimir\" = false, \"NúmeroZ\" = ? WHERE \"Código\" = ?"),
    QStringLiteral("UPDATE \"NotaCréditoVenta\" "
                   "SET \"Impresa\" = true, \"Imprimir\" = false, \"MáquinaFiscal\" = 0, "
                   "\"NúmeroZ\" = ? WHERE \"Código\" = ?"),
};

const Sentencias& Dialecto(BaseDatos::Motor motor)
{
    return motor == BaseDatos::Motor::PostgreSQL ? kPostgres : kSqlite;
}
} // namespace

BaseTienda::BaseTienda(const QString& conexion) : BaseDatos(conexion) {}

QStringList BaseTienda::Verificar()
{
    const QStringList marcas = {QStringLiteral("Anulada"), QStringLiteral("Imprimir"),
                                QStringLiteral("Control"), QStringLiteral("Impresa"),
                                QStringLiteral("MáquinaFiscal")};
    QStringList configuracion = {
        QStringLiteral("ipServidor"),       QStringLiteral("PuertoServicio"),
        QStringLiteral("ModoSoloServicio"), QStringLiteral("RIFCompañía"),
        QStringLiteral("VerCantidad"),      QStringLiteral("VerCantidadDecimal")};
    // The server's first record is the first by key (SQLite has its rowid).
    if (MotorBase() == Motor::PostgreSQL)
        configuracion.prepend(QStringLiteral("Código"));
    return VerificarObjetos({
        {QStringLiteral("Configuración"), configuracion},
        {QStringLiteral("Consulta Ventas"),
         QStringList{QStringLiteral("Código"), QStringLiteral("Vista1"), QStringLiteral("Rif"),
                     QStringLiteral("Local"), QStringLiteral("NombreCliente"),
                     QStringLiteral("PorcentImpuesto"), QStringLiteral("Teléfono"),
                     QStringLiteral("Dirección"), QStringLiteral("NombreFormaPago"),
                     QStringLiteral("PlantillaAuxiliar"), QStringLiteral("ORD_COMP"),
                     QStringLiteral("NotaEntrega"), QStringLiteral("MedioPago"),
                     QStringLiteral("COD_CLI"), QStringLiteral("NombreVendedor"),
                     QStringLiteral("CampoTextoAdic01"), QStringLiteral("CampoTextoAdic02"),
                     QStringLiteral("CampoTextoAdic03")} +
             marcas},
        {QStringLiteral("Consulta VentasDetalles"),
         {QStringLiteral("Código"), QStringLiteral("Venta"), QStringLiteral("Cantidad"),
          QStringLiteral("CantDec"), QStringLiteral("Precio"), QStringLiteral("Especificación"),
          QStringLiteral("COD_PROD"), QStringLiteral("Nombre"), QStringLiteral("ExcentoImpuesto"),
          QStringLiteral("Serial")}},
        {QStringLiteral("Consulta Ventas Edición"),
         {QStringLiteral("Código"), QStringLiteral("Factura"), QStringLiteral("Control"),
          QStringLiteral("Impresa"), QStringLiteral("Imprimir"), QStringLiteral("MáquinaFiscal"),
          QStringLiteral("NúmeroZ")},
         true},
        {QStringLiteral("Consulta NotaCréditoVenta"),
         QStringList{QStringLiteral("Código"), QStringLiteral("Vista4"),
                     QStringLiteral("NombreCliente"), QStringLiteral("Rif"),
                     QStringLiteral("factura"), QStringLiteral("FechaVenta"),
                     QStringLiteral("PorcentImpuesto"), QStringLiteral("Monto"),
                     QStringLiteral("MontoExcento"), QStringLiteral("Dirección")} +
             marcas},
        {QStringLiteral("Consulta NotaCréditoVenta Detalles"),
         {QStringLiteral("Código"), QStringLiteral("NotaCredVent"), QStringLiteral("Cantidad"),
          QStringLiteral("CantDec"), QStringLiteral("COD_PROD"), QStringLiteral("Nombre"),
          QStringLiteral("ExcentoImpuesto"), QStringLiteral("Precio")}},
        {QStringLiteral("NotaCréditoVenta"),
         {QStringLiteral("Código"), QStringLiteral("Número"), QStringLiteral("Control"),
          QStringLiteral("Impresa"), QStringLiteral("Imprimir"), QStringLiteral("MáquinaFiscal"),
          QStringLiteral("NúmeroZ")},
         true},
    });
}

std::optional<QList<Pendiente>> BaseTienda::FacturasPendientes(int caja)
{
    return ConsultarPendientes(Dialecto(MotorBase()).FacturasPendientes, caja);
}

std::optional<QList<Pendiente>> BaseTienda::NotasPendientes(int caja)
{
    return ConsultarPendientes(Dialecto(MotorBase()).NotasPendientes, caja);
}

std::optional<QSqlRecord> BaseTienda::ConfiguracionTienda()
{
    const auto filas = Consultar(Dialecto(MotorBase()).Configuracion);
    if (!filas)
        return std::nullopt;
    if (filas->isEmpty()) {
        Fallo(QStringLiteral("La tabla [Configuración] no tiene registros"));
        return std::nullopt;
    }
    return filas->first();
}

std::optional<QList<QSqlRecord>> BaseTienda::Venta(qlonglong codigo)
{
    return Consultar(Dialecto(MotorBase()).Venta, {codigo});
}

std::optional<QList<QSqlRecord>> BaseTienda::LineasVenta(qlonglong venta)
{
    return Consultar(Dialecto(MotorBase()).LineasVenta, {venta});
}

std::optional<QList<QSqlRecord>> BaseTienda::NotaCredito(qlonglong codigo)
{
    return Consultar(Dialecto(MotorBase()).Nota, {codigo});
}

std::optional<QList<QSqlRecord>> BaseTienda::LineasNota(qlonglong nota)
{
    return Consultar(Dialecto(MotorBase()).LineasNota, {nota});
}

Actualizacion BaseTienda::EscribirFactura(qlonglong codigo, const QString& numero,
                                          qlonglong numeroZ)
{
    return ActualizarFila(Dialecto(MotorBase()).EscribirFactura, {numero, numero, numeroZ, codigo},
                          Conteo::PorDisparador);
}

Actualizacion BaseTienda::RecuperarFactura(qlonglong codigo, qlonglong numeroZ)
{
    return ActualizarFila(Dialecto(MotorBase()).RecuperarFactura, {numeroZ, codigo},
                          Conteo::PorDisparador);
}

Actualizacion BaseTienda::EscribirNota(qlonglong codigo, const QString& numero, qlonglong numeroZ)
{
    return ActualizarFila(Dialecto(MotorBase()).EscribirNota, {numero, numero, numeroZ, codigo});
}

Actualizacion BaseTienda::RecuperarNota(qlonglong codigo, qlonglong numeroZ)
{
    return ActualizarFila(Dialecto(MotorBase()).RecuperarNota, {numeroZ, codigo});
}

QStringList BaseTienda::PlanPendientes(int caja, bool soloIndices)
{
    const Sentencias& s = Dialecto(MotorBase());
    return Plan(s.FacturasPendientes, {caja}, soloIndices) +
           Plan(s.NotasPendientes, {caja}, soloIndices);
}
