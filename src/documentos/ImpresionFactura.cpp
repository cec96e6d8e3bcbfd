#include "documentos/ImpresionFactura.h"

#include "comun/CodigoPagina.h"
#include "comun/Texto.h"
#include "documentos/ArmadoFactura.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcFactura, "rovend.invoice")

ImpresionFactura::ImpresionFactura(ContextoImpresion& contexto) : ctx_(contexto) {}

ResultadoCorrida ImpresionFactura::ImprimirFactura(qlonglong codigo)
{
    CorridaDocumento corrida(ctx_, CorridaDocumento::Tipo::Factura);
    // The marker names an invoice whose closing went out (or was about to)
    // in a run that never reached the database: settle it from the printer's
    // side, never print it again. An unreadable marker names no invoice.
    const std::optional<ArchivoMarca::Marca> marca = corrida.LeerMarca();
    if (marca && marca->Codigo == codigo) {
        const CorridaDocumento::Fin fin = corrida.Recuperar(codigo, *marca);
        return fin.Ok ? ResultadoCorrida::Listo() : Detenido(corrida, fin);
    }

    if (const auto fin = corrida.EsperarImpresora(); !fin.Ok)
        return Detenido(corrida, fin);
    const auto venta = ctx_.tienda.Venta(codigo);
    const auto lineas = venta && !venta->isEmpty() ? ctx_.tienda.LineasVenta(codigo)
                                                   : std::optional<QList<QSqlRecord>>();
    if (!venta || (!venta->isEmpty() && !lineas))
        return Detenido(
            corrida, CorridaDocumento::Fin::Etapa(QStringLiteral("No se pudo leer la factura ") +
                                                  QString::number(codigo) + QStringLiteral(": ") +
                                                  ctx_.tienda.UltimoError()));
    // A pending code without its sale: nothing printed, tried again next tick.
    if (venta->isEmpty()) {
        ctx_.enlace.DelayMili(10);
        return ResultadoCorrida::Nada();
    }
    const ArmadoFactura::Ajustes ajustes{ctx_.config, ctx_.ajustesTienda.ModoCantidad,
                                         ctx_.hechos.Registro};
    const ArmadoFactura::Resultado armado =
        ArmadoFactura::Armar(ajustes, codigo, venta->first(), *lineas);
    if (!armado.Valor) {
        corrida.PonerEtapa(armado.Etapa);
        return Detenido(corrida, CorridaDocumento::Fin::Etapa(armado.Falla));
    }
    const std::optional<bool> abierto = corrida.DocumentoAbierto();
    if (!abierto)
        return Detenido(corrida, CorridaDocumento::Fin::Etapa(
                                     QStringLiteral("La impresora no respondió a la consulta de "
                                                    "su estado; no se imprimió nada.")));
    if (*abierto)
        return Detenido(corrida,
                        CorridaDocumento::Fin::Aviso(
                            QStringLiteral("La impresora tiene abierto un documento fiscal que el "
                                           "robot no abrió, así que la factura") +
                            Texto::NumeroConSigno(double(codigo)) +
                            QStringLiteral(" no se imprimió.") + QChar(13) + corrida.Anular()));
    if (const auto fin = corrida.Imprimir(*armado.Valor); !fin.Ok)
        return Detenido(corrida, fin);
    ctx_.enlace.DelayMili(10);
    return ResultadoCorrida::Listo();
}

ResultadoCorrida ImpresionFactura::Detenido(const CorridaDocumento& corrida,
                                            const CorridaDocumento::Fin& fin)
{
    if (!fin.ConEtapa) {
        qCWarning(lcFactura).noquote() << fin.Detalle;
        return ResultadoCorrida::Parada(fin.Detalle, corrida.Etapa(), false);
    }
    const QChar cr(13);
    QString texto = QStringLiteral("No se pudo realizar la tarea. Por favor verifique la etapa ") +
                    Texto::NumeroConSigno(corrida.Etapa()) + QLatin1Char('.') + cr +
                    QStringLiteral("Entrada: ") + CodigoPagina::ATexto(ctx_.enlace.Respuesta) + cr +
                    QStringLiteral("Salida: ") + CodigoPagina::ATexto(ctx_.enlace.Comando);
    if (!fin.Detalle.isEmpty())
        texto += cr + fin.Detalle;
    qCWarning(lcFactura).noquote()
        << "factura abandonada en la etapa" << Texto::NumeroSinSigno(corrida.Etapa());
    return ResultadoCorrida::Parada(texto, corrida.Etapa(), true);
}
