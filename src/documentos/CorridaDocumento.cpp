#include "documentos/CorridaDocumento.h"

#include "comun/CodigoPagina.h"
#include "comun/Texto.h"
#include "impresora/LectorRespuesta.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLoggingCategory>

#include <algorithm>

Q_LOGGING_CATEGORY(lcDocumento, "rovend.document")

namespace
{
using Entrega = EnlaceImpresora::Entrega;

// "8" FS "T": a fiscal document is open on the printer.
constexpr char kFiscalEnCurso[] = "01";
// A state query is asked this many times before the run gives up on it.
constexpr int kConsultas = 3;
// Re-sends of refused lines allowed in one document, all lines together.
constexpr int kReenviosMaximos = 3;
// Pauses, in hundredths of a second.
constexpr int kPausaEstado = 20;
constexpr int kPausaBase = 100;

QString Codigo(qlonglong c)
{
    // The number as the robot's texts write it: a blank for the sign, every digit.
    return (c < 0 ? QString() : QStringLiteral(" ")) + QString::number(c);
}

QChar Cr()
{
    return QChar(13);
}
} // namespace

CorridaDocumento::CorridaDocumento(ContextoImpresion& contexto, Tipo tipo)
    : ctx_(contexto), tipo_(tipo)
{
}

QString CorridaDocumento::Nombre(qlonglong codigo) const
{
    return (tipo_ == Tipo::Factura ? QStringLiteral("la factura")
                                   : QStringLiteral("la nota de crédito")) +
           Codigo(codigo);
}

QString CorridaDocumento::Mayuscula(qlonglong codigo) const
{
    const QString n = Nombre(codigo);
    return n.left(1).toUpper() + n.mid(1);
}

QString CorridaDocumento::RutaMarca() const
{
    return QDir(ctx_.rutaPrograma)
        .filePath(tipo_ == Tipo::Factura ? QStringLiteral("Log.log")
                                         : QStringLiteral("LogNota.log"));
}

std::optional<ArchivoMarca::Marca> CorridaDocumento::LeerMarca() const
{
    return ArchivoMarca(RutaMarca()).Leer();
}

QString CorridaDocumento::Anular() const
{
    return QStringLiteral("Anule ese documento en la impresora (reset) e inicie el robot de "
                          "nuevo: ") +
           (tipo_ == Tipo::Factura ? QStringLiteral("la factura") : QStringLiteral("la nota")) +
           QStringLiteral(" se imprimirá completa.");
}

