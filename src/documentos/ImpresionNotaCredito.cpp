#include "documentos/ImpresionNotaCredito.h"

#include "comun/Texto.h"
#include "documentos/ArmadoNotaCredito.h"
#include "impresora/ComandosFiscales.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcNota, "rovend.creditnote")

ImpresionNotaCredito::ImpresionNotaCredito(ContextoImpresion& contexto) : ctx_(contexto) {}

ResultadoCorrida ImpresionNotaCredito::ImprimirNotaCredito(std::optional<qlonglong> primera)
{
    TextoDescuento = ArmadoNotaCredito::TextoDescuento(ctx_.config.Columnas80);
    AnchoNota = ArmadoNotaCredito::AnchoNota(ctx_.config.Columnas80);
    codigo_ = 0;
    CorridaDocumento corrida(ctx_, CorridaDocumento::Tipo::NotaCredito);
    if (!primera) {
        UltimoCodigoNota = 0;
        return ResultadoCorrida::Nada();
    }
    // The marker comes before UltimoCodigoNota: a note whose closing went out
    // is settled from the printer's side, also after "Iniciar".
    const std::optional<ArchivoMarca::Marca> marca = corrida.LeerMarca();
    if (!marca)
        return Detener(QStringLiteral("No se puede leer el archivo ") + corrida.RutaMarca() +
                       QStringLiteral(". Puede guardar el código de una nota de crédito en curso; "
                                      "no se imprime ninguna nota hasta que se pueda leer."));
    if (marca->Codigo == *primera)
        return Recuperar(corrida, *primera, *marca);
    if (*primera == UltimoCodigoNota)
        return ResultadoCorrida::Nada();
    codigo_ = *primera;
    UltimoCodigoNota = codigo_;
    ctx_.enlace.EsperaCorta = false;

    if (const auto fin = corrida.EsperarImpresora(); !fin.Ok) {
        // Nothing of the note reached the printer: it may go once it answers.
        UltimoCodigoNota = 0;
        return Terminar(corrida, fin);
    }
    const auto nota = ctx_.tienda.NotaCredito(codigo_);
    if (!nota)
        return Fallar(0, QStringLiteral("No se pudo leer la nota") +
                             Texto::NumeroConSigno(static_cast<double>(codigo_)) +
                             QStringLiteral(": ") + ctx_.tienda.UltimoError());
    if (nota->isEmpty()) {
        ctx_.enlace.DelayMili(30);
        return ResultadoCorrida::Nada();
    }
    // Every field is converted before the printer opens the document, so a
    // value that cannot be printed leaves nothing open on the printer.
    corrida.PonerEtapa(2);
    DocumentoArmado documento;
    if (auto falla = Armar(nota->first(), documento))
        return *falla;
    return Imprimir(corrida, documento);
}

ResultadoCorrida ImpresionNotaCredito::Recuperar(CorridaDocumento& corrida, qlonglong codigo,
                                                 const ArchivoMarca::Marca& marca)
{
    codigo_ = codigo;
    const CorridaDocumento::Fin fin = corrida.Recuperar(codigo_, marca);
    if (!fin.Ok)
        return Terminar(corrida, fin);
    // Found never printed: it goes again at its turn.
    if (corrida.SinImprimir())
        UltimoCodigoNota = 0;
    ctx_.enlace.DelayMili(30);
    return ResultadoCorrida::Listo();
}

