#include "ImpresionNotaCredito.h"

#include "ArmadoNotaCredito.h"
#include "ComandosFiscales.h"
#include "Texto.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcNota, "rovend.creditnote")

namespace
{
const QString kAnular = QStringLiteral("Anule ese documento en la impresora (reset) e inicie el "
                                       "robot de nuevo: la nota se imprimirá completa.");
} // namespace

ImpresionNotaCredito::ImpresionNotaCredito(ContextoImpresion& contexto) : ctx_(contexto) {}

void ImpresionNotaCredito::ImprimirNotaCredito()
{
    TextoDescuento = ArmadoNotaCredito::TextoDescuento(ctx_.config.Columnas80);
    AnchoNota = ArmadoNotaCredito::AnchoNota(ctx_.config.Columnas80);
    codigo_ = 0;
    CorridaDocumento corrida(ctx_, CorridaDocumento::Tipo::NotaCredito);
    // The failure path names the stage of this run only.
    struct Olvidar {
        CorridaDocumento*& c;
        ~Olvidar() { c = nullptr; }
    } olvidar{corrida_};
    corrida_ = &corrida;
    ctx_.control.PonerTimer(false);

    const auto pendientes = ctx_.control.RefrescarNotas();
    if (!pendientes) {
        Fallar(QStringLiteral("No se pudieron leer las notas de crédito pendientes: ") +
               ctx_.tienda.UltimoError());
        return;
    }
    if (pendientes->isEmpty()) {
        UltimoCodigoNota = 0;
        ctx_.control.PonerTimer(true);
        return;
    }
    // The marker comes before UltimoCodigoNota: a note whose closing went out
    // is settled from the printer's side, also after "Iniciar".
    const std::optional<ArchivoMarca::Marca> marca = corrida.LeerMarca();
    if (!marca) {
        Detener(QStringLiteral("No se puede leer el archivo ") + corrida.RutaMarca() +
                QStringLiteral(". Puede guardar el código de una nota de crédito en curso; no se "
                               "imprime ninguna nota hasta que se pueda leer."));
        return;
    }
    if (marca->Codigo == pendientes->first().Codigo) {
        codigo_ = pendientes->first().Codigo;
        const CorridaDocumento::Fin fin = corrida.Recuperar(codigo_, *marca);
        if (!fin.Ok)
            return Terminar(fin);
        // Found never printed: it goes again at its turn.
        if (corrida.SinImprimir())
            UltimoCodigoNota = 0;
        ctx_.enlace.DelayMili(30);
        ctx_.control.PonerTimer(true);
        return;
    }
    if (pendientes->first().Codigo == UltimoCodigoNota) {
        ctx_.control.PonerTimer(true);
        return;
    }
    codigo_ = pendientes->first().Codigo;
    UltimoCodigoNota = codigo_;
    ctx_.enlace.EsperaCorta = false;

    if (const auto fin = corrida.EsperarImpresora(); !fin.Ok) {
        // Nothing of the note reached the printer: it may go once it answers.
        UltimoCodigoNota = 0;
        return Terminar(fin);
    }

    const auto nota = ctx_.tienda.NotaCredito(codigo_);
    if (!nota) {
        Fallar(QStringLiteral("No se pudo leer la nota") +
               Texto::NumeroConSigno(static_cast<double>(codigo_)) + QStringLiteral(": ") +
               ctx_.tienda.UltimoError());
        return;
    }
    if (!nota->isEmpty()) {
        // Every field is converted before the printer opens the document, so
        // a value that cannot be printed leaves nothing open on the printer.
        corrida.PonerEtapa(2);
        const auto lineas = ctx_.tienda.LineasNota(codigo_);
        if (!lineas) {
            Fallar(QStringLiteral("No se pudieron leer las líneas de la nota") +
                   Texto::NumeroConSigno(static_cast<double>(codigo_)) + QStringLiteral(": ") +
                   ctx_.tienda.UltimoError());
            return;
        }
        const ArmadoNotaCredito::Ajustes ajustes{TextoDescuento,
                                                 AnchoNota,
                                                 ctx_.config.CodProd,
                                                 ctx_.config.Direccion,
                                                 ctx_.ajustesTienda.ModoCantidad,
                                                 ctx_.config.Serial};
        const ArmadoNotaCredito::Resultado armado =
            ArmadoNotaCredito::Armar(ajustes, codigo_, nota->first(), *lineas);
        if (!armado.Valor) {
            Fallar(armado.Falla);
            return;
        }
        const ArmadoNotaCredito::Comandos& c = *armado.Valor;
        // Past the opening, only the printer's answers decide whether a line
        // may have printed; a refused line is not sent again.
        DocumentoArmado documento;
        documento.Codigo = codigo_;
        documento.Apertura = c.Apertura;
        documento.EtapaRechazo = 2;
        for (const QList<QByteArray>* parte : {&c.Nombre, &c.Articulos})
            for (const QByteArray& linea : *parte)
                documento.Lineas.append({linea, 2, false});
        documento.Lineas.append({ComandosFiscales::Armar('E', {"A"}), 2, false});
        for (const QByteArray& linea : c.Direccion)
            documento.Lineas.append({linea, 2, false});

        const std::optional<bool> abierto = corrida.DocumentoAbierto();
        if (!abierto) {
            UltimoCodigoNota = 0;
            Fallar(QStringLiteral("La impresora no respondió a la consulta de su estado; no se "
                                  "imprimió nada."));
            return;
        }
        if (*abierto) {
            // Nothing of this note was begun: it may go once the printer is free.
            UltimoCodigoNota = 0;
            Detener(QStringLiteral("La impresora tiene abierto un documento fiscal que el robot "
                                   "no abrió, así que la nota de crédito") +
                    Texto::NumeroConSigno(static_cast<double>(codigo_)) +
                    QStringLiteral(" no se imprimió.") + QChar(13) + kAnular);
            return;
        }
        if (const auto fin = corrida.Imprimir(documento); !fin.Ok)
            return Terminar(fin);
    }
    ctx_.enlace.DelayMili(30);
    ctx_.control.PonerTimer(true);
}