std::optional<QString> CorridaDocumento::Digitos(const QString& campo)
{
    if (campo.isEmpty() || campo.size() > 18 ||
        !std::all_of(campo.cbegin(), campo.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return std::nullopt;
    return campo;
}

QString CorridaDocumento::NumeroEscrito(const QString& campo) const
{
    // The note's number is its four printed digits after "0000".
    return tipo_ == Tipo::Factura ? campo : QStringLiteral("0000") + campo;
}

void CorridaDocumento::Enviar(const QByteArray& comando)
{
    ctx_.enlace.Comando = comando;
    ctx_.enlace.EnviarComando();
    ctx_.bitacora.Intercambio(ctx_.enlace.Respuesta, ctx_.enlace.Comando, true);
}

std::optional<QByteArray> CorridaDocumento::Consultar(char letra, bool mostrar)
{
    for (int intento = 1; intento <= kConsultas; ++intento) {
        if (intento > 1)
            ctx_.enlace.DelayMili(kPausaEstado);
        if (letra == 'N')
            ctx_.comandos.PidoEstadoN();
        else
            ctx_.comandos.PidoEstadoT();
        const QByteArray& r = ctx_.enlace.Respuesta;
        ctx_.bitacora.Intercambio(r, ctx_.enlace.Comando, mostrar);
        if (ctx_.enlace.UltimaEntrega == Entrega::NoEscrita)
            return std::nullopt; // stopped, or no port: asking again cannot help
        if (ctx_.enlace.UltimaEntrega != Entrega::Buena || LectorRespuesta::Fallo(r))
            continue;
        // The fields the run reads must be there: the Z after "8" FS "N"
        // (and the invoice number, or its busy mark), the state code and the
        // note number after "8" FS "T".
        const bool bien = letra == 'N' ? Digitos(LectorRespuesta::AntesDeEtx(r)) &&
                                             (LectorRespuesta::NumeroOcupado(r) ||
                                              Digitos(LectorRespuesta::UltimaFactura(r)))
                                       : Digitos(LectorRespuesta::AntesDeEtx(r)) &&
                                             !LectorRespuesta::CodigoEstado(r).isEmpty();
        if (bien)
            return r;
        qCWarning(lcDocumento).noquote()
            << "respuesta de estado sin los campos esperados:" << CodigoPagina::ATexto(r);
    }
    return std::nullopt;
}

CorridaDocumento::Fin CorridaDocumento::EsperarImpresora()
{
    const auto mostrarEstado = [this](const QByteArray& r) {
        ctx_.hechos.UltimaFactura = LectorRespuesta::UltimaFactura(r);
        ctx_.hechos.UltimaZ = LectorRespuesta::AntesDeEtx(r);
        ctx_.bitacora.Hechos(ctx_.hechos);
    };
    const QString sinRespuesta =
        QStringLiteral("La impresora no respondió a la consulta de su estado; no se imprimió "
                       "nada.");
    ctx_.bitacora.Empezar();
    ctx_.bitacora.Verificando(false);
    std::optional<QByteArray> r = Consultar('N', true);
    if (!r)
        return Fin::Etapa(sinRespuesta);
    mostrarEstado(*r);
    QElapsedTimer espera;
    espera.start();
    while (LectorRespuesta::NumeroOcupado(*r)) {
        if (espera.hasExpired(ctx_.enlace.tiempos.esperaNumeroMs))
            return Fin::Etapa(QStringLiteral("La impresora sigue ocupada con un documento después "
                                             "de") +
                              Texto::NumeroConSigno(ctx_.enlace.tiempos.esperaNumeroMs / 1000.0) +
                              QStringLiteral(" segundos."));
        ctx_.enlace.DelayMili(kPausaEstado);
        ctx_.bitacora.Verificando(true);
        r = Consultar('N', true);
        if (!r)
            return Fin::Etapa(sinRespuesta);
        mostrarEstado(*r);
    }
    if (tipo_ == Tipo::Factura)
        antes_ = LectorRespuesta::UltimaFactura(*r);
    return Fin::Bien();
}

std::optional<bool> CorridaDocumento::DocumentoAbierto()
{
    const std::optional<QByteArray> r = Consultar('T', true);
    if (!r)
        return std::nullopt;
    if (tipo_ == Tipo::NotaCredito)
        antes_ = LectorRespuesta::AntesDeEtx(*r);
    ctx_.hechos.CodigoEstado = LectorRespuesta::CodigoEstado(*r);
    return ctx_.hechos.CodigoEstado == QLatin1String(kFiscalEnCurso);
}

CorridaDocumento::Fin CorridaDocumento::Imprimir(const DocumentoArmado& documento)
{
    const QString nombre = Nombre(documento.Codigo);
    const std::optional<ArchivoMarca::Marca> anterior = LeerMarca();

    etapa_ = 2;
    Enviar(documento.Apertura);
    etapa_ = documento.EtapaRechazo;
    switch (ctx_.enlace.UltimaEntrega) {
    case Entrega::NoEscrita:
        return Fin::Etapa(QStringLiteral("La apertura de ") + nombre +
                          QStringLiteral(" no llegó a la impresora; no quedó nada abierto."));
    case Entrega::SinRespuesta:
    case Entrega::Danada:
        return Fin::Etapa(QStringLiteral("La impresora no confirmó la apertura de ") + nombre +
                              QStringLiteral("; puede haber quedado abierta en la impresora.") +
                              Cr() + Anular(),
                          true);
    case Entrega::Buena:
        if (LectorRespuesta::Fallo(ctx_.enlace.Respuesta))
            return Fin::Etapa();
        break;
    }

    int reenvios = 0;
    for (const LineaDocumento& linea : documento.Lineas) {
        const Fin f = EnviarLinea(linea, reenvios);
        if (!f.Ok)
            return Fin::Etapa(Mayuscula(documento.Codigo) + f.Detalle, true);
    }

    // On disk before the closing goes out: a crash after it cannot lead to a
    // second copy of the document.
    ArchivoMarca::Marca marca;
    marca.Codigo = documento.Codigo;
    marca.Antes = antes_;
    QString error;
    if (!EscribirMarca(marca, &error))
        return Fin::Etapa(QStringLiteral("No se pudo escribir %1 (%2); %3 no se cerró.")
                                  .arg(QFileInfo(RutaMarca()).fileName(), error, nombre) +
                              Cr() + Anular(),
                          true);
    Fin f = Cerrar(documento.Codigo, anterior.value_or(ArchivoMarca::Marca()));
    if (f.Ok)
        f = LeerNumero(documento.Codigo);
    if (f.Ok)
        f = Anotar(documento.Codigo, numero_, z_);
    return f;
}

CorridaDocumento::Fin CorridaDocumento::EnviarLinea(const LineaDocumento& linea, int& reenvios)
{
    etapa_ = linea.Etapa;
    for (;;) {
        Enviar(linea.Comando);
        switch (ctx_.enlace.UltimaEntrega) {
        case Entrega::NoEscrita:
            return Fin::Etapa(QStringLiteral(" quedó a medias: una línea no llegó a la "
                                             "impresora y el documento quedó abierto en ella.") +
                              Cr() + Anular());
        case Entrega::SinRespuesta:
        case Entrega::Danada:
            // The printer may have printed it: sending it again could print it twice.
            return Fin::Etapa(QStringLiteral(" quedó a medias: la impresora no confirmó una "
                                             "línea (puede haberla impreso) y el documento "
                                             "quedó abierto en ella.") +
                              Cr() + Anular());
        case Entrega::Buena:
            break;
        }
        // The printer's own refusal: sent again while the document's re-sends
        // last, then left out.
        if (!linea.Reenviable || !LectorRespuesta::Fallo(ctx_.enlace.Respuesta) ||
            reenvios >= kReenviosMaximos)
            return Fin::Bien();
        ++reenvios;
    }
}

CorridaDocumento::Fin CorridaDocumento::Cerrar(qlonglong codigo,
                                               const ArchivoMarca::Marca& anterior)
{
    const QString nombre = Nombre(codigo);
    etapa_ = 8;
    ctx_.enlace.Comando = "E";
    ctx_.enlace.EnviarComando();
    // The invoice lists its closing without the lamps.
    ctx_.bitacora.Intercambio(ctx_.enlace.Respuesta, ctx_.enlace.Comando,
                              tipo_ == Tipo::NotaCredito);
    const Entrega entrega = ctx_.enlace.UltimaEntrega;
    const bool rechazo = entrega == Entrega::Buena && LectorRespuesta::Fallo(ctx_.enlace.Respuesta);
    if (entrega != Entrega::NoEscrita && !rechazo)
        return Fin::Bien(); // closed, or maybe: the number tells
    // Nothing was closed, so the marker must not claim it was.
    EscribirMarca(anterior);
    const QString mayus = Mayuscula(codigo);
    if (rechazo)
        return Fin::Etapa(QStringLiteral("La impresora rechazó el cierre de ") + nombre +
                              QStringLiteral("; puede haber quedado abierta en la impresora.") +
                              Cr() + Anular(),
                          true);
    return Fin::Etapa(mayus +
                          QStringLiteral(" no se cerró: el cierre no llegó a la impresora. Quedó "
                                         "abierta en la impresora.") +
                          Cr() + Anular(),
                      true);
}

CorridaDocumento::Fin CorridaDocumento::LeerNumero(qlonglong codigo)
{
    const QString mayus = Mayuscula(codigo);
    const Fin cerrada = Fin::Etapa(
        mayus + QStringLiteral(" se cerró en la impresora, pero no se pudo leer su número; al "
                               "iniciar el robot de nuevo se consultará la impresora y quedará "
                               "marcada como impresa con el número que ella muestre."));
    etapa_ = 9;
    std::optional<QByteArray> r = Consultar('N', false);
    QElapsedTimer espera;
    espera.start();
    while (r && LectorRespuesta::NumeroOcupado(*r)) {
        if (espera.hasExpired(ctx_.enlace.tiempos.esperaNumeroMs))
            return cerrada;
        ctx_.enlace.DelayMili(kPausaEstado);
        r = Consultar('N', true);
    }
    if (!r)
        return cerrada;

    etapa_ = 10;
    z_ = Digitos(LectorRespuesta::AntesDeEtx(*r))->toLongLong() + 1;
    std::optional<QString> campo;
    if (tipo_ == Tipo::Factura) {
        campo = Digitos(LectorRespuesta::UltimaFactura(*r));
    } else {
        const std::optional<QByteArray> t = Consultar('T', false);
        if (t)
            campo = Digitos(LectorRespuesta::AntesDeEtx(*t));
    }
    if (!campo)
        return cerrada;
    // A closing lost on the line leaves the last number as it was: writing it
    // would give this document another one's number.
    if (!antes_.isEmpty() && campo->toLongLong() == antes_.toLongLong()) {
        qCWarning(lcDocumento).noquote()
            << "el último número sigue en" << *campo << "después del cierre de" << Nombre(codigo);
        return Fin::Etapa(QStringLiteral("La impresora no confirmó el cierre de ") +
                          Nombre(codigo) +
                          QStringLiteral(": su último número no cambió. Al iniciar el robot de "
                                         "nuevo se consultará la impresora: si sigue abierta se "
                                         "cerrará, y si no, se imprimirá de nuevo."));
    }
    numero_ = NumeroEscrito(*campo);
    if (tipo_ == Tipo::NotaCredito) {
        ctx_.hechos.UltimaNota = numero_;
        ctx_.bitacora.Hechos(ctx_.hechos);
    }
    return Fin::Bien();
}

CorridaDocumento::Fin CorridaDocumento::Anotar(qlonglong codigo, const QString& numero, qlonglong z)
{
    etapa_ = 10;
    QElapsedTimer espera;
    espera.start();
    Actualizacion a;
    for (;;) {
        a = tipo_ == Tipo::Factura ? ctx_.tienda.EscribirFactura(codigo, numero, z)
                                   : ctx_.tienda.EscribirNota(codigo, numero, z);
        if (a.Ok && a.Filas == 1) {
            (tipo_ == Tipo::Factura ? ctx_.hechos.UltimaFactura : ctx_.hechos.UltimaNota) = numero;
            ctx_.bitacora.Hechos(ctx_.hechos);
            // The console's line for each printed document (the service's journal).
            if (tipo_ == Tipo::Factura)
                qCInfo(lcDocumento).noquote()
                    << "factura" << codigo << "impresa con el número" << numero;
            else
                qCInfo(lcDocumento).noquote()
                    << "nota de crédito" << codigo << "impresa con el número" << numero << "Z" << z;
            ctx_.bitacora.Impreso(tipo_ == Tipo::NotaCredito);
            // The marker stays: it names a document no longer pending.
            return Fin::Bien();
        }
        // A lock (another program writing) passes; give it time, within a bound.
        if (a.Ok || espera.hasExpired(ctx_.enlace.tiempos.esperaBaseMs) || ctx_.enlace.Cancelando())
            break;
        qCWarning(lcDocumento).noquote()
            << "no se pudo anotar" << Nombre(codigo) << ":" << a.Error << "(se reintenta)";
        ctx_.enlace.DelayMili(kPausaBase);
        if (ctx_.enlace.Cancelando())
            break;
    }
    const QString motivo = a.Ok ? QStringLiteral("ya no está en la base de datos") : a.Error;
    // The number must survive: recovery writes it back at the next start.
    ArchivoMarca::Marca marca;
    marca.Codigo = codigo;
    marca.Antes = antes_;
    marca.Numero = numero;
    marca.NumeroZ = z;
    QString error;
    const bool guardado = EscribirMarca(marca, &error);
    const QString mayus = Mayuscula(codigo);
    qCWarning(lcDocumento).noquote()
        << mayus << "impresa con el número" << numero << "no se pudo anotar:" << motivo;
    return Fin::Etapa(
        mayus + QStringLiteral(" se imprimió con el número ") + numero +
        QStringLiteral(", pero no se pudo guardar en la base de datos: ") + motivo +
        QStringLiteral(".") + Cr() +
        (guardado
             ? QStringLiteral("El número quedó guardado en ") + QFileInfo(RutaMarca()).fileName() +
                   QStringLiteral(" y se escribirá cuando el robot se inicie de nuevo.")
             : QStringLiteral("Tampoco se pudo guardar en ") + RutaMarca() + QStringLiteral(" (") +
                   error +
                   QStringLiteral("): anote el número y verifíquelo en la base de datos.")));
}

bool CorridaDocumento::EscribirMarca(const ArchivoMarca::Marca& marca, QString* errorSalida)
{
    ArchivoMarca archivo(RutaMarca());
    QString error;
    const bool ok = archivo.Escribir(marca, &error);
    if (!ok)
        qCWarning(lcDocumento).noquote() << "no se pudo escribir" << archivo.Ruta() << ":" << error;
    if (errorSalida)
        *errorSalida = error;
    return ok;
}
