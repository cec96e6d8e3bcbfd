#include "documentos/EncabezadoFactura.h"

#include "comun/CodigoPagina.h"
#include "comun/Conversiones.h"
#include "comun/Texto.h"
#include "documentos/AnchosFactura.h"
#include "documentos/ArmadoFactura.h"
#include "documentos/CampoVenta.h"
#include "impresora/ComandosFiscales.h"
#include "impresora/Protocolo.h"

#include <QVariant>
#include <cmath>

EncabezadoFactura::EncabezadoFactura(ArmadoFactura& armado) : corrida_(armado) {}

VarianteInstalacion EncabezadoFactura::Variante(const QString& registro)
{
    const QString r = Texto::Recortado(registro);
    if (r == QLatin1String("EOC0012553"))
        return VarianteInstalacion::Vehiculos;
    if (r == QLatin1String("EOC0015112") || r == QLatin1String("EOC0003310") ||
        r == QLatin1String("EOC0011095"))
        return VarianteInstalacion::ClienteVendedor;
    if (r == QLatin1String("EOC0008906"))
        return VarianteInstalacion::Telefono;
    return VarianteInstalacion::Comun;
}

QString EncabezadoFactura::TextoMedioPago(const QVariant& codigo)
{
    static const char* const kTextos[] = {
        "Efectivo",  "Cheque",          "T. Débito",     "T. Crédito", "Depósito",
        "Retención", "Nota de Crédito", "Transferencia", "C. Tiket",   "Otros"};
    bool ok = false;
    const double n = codigo.toDouble(&ok);
    if (codigo.isNull() || !ok || n != std::floor(n) || n < 0 || n > 9)
        return QString();
    return QString::fromUtf8(kTextos[int(n)]);
}

std::optional<DatosEncabezado> EncabezadoFactura::Armar(const QSqlRecord& venta)
{
    ArmadoFactura::Ajustes& ajustes = corrida_.Config();
    datos_ = DatosEncabezado();
    datos_.variante = Variante(ajustes.Registro);
    vehiculos_ = datos_.variante == VarianteInstalacion::Vehiculos;
    lineasEncabezado_ = 0;

    if (!AbrirFactura(venta) || !LeerValores(venta))
        return std::nullopt;
    LineasNombre(venta);

    corrida_.PonerEtapa(2.6);
    const QString orden = TextoOrden(venta);

    corrida_.PonerEtapa(2.7);
    if (vehiculos_)
        ajustes.config.MedioPago = false;
    datos_.textoMedioPago = TextoMedioPago(venta.value(QStringLiteral("MedioPago")));

    corrida_.PonerEtapa(2.8);
    LineasOpcionales(venta, orden);

    corrida_.PonerEtapa(2.9);
    if (vehiculos_)
        LineasVehiculo(venta);

    corrida_.PonerEtapa(2.14);
    return datos_;
}

bool EncabezadoFactura::AbrirFactura(const QSqlRecord& venta)
{
    corrida_.PonerEtapa(2);
    const auto nombre = corrida_.TextoRequerido(venta, QStringLiteral("NombreCliente"));
    const auto rif = corrida_.TextoRequerido(venta, QStringLiteral("Rif"));
    if (!nombre || !rif)
        return false;
    const QByteArray del(1, Protocolo::DEL);
    corrida_.Apertura(ComandosFiscales::Armar(
        '@', {CodigoPagina::ABytes(Conversiones::LimpioCadena(
                  Texto::Izquierda(Texto::Recortado(*nombre), AnchosFactura::kNombre))),
              CodigoPagina::ABytes(Texto::Izquierda(Texto::Recortado(Conversiones::LimpioRif(*rif)),
                                                    AnchosFactura::kRif)),
              del, del, del, del, del, del}));
    // The printer's answer to it is checked at stage 2.2, when it is sent.
    corrida_.PonerEtapa(2.2);
    return true;
}

bool EncabezadoFactura::LeerValores(const QSqlRecord& venta)
{
    const auto tasa = CampoVenta::Numero(venta, QStringLiteral("PorcentImpuesto"));
    if (!tasa || Conversiones::CampoTasa(*tasa, false).isEmpty()) {
        corrida_.Falta(QStringLiteral("PorcentImpuesto"));
        return false;
    }
    datos_.tasa = *tasa;
    datos_.telefono =
        CampoVenta::Texto(venta, QStringLiteral("Teléfono")).value_or(QStringLiteral(" "));

    corrida_.PonerEtapa(2.3);
    const auto direccion = corrida_.TextoRequerido(venta, QStringLiteral("Dirección"));
    const auto formaPago = corrida_.TextoRequerido(venta, QStringLiteral("NombreFormaPago"));
    if (!direccion || !formaPago)
        return false;
    datos_.direccion = Texto::Recortado(*direccion);
    datos_.formaPago = Texto::Recortado(*formaPago);
    if (!datos_.direccion.isEmpty())
        datos_.direccion = Conversiones::LimpioCadena(datos_.direccion);

    corrida_.PonerEtapa(2.4);
    if (vehiculos_) {
        if (datos_.telefono != QLatin1String(" "))
            datos_.direccion += QStringLiteral(" tlf:") + datos_.telefono;
        datos_.direccion += QStringLiteral(" Cond:") + datos_.formaPago;
    }
    const auto plantilla = CampoVenta::Logico(venta, QStringLiteral("PlantillaAuxiliar"));
    if (!plantilla) {
        corrida_.Falta(QStringLiteral("PlantillaAuxiliar"));
        return false;
    }
    datos_.plantillaAuxiliar = *plantilla;
    return true;
}