std::optional<ResultadoCorrida> ImpresionNotaCredito::Armar(const QSqlRecord& nota,
                                                            DocumentoArmado& documento)
{
    const auto lineas = ctx_.tienda.LineasNota(codigo_);
    if (!lineas)
        return Fallar(2, QStringLiteral("No se pudieron leer las líneas de la nota") +
                             Texto::NumeroConSigno(static_cast<double>(codigo_)) +
                             QStringLiteral(": ") + ctx_.tienda.UltimoError());
    const ArmadoNotaCredito::Ajustes ajustes{TextoDescuento,
                                             AnchoNota,
                                             ctx_.config.CodProd,
                                             ctx_.config.Direccion,
                                             ctx_.ajustesTienda.ModoCantidad,
                                             ctx_.config.Serial};
    const ArmadoNotaCredito::Resultado armado =
        ArmadoNotaCredito::Armar(ajustes, codigo_, nota, *lineas);
    if (!armado.Valor)
        return Fallar(2, armado.Falla);
    const ArmadoNotaCredito::Comandos& c = *armado.Valor;
    // Past the opening, only the printer's answers decide whether a line may
    // have printed; a refused line is not sent again.
    documento.Codigo = codigo_;
    documento.Apertura = c.Apertura;
    documento.EtapaRechazo = 2;
    for (const QList<QByteArray>* parte : {&c.Nombre, &c.Articulos})
        for (const QByteArray& linea : *parte)
            documento.Lineas.append({linea, 2, false});
    documento.Lineas.append({ComandosFiscales::Armar('E', {"A"}), 2, false});
    for (const QByteArray& linea : c.Direccion)
        documento.Lineas.append({linea, 2, false});
    return std::nullopt;
}

ResultadoCorrida ImpresionNotaCredito::Imprimir(CorridaDocumento& corrida,
                                                const DocumentoArmado& documento)
{
    const std::optional<bool> abierto = corrida.DocumentoAbierto();
    if (!abierto) {
        UltimoCodigoNota = 0;
        return Fallar(2, QStringLiteral("La impresora no respondió a la consulta de su estado; no "
                                        "se imprimió nada."));
    }
    if (*abierto) {
        // Nothing of this note was begun: it may go once the printer is free.
        UltimoCodigoNota = 0;
        return Detener(QStringLiteral("La impresora tiene abierto un documento fiscal que el robot "
                                      "no abrió, así que la nota de crédito") +
                       Texto::NumeroConSigno(static_cast<double>(codigo_)) +
                       QStringLiteral(" no se imprimió.") + QChar(13) + corrida.Anular());
    }
    if (const auto fin = corrida.Imprimir(documento); !fin.Ok)
        return Terminar(corrida, fin);
    ctx_.enlace.DelayMili(30);
    return ResultadoCorrida::Listo();
}

bool ImpresionNotaCredito::RecuperacionPendiente(qlonglong primeraPendiente) const
{
    const std::optional<ArchivoMarca::Marca> marca =
        CorridaDocumento(ctx_, CorridaDocumento::Tipo::NotaCredito).LeerMarca();
    return marca && marca->Codigo == primeraPendiente;
}

ResultadoCorrida ImpresionNotaCredito::Terminar(const CorridaDocumento& corrida,
                                                const CorridaDocumento::Fin& fin)
{
    // Once the operator cancels it on the printer the note may go again.
    if (fin.Abierto)
        UltimoCodigoNota = 0;
    return fin.ConEtapa ? Fallar(corrida.Etapa(), fin.Detalle) : Detener(fin.Detalle);
}

ResultadoCorrida ImpresionNotaCredito::Fallar(double etapa, const QString& detalle)
{
    QString texto = QStringLiteral("No se pudo realizar la tarea. Por favor verifique la etapa ") +
                    Texto::NumeroConSigno(etapa) + QLatin1Char('.');
    if (!detalle.isEmpty())
        texto += QChar(13) + detalle;
    qCWarning(lcNota).noquote() << "nota de crédito" << codigo_ << "etapa" << etapa << detalle;
    return ResultadoCorrida::Parada(texto, etapa, true);
}

ResultadoCorrida ImpresionNotaCredito::Detener(const QString& texto)
{
    qCWarning(lcNota).noquote() << "nota de crédito" << codigo_ << texto;
    return ResultadoCorrida::Parada(texto, 0, false);
}
