#include "CorridaFactura.h"

#include "CodigoPagina.h"
#include "ComandosFiscales.h"
#include "Conversiones.h"
#include "LectorRespuesta.h"
#include "Protocolo.h"
#include "Texto.h"

CorridaFactura::CorridaFactura(ContextoImpresion& contexto) : ctx_(contexto) {}

void CorridaFactura::Enviar(const QByteArray& comando)
{
    EnviarSolo(comando);
    Registrar();
}

void CorridaFactura::EnviarSolo(const QByteArray& comando)
{
    ctx_.enlace.Comando = comando;
    ctx_.enlace.EnviarComando();
}

void CorridaFactura::Registrar()
{
    ctx_.pantalla.MuestroRespuesta(ctx_.enlace.Respuesta, ctx_.enlace.Comando);
}

void CorridaFactura::LineaTexto(const QString& texto)
{
    const QByteArray linea = CodigoPagina::ABytes(Conversiones::LimpioCadena(texto));
    Enviar(ComandosFiscales::Armar('A', {linea, QByteArray(1, Protocolo::DEL)}));
}

bool CorridaFactura::Rechazado() const
{
    return LectorRespuesta::Fallo(ctx_.enlace.Respuesta);
}

QString CorridaFactura::MensajeFalla() const
{
    const QChar cr(13);
    return QStringLiteral("No se pudo realizar la tarea. Por favor verifique la etapa ") +
           Texto::NumeroConSigno(etapa_) + QLatin1Char('.') + cr + QStringLiteral("Entrada: ") +
           CodigoPagina::ATexto(ctx_.enlace.Respuesta) + cr + QStringLiteral("Salida: ") +
           CodigoPagina::ATexto(ctx_.enlace.Comando);
}
