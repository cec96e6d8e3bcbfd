#include "ImpresionFactura.h"

#include "ArchivoMarca.h"
#include "ArticulosFactura.h"
#include "CorridaFactura.h"
#include "EncabezadoFactura.h"
#include "LectorRespuesta.h"
#include "Texto.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <cmath>
#include <functional>

Q_LOGGING_CATEGORY(lcFactura, "rovend.invoice")

namespace
{
const QString kVerificando = QStringLiteral("Verificando estado...");
// "8" FS "T": a fiscal document is open on the printer.
constexpr char kFiscalEnCurso[] = "01";
// What the operator does about a document left open on the printer.
const QString kAnular = QStringLiteral("Anule ese documento en la impresora (reset) e inicie el "
                                       "robot de nuevo: la factura se imprimirá completa.");
// Pause between two state queries while the printer numbers a document.
constexpr int kPausaNumero = 20;

// Repeats `consulta` after each pause while the document-number field of the
// last reply is busy. False when it is still busy after the link's bound
// (esperaNumeroMs).
bool MientrasOcupado(EnlaceImpresora& enlace, const std::function<void()>& consulta)
{
    QElapsedTimer espera;
    espera.start();
    while (LectorRespuesta::NumeroOcupado(enlace.Respuesta)) {
        if (espera.elapsed() >= enlace.tiempos.esperaNumeroMs)
            return false;
        enlace.DelayMili(kPausaNumero);
        consulta();
    }
    return true;
}
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
    // The marker holds the code of an invoice whose closing went out (or was
    // about to) in a run that never reached the database: finish it from the
    // printer's side, never print it again.
    const qlonglong marcaAnterior = CodigoMarca();
    if (*codigo == marcaAnterior) {
        if (Recuperar(*codigo))
            ctx_.control.PonerTimer(true);
        return;
    }

