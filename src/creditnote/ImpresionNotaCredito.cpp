#include "ImpresionNotaCredito.h"

#include "ArchivoMarca.h"
#include "ArmadoNotaCredito.h"
#include "LectorRespuesta.h"
#include "Texto.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLoggingCategory>

#include <algorithm>
#include <cmath>

Q_LOGGING_CATEGORY(lcNota, "rovend.creditnote")

namespace
{
const QString kList1 = QStringLiteral("List1");
const QString kList2 = QStringLiteral("List2");
const QString kVerificando = QStringLiteral("Verificando estado...");
// "8" FS "T": a fiscal document is open on the printer.
constexpr char kFiscalEnCurso[] = "01";
const QString kAnular = QStringLiteral("Anule ese documento en la impresora (reset) e inicie el "
                                       "robot de nuevo: la nota se imprimirá completa.");

bool SoloDigitos(const QString& s)
{
    return !s.isEmpty() &&
           std::all_of(s.cbegin(), s.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}
} // namespace

ImpresionNotaCredito::ImpresionNotaCredito(ContextoImpresion& contexto) : ctx_(contexto) {}

void ImpresionNotaCredito::ImprimirNotaCredito()
{
    TextoDescuento = ArmadoNotaCredito::TextoDescuento(ctx_.config.Columnas80);
    AnchoNota = ArmadoNotaCredito::AnchoNota(ctx_.config.Columnas80);
    Etapa = 0;
    codigo_ = 0;
    notaAntes_.clear();
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
    const std::optional<qlonglong> marca = LeerMarca();
    if (!marca) {
        Detener(QStringLiteral("No se puede leer el archivo ") + RutaMarca() +
                QStringLiteral(". Puede guardar el código de una nota de crédito en curso; no se "
                               "imprime ninguna nota hasta que se pueda leer."));
        return;
    }
    if (pendientes->first().Codigo == *marca) {
        codigo_ = *marca;
        if (Recuperar())
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

    ctx_.pantalla.LimpiarLista(kList1);
    ctx_.pantalla.LimpiarLista(kList2);
    ctx_.pantalla.AgregarLista(kList2, kVerificando);
    ctx_.comandos.PidoEstadoN();
    ctx_.pantalla.MuestroRespuesta(ctx_.enlace.Respuesta, ctx_.enlace.Comando);
    MostrarEstado();
    if (!EsperarNumero(true)) {
        Fallar(QStringLiteral("La impresora sigue ocupada con un documento después de") +
               Texto::NumeroConSigno(ctx_.enlace.tiempos.esperaNumeroMs / 1000.0) +
               QStringLiteral(" segundos."));
        return;
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
        Etapa = 2;
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

        if (DocumentoAbierto()) {
            // Nothing of this note was begun: it may go once the printer is free.
            UltimoCodigoNota = 0;
            Detener(QStringLiteral("La impresora tiene abierto un documento fiscal que el robot "
                                   "no abrió, así que la nota de crédito") +
                    Texto::NumeroConSigno(static_cast<double>(codigo_)) +
                    QStringLiteral(" no se imprimió.") + QChar(13) + kAnular);
            return;
        }
        const qlonglong marcaAnterior = *marca;
        Enviar(c.Apertura);
        if (LectorRespuesta::Fallo(ctx_.enlace.Respuesta)) {
            Fallar();
            return;
        }
        // Past the opening only the closing's reply is tested: the note is
        // closed and numbered whatever the printer made of a line.
        for (const QByteArray& linea : c.Nombre)
            Enviar(linea);
        for (const QByteArray& articulo : c.Articulos)
            Enviar(articulo);
        Enviar(ComandosFiscales::Armar('E', {"A"}));
        for (const QByteArray& linea : c.Direccion)
            Enviar(linea);
        Etapa = 8;
        // On disk before the closing goes out: a crash after it cannot lead
        // to a second copy of the note.
        if (!EscribirMarca(codigo_)) {
            UltimoCodigoNota = 0;
            Fallar(QStringLiteral("No se pudo escribir %1; la nota de crédito no se cerró.")
                       .arg(QLatin1String(kArchivoMarca)) +
                   QChar(13) + kAnular);
            return;
        }
        if (!CerrarYAnotar(marcaAnterior))
            return;
    }
    ctx_.enlace.DelayMili(30);
    ctx_.control.PonerTimer(true);
}

bool ImpresionNotaCredito::CerrarYAnotar(qlonglong marcaAnterior)
{
    Etapa = 8;
    Enviar("E");
    // The printer's own refusal means nothing was closed; silence may hide a
    // closing that was done, so the run goes on to ask.
    const QByteArray& cierre = ctx_.enlace.Respuesta;
    if (LectorRespuesta::Fallo(cierre) && cierre != EnlaceImpresora::RespuestaError()) {
        EscribirMarca(marcaAnterior);
        // Once the operator cancels it the note may go again; until then the
        // open document stops every run before its opening.
        UltimoCodigoNota = 0;
        Fallar(QStringLiteral("La impresora rechazó el cierre de la nota de crédito") +
               Texto::NumeroConSigno(static_cast<double>(codigo_)) +
               QStringLiteral("; puede haber quedado abierta en la impresora.") + QChar(13) +
               kAnular);
        return false;
    }

    Etapa = 9;
    ctx_.comandos.PidoEstadoN();
    ctx_.pantalla.Listar(ctx_.enlace.Respuesta, ctx_.enlace.Comando);
    if (!EsperarNumero(false)) {
        Fallar(NotaCerrada());
        return false;
    }

    Etapa = 10;
    ctx_.comandos.PidoEstadoT();
    ctx_.pantalla.Listar(ctx_.enlace.Respuesta, ctx_.enlace.Comando);
    const QString campo = LectorRespuesta::AntesDeEtx(ctx_.enlace.Respuesta);
    // A failed reply carries no number: writing its last characters would
    // mark the note printed with a wrong one.
    if (LectorRespuesta::Fallo(ctx_.enlace.Respuesta) || !SoloDigitos(campo)) {
        Fallar(NotaCerrada());
        return false;
    }
    // Nor would the number of the note before, left by a closing lost on the line.
    if (!notaAntes_.isEmpty() && campo == notaAntes_) {
        Fallar(QStringLiteral("La impresora no confirmó el cierre de la nota de crédito") +
               Texto::NumeroConSigno(static_cast<double>(codigo_)) +
               QStringLiteral(": su último número de nota no cambió. Al iniciar el robot de nuevo "
                              "se consultará la impresora: si la nota sigue abierta se cerrará, y "
                              "si no, quedará marcada como impresa."));
        return false;
    }
    const QString numero = QStringLiteral("0000") + campo;
    ctx_.pantalla.PonerEtiqueta(6, numero);
    const auto numeroZ = std::llround(Texto::ValorInicial(ctx_.pantalla.Etiqueta(5))) + 1;
    const Actualizacion escrita = ctx_.tienda.EscribirNota(codigo_, numero, numeroZ);
    if (!escrita.Ok || escrita.Filas != 1) {
        Fallar(QStringLiteral("La nota de crédito") +
               Texto::NumeroConSigno(static_cast<double>(codigo_)) +
               QStringLiteral(" quedó cerrada en la impresora con el número ") + numero +
               QStringLiteral(", pero no se pudo guardar en la base de datos (") +
               (escrita.Ok ? QStringLiteral("la nota ya no existe") : escrita.Error) +
               QStringLiteral("). Verifíquela antes de iniciar el robot de nuevo."));
        return false;
    }
    qCInfo(lcNota).noquote() << "nota de crédito" << codigo_ << "impresa con el número" << numero
                             << "Z" << numeroZ;
    return true;
}

bool ImpresionNotaCredito::RecuperacionPendiente(qlonglong primeraPendiente) const
{
    if (primeraPendiente <= 0)
        return false;
    const std::optional<qlonglong> marca = LeerMarca();
    return marca && *marca == primeraPendiente;
}

bool ImpresionNotaCredito::Recuperar()
{
    const QString nota =
        QStringLiteral("La nota de crédito") + Texto::NumeroConSigno(static_cast<double>(codigo_));
    ctx_.pantalla.LimpiarLista(kList1);
    ctx_.pantalla.LimpiarLista(kList2);
    // Every line went out before the marker was written; a crash before the
    // closing reached the printer leaves the note open there.
    ctx_.comandos.PidoEstadoT();
    ctx_.pantalla.MuestroRespuesta(ctx_.enlace.Respuesta, ctx_.enlace.Comando);
    if (LectorRespuesta::Fallo(ctx_.enlace.Respuesta)) {
        Detener(nota +
                QStringLiteral(" quedó a medio cerrar y la impresora no respondió a la consulta "
                               "de su estado; no se marcó como impresa.") +
                QChar(13) + QStringLiteral("Verifique la impresora e inicie el robot de nuevo."));
        return false;
    }
    if (LectorRespuesta::CodigoEstado(ctx_.enlace.Respuesta) == QLatin1String(kFiscalEnCurso)) {
        qCInfo(lcNota) << "nota de crédito" << codigo_ << "abierta en la impresora: se cierra";
        notaAntes_ = LectorRespuesta::AntesDeEtx(ctx_.enlace.Respuesta);
        if (!CerrarYAnotar(0))
            return false;
        ctx_.enlace.DelayMili(30);
        return true;
    }

    // Closed on the printer: marked printed without a number, nothing printed.
    ctx_.comandos.PidoEstadoN();
    ctx_.pantalla.MuestroRespuesta(ctx_.enlace.Respuesta, ctx_.enlace.Comando);
    const auto numeroZ = std::llround(Texto::ValorInicial(ctx_.pantalla.Etiqueta(5))) + 1;
    const Actualizacion a = ctx_.tienda.RecuperarNota(codigo_, numeroZ);
    if (a.Ok && a.Filas > 0) {
        qCInfo(lcNota) << "nota de crédito" << codigo_
                       << "recuperada: ya estaba cerrada en la impresora";
        return true;
    }
    // Starting over would print the note a second time: stop and tell.
    Detener(nota +
            QStringLiteral(" ya se cerró en la impresora, pero no se pudo marcar como "
                           "impresa: ") +
            (a.Ok ? QStringLiteral("no se modificó ningún registro") : a.Error) + QChar(13) +
            QStringLiteral("Verifíquela en la base de datos antes de iniciar el robot de nuevo."));
    return false;
}

bool ImpresionNotaCredito::DocumentoAbierto()
{
    ctx_.comandos.PidoEstadoT();
    ctx_.pantalla.MuestroRespuesta(ctx_.enlace.Respuesta, ctx_.enlace.Comando);
    if (LectorRespuesta::Fallo(ctx_.enlace.Respuesta)) {
        notaAntes_.clear();
        return false;
    }
    notaAntes_ = LectorRespuesta::AntesDeEtx(ctx_.enlace.Respuesta);
    return LectorRespuesta::CodigoEstado(ctx_.enlace.Respuesta) == QLatin1String(kFiscalEnCurso);
}

QString ImpresionNotaCredito::RutaMarca() const
{
    return QDir(ctx_.rutaPrograma).filePath(QLatin1String(kArchivoMarca));
}

std::optional<qlonglong> ImpresionNotaCredito::LeerMarca() const
{
    const ArchivoMarca marca(RutaMarca());
    // Made by the first note that reaches its closing.
    if (!marca.Existe())
        return 0;
    return marca.Leer();
}

bool ImpresionNotaCredito::EscribirMarca(qlonglong codigo)
{
    ArchivoMarca marca(RutaMarca());
    QString error;
    if (marca.Escribir(codigo, &error))
        return true;
    qCWarning(lcNota).noquote() << "no se pudo escribir" << marca.Ruta() << ":" << error;
    return false;
}

void ImpresionNotaCredito::Enviar(const QByteArray& comando)
{
    ctx_.enlace.Comando = comando;
    ctx_.enlace.EnviarComando();
    ctx_.pantalla.MuestroRespuesta(ctx_.enlace.Respuesta, ctx_.enlace.Comando);
}

void ImpresionNotaCredito::MostrarEstado()
{
    ctx_.pantalla.PonerEtiqueta(4, LectorRespuesta::UltimaFactura(ctx_.enlace.Respuesta));
    ctx_.pantalla.PonerEtiqueta(5, LectorRespuesta::AntesDeEtx(ctx_.enlace.Respuesta));
}

bool ImpresionNotaCredito::EsperarNumero(bool mostrar)
{
    QElapsedTimer espera;
    espera.start();
    while (LectorRespuesta::NumeroOcupado(ctx_.enlace.Respuesta)) {
        if (espera.hasExpired(ctx_.enlace.tiempos.esperaNumeroMs))
            return false;
        ctx_.enlace.DelayMili(20);
        if (mostrar)
            ctx_.pantalla.AgregarLista(kList1, kVerificando);
        ctx_.comandos.PidoEstadoN();
        ctx_.pantalla.MuestroRespuesta(ctx_.enlace.Respuesta, ctx_.enlace.Comando);
        if (mostrar)
            MostrarEstado();
    }
    return true;
}

void ImpresionNotaCredito::Fallar(const QString& detalle)
{
    QString texto = QStringLiteral("No se pudo realizar la tarea. Por favor verifique la etapa ") +
                    Texto::NumeroConSigno(Etapa) + QLatin1Char('.');
    if (!detalle.isEmpty())
        texto += QChar(13) + detalle;
    qCWarning(lcNota).noquote() << "nota de crédito" << codigo_ << "etapa" << Etapa << detalle;
    ctx_.pantalla.MostrarMensaje(texto);
    ctx_.control.DetenerPorFalla();
}

void ImpresionNotaCredito::Detener(const QString& texto)
{
    qCWarning(lcNota).noquote() << "nota de crédito" << codigo_ << texto;
    ctx_.pantalla.MostrarMensaje(texto);
    ctx_.control.DetenerPorFalla();
}

QString ImpresionNotaCredito::NotaCerrada() const
{
    return QStringLiteral("La nota de crédito") +
           Texto::NumeroConSigno(static_cast<double>(codigo_)) +
           QStringLiteral(" quedó cerrada en la impresora, pero no se pudo leer su número. "
                          "Verifíquela en la impresora antes de iniciar el robot de nuevo.");
}