void EncabezadoFactura::LineasNombre(const QSqlRecord& venta)
{
    corrida_.PonerEtapa(2.5);
    // Read and checked by the opening already.
    const QString guardado = CampoVenta::TextoOpcional(venta, QStringLiteral("NombreCliente"));
    const QString nombre = Texto::Recortado(guardado);
    if (nombre.size() > AnchosFactura::kNombre) {
        ++lineasEncabezado_;
        corrida_.LineaTexto(Texto::Recortado(Texto::Izquierda(guardado, AnchosFactura::kLinea)));
        if (nombre.size() > AnchosFactura::kLinea) {
            ++lineasEncabezado_;
            corrida_.LineaTexto(Texto::Recortado(
                Texto::Medio(nombre, AnchosFactura::kLinea + 1, AnchosFactura::kLinea)));
        }
    }
}

QString EncabezadoFactura::TextoOrden(const QSqlRecord& venta) const
{
    if (!corrida_.Config().config.EntregaOrden || vehiculos_)
        return QString();
    QString orden = CampoVenta::TextoOpcional(venta, QStringLiteral("ORD_COMP"));
    const QString nota = CampoVenta::TextoOpcional(venta, QStringLiteral("NotaEntrega"));
    // A delivery note without a purchase order is not printed.
    if (!nota.isEmpty() && nota != QLatin1String("S/N") && !orden.isEmpty())
        orden += QLatin1Char(' ') + nota;
    return orden;
}

void EncabezadoFactura::LineasOpcionales(const QSqlRecord& venta, const QString& orden)
{
    Configuracion& config = corrida_.Config().config;
    const bool clienteVendedor = datos_.variante == VarianteInstalacion::ClienteVendedor;

    if (lineasEncabezado_ < AnchosFactura::kLineasEncabezado && !orden.isEmpty() && !vehiculos_ &&
        !clienteVendedor) {
        ++lineasEncabezado_;
        corrida_.LineaTexto(Texto::Recortado(Texto::Izquierda(orden, AnchosFactura::kOrden)));
    }

    if (clienteVendedor && lineasEncabezado_ < AnchosFactura::kLineasEncabezado) {
        // Both are only glued into the line: a Null one reads as empty.
        const QString cliente = CampoVenta::TextoOpcional(venta, QStringLiteral("COD_CLI"));
        const QString vendedor = CampoVenta::TextoOpcional(venta, QStringLiteral("NombreVendedor"));
        ++lineasEncabezado_;
        const QString p = QStringLiteral("Cli: ") + cliente + QStringLiteral(" Vend: ");
        // A customer code too long for the line leaves no room for the salesman.
        const QString linea =
            p.size() > AnchosFactura::kLinea
                ? Texto::Izquierda(p, AnchosFactura::kLinea)
                : p + Texto::Izquierda(vendedor, AnchosFactura::kLinea - p.size());
        corrida_.LineaTexto(Texto::Recortado(linea));
    }

    if (vehiculos_)
        config.CampoTextoAdic01 = false;
    if (config.CampoTextoAdic01 && lineasEncabezado_ < AnchosFactura::kLineasEncabezado) {
        const QString libre = CampoVenta::TextoOpcional(venta, QStringLiteral("CampoTextoAdic01"));
        if (!libre.isEmpty()) {
            ++lineasEncabezado_;
            corrida_.LineaTexto(Texto::Recortado(Texto::Izquierda(libre, AnchosFactura::kLinea)));
        }
    }
}

void EncabezadoFactura::LineasVehiculo(const QSqlRecord& venta)
{
    corrida_.PonerEtapa(2.101);
    datos_.vehiculo = {CampoVenta::TextoOpcional(venta, QStringLiteral("CampoTextoAdic01")),
                       CampoVenta::TextoOpcional(venta, QStringLiteral("CampoTextoAdic02")),
                       CampoVenta::TextoOpcional(venta, QStringLiteral("CampoTextoAdic03"))};
    datos_.placa = CampoVenta::TextoOpcional(venta, QStringLiteral("ORD_COMP"));

    corrida_.PonerEtapa(2.102);
    if (!datos_.direccion.isEmpty()) {
        corrida_.PonerEtapa(2.103);
        corrida_.LineaTexto(
            Texto::Recortado(QStringLiteral("DIRECCION: ") +
                             Texto::Izquierda(datos_.direccion, AnchosFactura::kLinea)));
        corrida_.PonerEtapa(2.104);
        if (datos_.direccion.size() > AnchosFactura::kLinea)
            corrida_.LineaTexto(Texto::Recortado(Texto::Medio(
                datos_.direccion, AnchosFactura::kLinea + 1, AnchosFactura::kDireccion2)));
    }

    corrida_.PonerEtapa(2.11);
    const QString garantia = CampoVenta::TextoOpcional(venta, QStringLiteral("NotaEntrega"));
    if (!garantia.isEmpty())
        corrida_.LineaTexto(Texto::Recortado(
            Texto::Izquierda(QStringLiteral("Garantia: ") + garantia, AnchosFactura::kGarantia)));
    corrida_.PonerEtapa(2.12);
}
