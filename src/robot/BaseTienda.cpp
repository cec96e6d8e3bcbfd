#include "BaseTienda.h"

namespace
{
// Pending = marked Imprimir, not Impresa, not Anulada, no Control number, on
// this till; invoices marked Local never qualify. The terms Imprimir <> 0,
// Impresa = 0 and Control IS NULL must match the partial indexes of the
// schema word for word, or SQLite scans the whole history.
const QString kFacturasPendientes =
    QStringLiteral("SELECT Código, Vista1 || ' ' || RIF AS VistaEspecial "
                   "FROM [Consulta Ventas] "
                   "WHERE Anulada = 0 AND Imprimir <> 0 AND Control IS NULL AND Local = 0 "
                   "AND Impresa = 0 AND MáquinaFiscal = ? "
                   "ORDER BY Código");

const QString kNotasPendientes = QStringLiteral(
    "SELECT Código, Vista4 || ' de ' || NombreCLiente || ' ' || RIF AS VistaEspecial "
    "FROM [Consulta NotaCréditoVenta] "
    "WHERE Anulada = 0 AND Imprimir <> 0 AND Control IS NULL AND Impresa = 0 "
    "AND MáquinaFiscal = ? "
    "ORDER BY Código");
} // namespace

BaseTienda::BaseTienda(const QString& conexion) : BaseDatos(conexion) {}

QStringList BaseTienda::Verificar()
{
    const QStringList marcas = {QStringLiteral("Anulada"), QStringLiteral("Imprimir"),
                                QStringLiteral("Control"), QStringLiteral("Impresa"),
                                QStringLiteral("MáquinaFiscal")};
    return VerificarObjetos({
        {QStringLiteral("Configuración"),
         {QStringLiteral("ipServidor"), QStringLiteral("PuertoServicio"),
          QStringLiteral("ModoSoloServicio"), QStringLiteral("RIFCompañía"),
          QStringLiteral("VerCantidad"), QStringLiteral("VerCantidadDecimal")}},
        {QStringLiteral("Consulta Ventas"),
         QStringList{QStringLiteral("Código"), QStringLiteral("Vista1"), QStringLiteral("RIF"),
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
          QStringLiteral("Impresa"), QStringLiteral("Imprimir"), QStringLiteral("NúmeroZ")}},
    });
}

std::optional<QList<Pendiente>> BaseTienda::FacturasPendientes(int caja)
{
    return ConsultarPendientes(kFacturasPendientes, caja);
}

std::optional<QList<Pendiente>> BaseTienda::NotasPendientes(int caja)
{
    return ConsultarPendientes(kNotasPendientes, caja);
}

std::optional<QSqlRecord> BaseTienda::ConfiguracionTienda()
{
    const auto filas =
        Consultar(QStringLiteral("SELECT * FROM [Configuración] ORDER BY rowid LIMIT 1"));
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
    return Consultar(QStringLiteral("SELECT * FROM [Consulta Ventas] WHERE Código = ?"), {codigo});
}

std::optional<QList<QSqlRecord>> BaseTienda::LineasVenta(qlonglong venta)
{
    // The lines in the order they were entered.
    return Consultar(QStringLiteral("SELECT Venta, Cantidad, CantDec, Precio, Especificación, "
                                    "COD_PROD, Nombre, ExcentoImpuesto, Serial "
                                    "FROM [Consulta VentasDetalles] WHERE Venta = ? "
                                    "ORDER BY Código"),
                     {venta});
}

std::optional<QList<QSqlRecord>> BaseTienda::NotaCredito(qlonglong codigo)
{
    return Consultar(QStringLiteral("SELECT * FROM [Consulta NotaCréditoVenta] WHERE Código = ?"),
                     {codigo});
}

std::optional<QList<QSqlRecord>> BaseTienda::LineasNota(qlonglong nota)
{
    return Consultar(QStringLiteral("SELECT * FROM [Consulta NotaCréditoVenta Detalles] "
                                    "WHERE NotaCredVent = ? ORDER BY Código"),
                     {nota});
}

Actualizacion BaseTienda::EscribirFactura(qlonglong codigo, const QString& numero,
                                          qlonglong numeroZ)
{
    return Ejecutar(QStringLiteral("UPDATE [Consulta Ventas Edición] "
                                   "SET Factura = ?, Control = ?, Impresa = -1, Imprimir = 0, "
                                   "NúmeroZ = ? WHERE Código = ?"),
                    {numero, numero, numeroZ, codigo}, Conteo::PorDisparador);
}

Actualizacion BaseTienda::RecuperarFactura(qlonglong codigo, qlonglong numeroZ)
{
    return Ejecutar(QStringLiteral("UPDATE [Consulta Ventas Edición] "
                                   "SET Impresa = -1, Imprimir = 0, MáquinaFiscal = 0, "
                                   "NúmeroZ = ? WHERE Código = ?"),
                    {numeroZ, codigo}, Conteo::PorDisparador);
}

Actualizacion BaseTienda::EscribirNota(qlonglong codigo, const QString& numero, qlonglong numeroZ)
{
    return Ejecutar(QStringLiteral("UPDATE [NotaCréditoVenta] "
                                   "SET Número = ?, Control = ?, Impresa = -1, Imprimir = 0, "
                                   "NúmeroZ = ? WHERE Código = ?"),
                    {numero, numero, numeroZ, codigo});
}

QStringList BaseTienda::PlanPendientes(int caja)
{
    return Plan(kFacturasPendientes, {caja}) + Plan(kNotasPendientes, {caja});
}