bool ImpresionNotaCredito::RecuperacionPendiente(qlonglong primeraPendiente) const
{
    const std::optional<ArchivoMarca::Marca> marca =
        CorridaDocumento(ctx_, CorridaDocumento::Tipo::NotaCredito).LeerMarca();
    return marca && marca->Codigo == primeraPendiente;
}

void ImpresionNotaCredito::Terminar(const CorridaDocumento::Fin& fin)
{
    // Once the operator cancels it on the printer the note may go again.
    if (fin.Abierto)
        UltimoCodigoNota = 0;
    if (fin.ConEtapa)
        Fallar(fin.Detalle);
    else
        Detener(fin.Detalle);
}

void ImpresionNotaCredito::Fallar(const QString& detalle)
{
    const double etapa = corrida_ ? corrida_->Etapa() : 0;
    QString texto = QStringLiteral("No se pudo realizar la tarea. Por favor verifique la etapa ") +
                    Texto::NumeroConSigno(etapa) + QLatin1Char('.');
    if (!detalle.isEmpty())
        texto += QChar(13) + detalle;
    qCWarning(lcNota).noquote() << "nota de crédito" << codigo_ << "etapa" << etapa << detalle;
    ctx_.pantalla.AnotarFalla(etapa, texto);
    ctx_.pantalla.MostrarMensaje(texto);
    ctx_.control.DetenerPorFalla();
}

void ImpresionNotaCredito::Detener(const QString& texto)
{
    qCWarning(lcNota).noquote() << "nota de crédito" << codigo_ << texto;
    ctx_.pantalla.MostrarMensaje(texto);
    ctx_.control.DetenerPorFalla();
}
