#include "ImpresionNotaCredito.h"

#include "ArmadoNotaCredito.h"
#include "LectorRespuesta.h"
#include "Texto.h"

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
    ctx_.control.PonerTimer(false);

    const auto pendientes = ctx_.control.RefrescarNotas();
    if (!pendientes) {
        Fallar(QStringLiteral("No se pudieron leer las notas de crédito pendientes: ") +
               ctx_.tienda.UltimoError());
        return;
    }
    if (pendientes->isEmpty())
        UltimoCodigoNota = 0;
    if (pendientes->isEmpty() || pendientes->first().Codigo == UltimoCodigoNota) {
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

        Enviar(c.Apertura);
        if (LectorRespuesta::Fallo(ctx_.enlace.Respuesta)) {
            Fallar();
            return;
        }
        // Past the opening no reply is tested: the note is closed and numbered
        // whatever the printer made of a line.
        for (const QByteArray& linea : c.Nombre)
            Enviar(linea);
        for (const QByteArray& articulo : c.Articulos)
            Enviar(articulo);
        Enviar(ComandosFiscales::Armar('E', {"A"}));
        for (const QByteArray& linea : c.Direccion)
            Enviar(linea);
        Enviar("E");

        Etapa = 9;
        ctx_.comandos.PidoEstadoN();
        ctx_.pantalla.Listar(ctx_.enlace.Respuesta, ctx_.enlace.Comando);
        if (!EsperarNumero(false)) {
            Fallar(NotaCerrada());
            return;
        }

        Etapa = 10;
        ctx_.comandos.PidoEstadoT();
        ctx_.pantalla.Listar(ctx_.enlace.Respuesta, ctx_.enlace.Comando);
        const QString campo = LectorRespuesta::AntesDeEtx(ctx_.enlace.Respuesta);
        // A failed reply carries no number: writing its last characters would
        // mark the note printed with a wrong one.
        if (LectorRespuesta::Fallo(ctx_.enlace.Respuesta) || !SoloDigitos(campo)) {
            Fallar(NotaCerrada());
            return;
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
            return;
        }
        qCInfo(lcNota).noquote() << "nota de crédito" << codigo_ << "impresa con el número"
                                 << numero << "Z" << numeroZ;
    }
    ctx_.enlace.DelayMili(30);
    ctx_.control.PonerTimer(true);
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

QString ImpresionNotaCredito::NotaCerrada() const
{
    return QStringLiteral("La nota de crédito") +
           Texto::NumeroConSigno(static_cast<double>(codigo_)) +
           QStringLiteral(" quedó cerrada en la impresora, pero no se pudo leer su número. "
                          "Verifíquela en la impresora antes de iniciar el robot de nuevo.");
}
