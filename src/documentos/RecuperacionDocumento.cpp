// The recovery of CorridaDocumento: a pending document the marker names, a
// run cut short after the marker was written. It is marked printed only on
// the printer's evidence, with the printer's number whenever it is known.
#include "documentos/CorridaDocumento.h"

#include "impresora/LectorRespuesta.h"

#include <QFileInfo>
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcDocumento)

namespace
{
// "8" FS "T": a fiscal document is open on the printer.
constexpr char kFiscalEnCurso[] = "01";
} // namespace

CorridaDocumento::Fin CorridaDocumento::Recuperar(qlonglong codigo,
                                                  const ArchivoMarca::Marca& marca)
{
    sinImprimir_ = false;
    antes_ = marca.Antes;
    ctx_.bitacora.Empezar();

    // The write-back failed after printing: the number is known.
    if (Digitos(marca.Numero) && marca.NumeroZ) {
        qCInfo(lcDocumento).noquote()
            << Nombre(codigo) << "se anota con el número guardado" << marca.Numero;
        const Fin f = Anotar(codigo, marca.Numero, *marca.NumeroZ);
        return f.Ok ? f : Fin::Aviso(f.Detalle);
    }
    const std::optional<QByteArray> t = Consultar('T', true);
    if (!t)
        return SinEstado(codigo);
    if (LectorRespuesta::CodigoEstado(*t) == QLatin1String(kFiscalEnCurso))
        return RecuperarAbierta(codigo, *t);
    return RecuperarCerrada(codigo, *t);
}

CorridaDocumento::Fin CorridaDocumento::SinEstado(qlonglong codigo) const
{
    return Fin::Aviso(Mayuscula(codigo) +
                      QStringLiteral(" quedó a medio cerrar y la impresora no respondió a la "
                                     "consulta de su estado; no se marcó como impresa.") +
                      QChar(13) +
                      QStringLiteral("Verifique la impresora e inicie el robot de nuevo."));
}

CorridaDocumento::Fin CorridaDocumento::RecuperarAbierta(qlonglong codigo, const QByteArray& t)
{
    // Every line went out before the marker was written: only the closing
    // is missing. From here on it is the normal run's ending.
    qCInfo(lcDocumento).noquote() << Nombre(codigo) << "abierta en la impresora: se cierra";
    if (antes_.isEmpty() && tipo_ == Tipo::NotaCredito)
        antes_ = LectorRespuesta::AntesDeEtx(t);
    if (antes_.isEmpty()) {
        const std::optional<QByteArray> n = Consultar('N', true);
        if (!n)
            return SinEstado(codigo);
        antes_ = LectorRespuesta::UltimaFactura(*n);
    }
    Fin f = Cerrar(codigo, ArchivoMarca::Marca());
    if (f.Ok)
        f = LeerNumero(codigo);
    if (f.Ok)
        f = Anotar(codigo, numero_, z_);
    return f;
}

CorridaDocumento::Fin CorridaDocumento::RecuperarCerrada(qlonglong codigo, const QByteArray& t)
{
    const std::optional<QByteArray> n = Consultar('N', true);
    if (!n)
        return SinEstado(codigo);
    const std::optional<QString> actual =
        Digitos(tipo_ == Tipo::Factura ? LectorRespuesta::UltimaFactura(*n)
                                       : LectorRespuesta::AntesDeEtx(t));
    if (!actual)
        return SinEstado(codigo);
    const qlonglong z = Digitos(LectorRespuesta::AntesDeEtx(*n))->toLongLong() + 1;
    if (!Digitos(antes_))
        return Fin::Aviso(
            QFileInfo(RutaMarca()).fileName() + QStringLiteral(" nombra ") + Nombre(codigo) +
            QStringLiteral(", pero no guarda el número que tenía la impresora antes de su cierre, "
                           "así que no se sabe si se imprimió; no se marcó como impresa.") +
            QChar(13) +
            QStringLiteral("Verifique el diario de la impresora: si salió, márquela como impresa "
                           "en la base de datos; si no, escriba 0 en ") +
            RutaMarca() + QStringLiteral(". Luego inicie el robot de nuevo."));
    const qlonglong despues = actual->toLongLong();
    const qlonglong previo = antes_.toLongLong();
    if (despues <= previo) {
        // Neither open nor numbered: the closing never happened and the
        // document was cancelled on the printer. It is printed again.
        qCInfo(lcDocumento).noquote() << Nombre(codigo) << "no se imprimió (la impresora sigue en"
                                      << *actual << "): se imprimirá";
        EscribirMarca(ArchivoMarca::Marca());
        sinImprimir_ = true;
        return Fin::Bien();
    }
    if (despues == previo + 1) {
        qCInfo(lcDocumento).noquote()
            << Nombre(codigo) << "ya estaba cerrada en la impresora con el número" << *actual;
        const Fin f = Anotar(codigo, NumeroEscrito(*actual), z);
        return f.Ok ? f : Fin::Aviso(f.Detalle);
    }
    // Numbered, but other documents came after it: printed, number unknown.
    const Actualizacion a = tipo_ == Tipo::Factura ? ctx_.tienda.RecuperarFactura(codigo, z)
                                                   : ctx_.tienda.RecuperarNota(codigo, z);
    if (a.Ok && a.Filas > 0) {
        qCInfo(lcDocumento).noquote()
            << Nombre(codigo) << "recuperada: ya estaba cerrada en la impresora";
        return Fin::Bien();
    }
    // Starting over would print it a second time: stop and tell.
    const QString motivo = a.Ok ? QStringLiteral("no se modificó ningún registro") : a.Error;
    qCWarning(lcDocumento).noquote() << "no se pudo marcar" << Nombre(codigo) << ":" << motivo;
    return Fin::Aviso(Mayuscula(codigo) +
                      QStringLiteral(" ya se cerró en la impresora, pero no se pudo marcar como "
                                     "impresa: ") +
                      motivo + QChar(13) +
                      QStringLiteral("Verifíquela en la base de datos antes de iniciar el robot "
                                     "de nuevo."));
}
