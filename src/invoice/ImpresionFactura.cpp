#include "ImpresionFactura.h"

#include "ArmadoFactura.h"
#include "CodigoPagina.h"
#include "Texto.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcFactura, "rovend.invoice")

namespace
{
const QString kAnular = QStringLiteral("Anule ese documento en la impresora (reset) e inicie el "
                                       "robot de nuevo: la factura se imprimirá completa.");
} // namespace

ImpresionFactura::ImpresionFactura(ContextoImpresion& contexto) : ctx_(contexto) {}

void ImpresionFactura::ImprimirFactura()
{
    ctx_.control.PonerTimer(false);
    const std::optional<qlonglong> codigo = PrimeraPendiente();
    if (!codigo) {
        ctx_.control.PonerTimer(true);
        return;
    }
    CorridaDocumento corrida(ctx_, CorridaDocumento::Tipo::Factura);
    // The marker names an invoice whose closing went out (or was about to)
    // in a run that never reached the database: settle it from the printer's
    // side, never print it again. An unreadable marker names no invoice.
    const std::optional<ArchivoMarca::Marca> marca = corrida.LeerMarca();
    if (marca && marca->Codigo == *codigo) {
        const CorridaDocumento::Fin fin = corrida.Recuperar(*codigo, *marca);
        if (!fin.Ok)
            return Falla(corrida, fin);
        ctx_.control.PonerTimer(true);
        return;
    }

    if (const auto fin = corrida.EsperarImpresora(); !fin.Ok)
        return Falla(corrida, fin);
    const auto venta = ctx_.tienda.Venta(*codigo);
    if (!venta)
        return Falla(corrida, CorridaDocumento::Fin::Etapa(
                                  QStringLiteral("No se pudo leer la factura ") +
                                  QString::number(*codigo) + QStringLiteral(": ") +
                                  ctx_.tienda.UltimoError()));
    // A pending code without its sale: nothing printed, tried again next tick.
    if (!venta->isEmpty()) {
        const ArmadoFactura::Resultado armado =
            ArmadoFactura::Armar(ctx_, *codigo, venta->first());
        if (!armado.Valor) {
            corrida.PonerEtapa(armado.Etapa);
            return Falla(corrida, CorridaDocumento::Fin::Etapa(armado.Falla));
        }
        const std::optional<bool> abierto = corrida.DocumentoAbierto();
        if (!abierto)
            return Falla(corrida, CorridaDocumento::Fin::Etapa(
                                      QStringLiteral("La impresora no respondió a la consulta de "
                                                     "su estado; no se imprimió nada.")));
        if (*abierto)
            return Detener(QStringLiteral("La impresora tiene abierto un documento fiscal que el "
                                          "robot no abrió, así que la factura") +
                           Texto::NumeroConSigno(double(*codigo)) +
                           QStringLiteral(" no se imprimió.") + QChar(13) + kAnular);
        if (const auto fin = corrida.Imprimir(*armado.Valor); !fin.Ok)
            return Falla(corrida, fin);
    }
    ctx_.enlace.DelayMili(10);
    ctx_.control.PonerTimer(true);
}

std::optional<qlonglong> ImpresionFactura::PrimeraPendiente()
{
    const auto pendientes = ctx_.control.RefrescarFacturas();
    if (!pendientes) {
        qCWarning(lcFactura) << "no se pudo leer la lista de facturas pendientes";
        return std::nullopt;
    }
    if (pendientes->isEmpty())
        return std::nullopt;
    return pendientes->first().Codigo;
}

void ImpresionFactura::Falla(const CorridaDocumento& corrida, const CorridaDocumento::Fin& fin)
{
    if (!fin.ConEtapa)
        return Detener(fin.Detalle);
    const QChar cr(13);
    QString texto = QStringLiteral("No se pudo realizar la tarea. Por favor verifique la etapa ") +
                    Texto::NumeroConSigno(corrida.Etapa()) + QLatin1Char('.') + cr +
                    QStringLiteral("Entrada: ") + CodigoPagina::ATexto(ctx_.enlace.Respuesta) +
                    cr + QStringLiteral("Salida: ") + CodigoPagina::ATexto(ctx_.enlace.Comando);
    if (!fin.Detalle.isEmpty())
        texto += cr + fin.Detalle;
    qCWarning(lcFactura).noquote()
        << "factura abandonada en la etapa" << Texto::NumeroSinSigno(corrida.Etapa());
    ctx_.pantalla.AnotarFalla(corrida.Etapa(), texto);
    ctx_.pantalla.MostrarMensaje(texto);
    ctx_.control.DetenerPorFalla();
}

void ImpresionFactura::Detener(const QString& texto)
{
    qCWarning(lcFactura).noquote() << texto;
    ctx_.pantalla.MostrarMensaje(texto);
    ctx_.control.DetenerPorFalla();
}
