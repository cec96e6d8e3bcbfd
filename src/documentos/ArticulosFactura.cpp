#include "documentos/ArticulosFactura.h"

#include "comun/CodigoPagina.h"
#include "comun/Conversiones.h"
#include "comun/Texto.h"
#include "documentos/AnchosFactura.h"
#include "documentos/ArmadoFactura.h"
#include "documentos/CampoVenta.h"
#include "impresora/ComandosFiscales.h"
#include "impresora/Protocolo.h"

namespace
{
QByteArray Articulo(const QString& descripcion, const QString& cantidad, const QString& precio,
                    const QString& tasa)
{
    const QByteArray del(1, Protocolo::DEL);
    return ComandosFiscales::Armar('B', {CodigoPagina::ABytes(descripcion), cantidad.toLatin1(),
                                         precio.toLatin1(), tasa.toLatin1(), "M", del, del, del});
}
} // namespace

ArticulosFactura::ArticulosFactura(ArmadoFactura& armado, const DatosEncabezado& datos)
    : corrida_(armado), datos_(datos)
{
    ancho_ = datos.variante == VarianteInstalacion::Vehiculos ? AnchosFactura::kArticuloVehiculos
             : armado.Config().config.Columnas80              ? AnchosFactura::kArticulo80
                                                              : AnchosFactura::kArticulo40;
}

bool ArticulosFactura::ArmarArticulos(const QList<QSqlRecord>& lineas)
{
    bool continuo = false; // the last item printed continuation lines
    for (const QSqlRecord& linea : lineas)
        if (!ArmarArticulo(linea, continuo))
            return false;
    if (continuo)
        Separador();

    corrida_.PonerEtapa(5);
    corrida_.Agregar(ComandosFiscales::Armar('E', {"A"}));
    return true;
}

bool ArticulosFactura::ArmarArticulo(const QSqlRecord& linea, bool& continuo)
{
    const std::optional<double> cantidad = Cantidad(linea);
    corrida_.PonerEtapa(4);
    const std::optional<QString> descripcion = Descripcion(linea);
    const std::optional<double> precio = corrida_.NumeroRequerido(linea, QStringLiteral("Precio"));
    if (!cantidad || !descripcion || !precio)
        return false;
    // An exempt flag left Null counts as exempt.
    const bool exento = CampoVenta::Logico(linea, QStringLiteral("ExcentoImpuesto")).value_or(true);
    const QString campoCantidad = Conversiones::CampoCantidad(*cantidad);
    const QString campoPrecio = Conversiones::CampoPrecio(*precio);
    const QString campoTasa = Conversiones::CampoTasa(datos_.tasa, exento);
    if (campoCantidad.isEmpty())
        corrida_.Falta(corrida_.Config().ModoCantidad >= 2 ? QStringLiteral("CantDec")
                                                           : QStringLiteral("Cantidad"));
    if (campoPrecio.isEmpty())
        corrida_.Falta(QStringLiteral("Precio"));
    if (campoTasa.isEmpty())
        corrida_.Falta(QStringLiteral("PorcentImpuesto"));
    if (campoCantidad.isEmpty() || campoPrecio.isEmpty() || campoTasa.isEmpty())
        return false;
    // The printer's own refusal of an item is answered by sending it again.
    corrida_.Agregar(Articulo(Conversiones::LimpioCadena(
                                  Texto::Recortado(Texto::Izquierda(*descripcion, ancho_))),
                              campoCantidad, campoPrecio, campoTasa),
                     true);
    continuo = Continuaciones(*descripcion);
    return true;
}

std::optional<double> ArticulosFactura::Cantidad(const QSqlRecord& linea) const
{
    // Mode 0 reads "Cantidad" as mode 1 does: a fiscal item of no quantity is wrong.
    const int modo = corrida_.Config().ModoCantidad;
    const bool decimal = modo == 2 || modo == 3;
    const QString campo = decimal ? QStringLiteral("CantDec") : QStringLiteral("Cantidad");
    return corrida_.NumeroRequerido(linea, campo);
}