    CorridaFactura corrida(ctx_);
    VerificarEstado();
    if (!EsperarImpresora())
        return Falla(corrida);
    facturaAntes_ = LectorRespuesta::UltimaFactura(ctx_.enlace.Respuesta);
    const auto venta = ctx_.tienda.Venta(*codigo);
    if (!venta)
        return Falla(corrida);
    // A pending code without its sale: nothing printed, tried again next tick.
    if (!venta->isEmpty()) {
        if (DocumentoAjeno())
            return Detener(QStringLiteral("La impresora tiene abierto un documento fiscal que el "
                                          "robot no abrió, así que la factura") +
                           Texto::NumeroConSigno(double(*codigo)) +
                           QStringLiteral(" no se imprimió.") + QChar(13) + kAnular);
        const auto datos = EncabezadoFactura(corrida).Imprimir(venta->first());
        if (!datos)
            return Falla(corrida);
        ArticulosFactura articulos(corrida, *datos);
        if (!articulos.ImprimirArticulos(*codigo))
            return Falla(corrida);
        articulos.ImprimirLineasFinales();
        if (!EscribirMarca(*codigo))
            return Falla(corrida, QStringLiteral("No se pudo escribir %1; la factura no se cerró.")
                                          .arg(QLatin1String(kArchivoMarca)) +
                                      QChar(13) + kAnular);
        if (!Cerrar(corrida)) {
            // Refused: nothing was closed, so the marker must not claim it was.
            QString error;
            EscribirMarca(marcaAnterior, &error);
            return Falla(corrida,
                         QStringLiteral("La impresora rechazó el cierre de la factura") +
                             Texto::NumeroConSigno(double(*codigo)) +
                             QStringLiteral("; puede haber quedado abierta en la impresora.") +
                             QChar(13) + kAnular);
        }
        if (!EsperarNumero(corrida))
            return Falla(corrida, AvisoCerrada(*codigo));
        if (!CierreConfirmado(corrida))
            return Falla(corrida, AvisoSinCierre(*codigo));
        if (!Anotar(corrida, *codigo))
            return Falla(corrida, AvisoCerrada(*codigo));
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

qlonglong ImpresionFactura::CodigoMarca() const
{
    // An unreadable marker matches no invoice.
    return ArchivoMarca(QDir(ctx_.rutaPrograma).filePath(QLatin1String(kArchivoMarca)))
        .Leer()
        .value_or(0);
}

bool ImpresionFactura::Recuperar(qlonglong codigo)
{
    // The marker is on disk before the closing goes out, so a crash in
    // between leaves the whole invoice open on the printer: ask first.
    ctx_.comandos.PidoEstadoT();
    ctx_.pantalla.MuestroRespuesta(ctx_.enlace.Respuesta, ctx_.enlace.Comando);
    if (LectorRespuesta::Fallo(ctx_.enlace.Respuesta)) {
        Detener(QStringLiteral("La factura") + Texto::NumeroConSigno(double(codigo)) +
                QStringLiteral(" quedó a medio cerrar y la impresora no respondió a la consulta "
                               "de su estado; no se marcó como impresa.") +
                QChar(13) + QStringLiteral("Verifique la impresora e inicie el robot de nuevo."));
        return false;
    }
    if (LectorRespuesta::CodigoEstado(ctx_.enlace.Respuesta) == QLatin1String(kFiscalEnCurso))
        return CerrarAbierta(codigo);

    ctx_.comandos.PidoEstadoN();
    ctx_.pantalla.MuestroRespuesta(ctx_.enlace.Respuesta, ctx_.enlace.Comando);
    const Actualizacion a = ctx_.tienda.RecuperarFactura(codigo, ZSiguiente());
    if (a.Ok && a.Filas > 0) {
        qCInfo(lcFactura) << "factura" << codigo << "recuperada: ya estaba cerrada en la impresora";
        return true;
    }
    // Starting over would print the invoice a second time: stop and tell.
    const QString motivo = a.Ok ? QStringLiteral("no se modificó ningún registro") : a.Error;
    qCWarning(lcFactura).noquote() << "no se pudo marcar la factura" << codigo << ":" << motivo;
    ctx_.pantalla.MostrarMensaje(
        QStringLiteral("La factura") + Texto::NumeroConSigno(double(codigo)) +
        QStringLiteral(" ya se cerró en la impresora, pero no se pudo marcar como impresa: ") +
        motivo + QChar(13) +
        QStringLiteral("Verifíquela en la base de datos antes de iniciar el robot de nuevo."));
    ctx_.control.DetenerPorFalla();
    return false;
}

bool ImpresionFactura::CerrarAbierta(qlonglong codigo)
{
    // Every line went out before the marker was written: only the closing is
    // missing. From here on it is the normal run's ending.
    qCInfo(lcFactura) << "factura" << codigo << "abierta en la impresora: se cierra";
    ctx_.comandos.PidoEstadoN();
    ctx_.pantalla.MuestroRespuesta(ctx_.enlace.Respuesta, ctx_.enlace.Comando);
    facturaAntes_ = LectorRespuesta::UltimaFactura(ctx_.enlace.Respuesta);
    CorridaFactura corrida(ctx_);
    if (!Cerrar(corrida)) {
        // Still open: the marker must not claim it was closed.
        EscribirMarca(0);
        Falla(corrida, QStringLiteral("La impresora rechazó el cierre de la factura") +
                           Texto::NumeroConSigno(double(codigo)) +
                           QStringLiteral(", que quedó abierta en la impresora.") + QChar(13) +
                           kAnular);
        return false;
    }
    if (!EsperarNumero(corrida)) {
        Falla(corrida, AvisoCerrada(codigo));
        return false;
    }
    if (!CierreConfirmado(corrida)) {
        Falla(corrida, AvisoSinCierre(codigo));
        return false;
    }
    if (!Anotar(corrida, codigo)) {
        Falla(corrida, AvisoCerrada(codigo));
        return false;
    }
    ctx_.enlace.DelayMili(10);
    return true;
}

bool ImpresionFactura::DocumentoAjeno()
{
    ctx_.comandos.PidoEstadoT();
    ctx_.pantalla.MuestroRespuesta(ctx_.enlace.Respuesta, ctx_.enlace.Comando);
    return !LectorRespuesta::Fallo(ctx_.enlace.Respuesta) &&
           LectorRespuesta::CodigoEstado(ctx_.enlace.Respuesta) == QLatin1String(kFiscalEnCurso);
}

void ImpresionFactura::VerificarEstado()
{
    ctx_.pantalla.LimpiarLista(QStringLiteral("List1"));
    ctx_.pantalla.LimpiarLista(QStringLiteral("List2"));
    ctx_.pantalla.AgregarLista(QStringLiteral("List2"), kVerificando);
    ctx_.comandos.PidoEstadoN();
    ctx_.pantalla.MuestroRespuesta(ctx_.enlace.Respuesta, ctx_.enlace.Comando);
    PonerEstado();
}

bool ImpresionFactura::EsperarImpresora()
{
    return MientrasOcupado(ctx_.enlace, [this] {
        ctx_.pantalla.AgregarLista(QStringLiteral("List1"), kVerificando);
        ctx_.comandos.PidoEstadoN();
        ctx_.pantalla.MuestroRespuesta(ctx_.enlace.Respuesta, ctx_.enlace.Comando);
        PonerEstado();
    });
}

bool ImpresionFactura::EscribirMarca(qlonglong codigo, QString* errorSalida)
{
    // On disk before the closing goes out, so a crash after it cannot
    // lead to a second copy of the invoice.
    ArchivoMarca marca(QDir(ctx_.rutaPrograma).filePath(QLatin1String(kArchivoMarca)));
    QString error;
    if (errorSalida)
        errorSalida->clear();
    if (marca.Escribir(codigo, &error))
        return true;
    qCWarning(lcFactura).noquote() << "no se pudo escribir" << marca.Ruta() << ":" << error;
    return false;
}

bool ImpresionFactura::Cerrar(CorridaFactura& corrida)
{
    corrida.PonerEtapa(8);
    corrida.EnviarSolo("E");
    ctx_.pantalla.Listar(ctx_.enlace.Respuesta, ctx_.enlace.Comando);
    // A printer's own refusal means the invoice was not closed. Silence is
    // different: the closing may have been done, so the run goes on to ask.
    const QByteArray& r = ctx_.enlace.Respuesta;
    return !(LectorRespuesta::Fallo(r) && r != EnlaceImpresora::RespuestaError());
}

bool ImpresionFactura::EsperarNumero(CorridaFactura& corrida)
{
    corrida.PonerEtapa(9);
    ctx_.comandos.PidoEstadoN();
    ctx_.pantalla.Listar(ctx_.enlace.Respuesta, ctx_.enlace.Comando);
    return MientrasOcupado(ctx_.enlace, [this] {
        ctx_.comandos.PidoEstadoN();
        ctx_.pantalla.MuestroRespuesta(ctx_.enlace.Respuesta, ctx_.enlace.Comando);
    });
}

bool ImpresionFactura::CierreConfirmado(CorridaFactura& corrida)
{
    corrida.PonerEtapa(10);
    // A closing lost on the line leaves the last number as it was before the
    // document: writing it would give this sale another invoice's number.
    const QString numero = LectorRespuesta::UltimaFactura(ctx_.enlace.Respuesta);
    if (!facturaAntes_.isEmpty() && numero == facturaAntes_) {
        qCWarning(lcFactura).noquote()
            << "el número de factura sigue en" << numero << "después del cierre";
        return false;
    }
    return true;
}

bool ImpresionFactura::Anotar(CorridaFactura& corrida, qlonglong codigo)
{
    corrida.PonerEtapa(10);
    const QString numero = LectorRespuesta::UltimaFactura(ctx_.enlace.Respuesta);
    // A failed reply holds no number: never write its text as one.
    static const QRegularExpression digitos(QStringLiteral("^[0-9]+$"));
    if (LectorRespuesta::Fallo(ctx_.enlace.Respuesta) || !digitos.match(numero).hasMatch()) {
        qCWarning(lcFactura).noquote() << "sin número legible tras cerrar la factura" << codigo;
        return false;
    }
    const Actualizacion a = ctx_.tienda.EscribirFactura(codigo, numero, ZSiguiente());
    if (!a.Ok || a.Filas < 1) {
        qCWarning(lcFactura).noquote() << "no se pudo anotar la factura" << codigo << ":"
                                       << (a.Ok ? QStringLiteral("ningún registro") : a.Error);
        return false;
    }
    ctx_.pantalla.PonerEtiqueta(4, numero);
    qCInfo(lcFactura).noquote() << "factura" << codigo << "impresa con el número" << numero;
    return true;
}

void ImpresionFactura::PonerEstado()
{
    ctx_.pantalla.PonerEtiqueta(4, LectorRespuesta::UltimaFactura(ctx_.enlace.Respuesta));
    ctx_.pantalla.PonerEtiqueta(5, LectorRespuesta::AntesDeEtx(ctx_.enlace.Respuesta));
}

qlonglong ImpresionFactura::ZSiguiente() const
{
    // The period the document belongs to: the last Z as L(5) shows it, plus one.
    return std::llround(Texto::ValorInicial(ctx_.pantalla.Etiqueta(5))) + 1;
}

void ImpresionFactura::Falla(const CorridaFactura& corrida, const QString& aviso)
{
    QString texto = corrida.MensajeFalla();
    if (!aviso.isEmpty())
        texto += QChar(13) + aviso;
    qCWarning(lcFactura).noquote()
        << "factura abandonada en la etapa" << Texto::NumeroSinSigno(corrida.Etapa());
    ctx_.pantalla.MostrarMensaje(texto);
    ctx_.control.DetenerPorFalla();
}

void ImpresionFactura::Detener(const QString& texto)
{
    qCWarning(lcFactura).noquote() << texto;
    ctx_.pantalla.MostrarMensaje(texto);
    ctx_.control.DetenerPorFalla();
}

QString ImpresionFactura::AvisoCerrada(qlonglong codigo)
{
    return QStringLiteral("La factura") + Texto::NumeroConSigno(double(codigo)) +
           QStringLiteral(" se cerró en la impresora; quedará marcada como impresa cuando el "
                          "robot se inicie de nuevo.");
}

QString ImpresionFactura::AvisoSinCierre(qlonglong codigo)
{
    return QStringLiteral("La impresora no confirmó el cierre de la factura") +
           Texto::NumeroConSigno(double(codigo)) +
           QStringLiteral(": su último número de factura no cambió. Al iniciar el robot de nuevo "
                          "se consultará la impresora: si la factura sigue abierta se cerrará, y "
                          "si no, quedará marcada como impresa.");
}