std::optional<QString> ArticulosFactura::Descripcion(const QSqlRecord& linea) const
{
    const auto nombreCampo = corrida_.TextoRequerido(linea, QStringLiteral("Nombre"));
    if (!nombreCampo)
        return std::nullopt;
    const QString nombre = Texto::Recortado(*nombreCampo);
    QString base = nombre;
    if (corrida_.Config().config.CodProd) {
        // Only glued before the name: a Null code reads as empty.
        base = Texto::Recortado(CampoVenta::TextoOpcional(linea, QStringLiteral("COD_PROD"))) +
               QLatin1Char(' ') + nombre;
    }
    const auto especificacion = CampoVenta::Texto(linea, QStringLiteral("Especificación"));

    QString descripcion = base;
    if (!datos_.plantillaAuxiliar || datos_.variante == VarianteInstalacion::Vehiculos) {
        if (especificacion)
            descripcion += QLatin1Char(' ') + *especificacion;
    } else if (especificacion && !especificacion->isEmpty() &&
               *especificacion != QLatin1String("-")) {
        descripcion = Texto::Recortado(*especificacion);
    }

    if (datos_.variante == VarianteInstalacion::Vehiculos) {
        descripcion = nombre;
        if (!datos_.placa.isEmpty())
            descripcion += QStringLiteral(" Placa:") + datos_.placa;
    }
    if (datos_.variante == VarianteInstalacion::ClienteVendedor && especificacion)
        descripcion = Texto::Recortado(*especificacion) + QLatin1Char(' ') + nombre;
    return descripcion;
}

bool ArticulosFactura::Continuaciones(const QString& descripcion)
{
    bool imprimio = false;
    for (int k = 1; k <= AnchosFactura::kContinuaciones; ++k) {
        if (descripcion.size() <= k * ancho_)
            break;
        corrida_.LineaTexto(Texto::Recortado(Texto::Medio(descripcion, k * ancho_ + 1, ancho_)));
        imprimio = true;
    }
    return imprimio;
}

void ArticulosFactura::Separador()
{
    const QString cero = Conversiones::Cifras(0);
    corrida_.Agregar(Articulo(QStringLiteral("-------"), cero, cero, QStringLiteral("0000")));
}

void ArticulosFactura::ArmarLineasFinales()
{
    const bool vehiculos = datos_.variante == VarianteInstalacion::Vehiculos;
    const bool direccion = corrida_.Config().config.Direccion && !vehiculos;

    if (vehiculos) {
        static const struct {
            const char* etiqueta;
            int ancho;
        } kVehiculo[] = {{"VIN: ", 44}, {"Serial Motor: ", 35}, {"Color: ", 42}};
        for (int i = 0; i < 3; ++i)
            if (!datos_.vehiculo[i].isEmpty())
                corrida_.LineaTexto(
                    Texto::Recortado(QLatin1String(kVehiculo[i].etiqueta) +
                                     Texto::Izquierda(datos_.vehiculo[i], kVehiculo[i].ancho)));
    }

    if (direccion) {
        corrida_.PonerEtapa(7);
        if (!datos_.direccion.isEmpty()) {
            corrida_.LineaTexto(
                Texto::Recortado(Texto::Izquierda(datos_.direccion, AnchosFactura::kLinea)));
            if (datos_.direccion.size() > AnchosFactura::kLinea)
                corrida_.LineaTexto(Texto::Recortado(Texto::Medio(
                    datos_.direccion, AnchosFactura::kLinea + 1, AnchosFactura::kLinea)));
        }
    }

    if (datos_.variante == VarianteInstalacion::Telefono)
        corrida_.LineaTexto(Texto::Recortado(QStringLiteral("Telf ") +
                                             Conversiones::LimpioCadena(Texto::Izquierda(
                                                 datos_.telefono, AnchosFactura::kTelefono))));

    if (direccion) {
        const QString condicion = datos_.formaPago == QLatin1String("Contado")
                                      ? datos_.formaPago
                                      : datos_.formaPago + QLatin1Char(' ') + datos_.textoMedioPago;
        corrida_.LineaTexto(
            Texto::Recortado(QStringLiteral("Condición: ") +
                             Texto::Izquierda(condicion, AnchosFactura::kCondicion)));
    }
}
