#include "impresora/LectorRespuesta.h"

#include "comun/CodigoPagina.h"
#include "comun/Texto.h"

bool LectorRespuesta::Fallo(const QByteArray& respuesta)
{
    return respuesta.toUpper().contains("ERROR");
}

QString LectorRespuesta::Campo(const QByteArray& respuesta, qsizetype desde, qsizetype largo)
{
    return CodigoPagina::ATexto(Texto::Medio(respuesta, desde, largo));
}

QByteArray LectorRespuesta::PalabrasEstado(const QByteArray& respuesta)
{
    return Texto::Medio(respuesta, 5, 4) + Texto::Medio(respuesta, 10, 4);
}

QString LectorRespuesta::CodigoEstado(const QByteArray& respuesta)
{
    return Texto::Recortado(Campo(respuesta, 18, 2));
}

QString LectorRespuesta::UltimaFactura(const QByteArray& respuesta)
{
    return Texto::Recortado(Campo(respuesta, 48, 8));
}

bool LectorRespuesta::NumeroOcupado(const QByteArray& respuesta)
{
    return Campo(respuesta, 48, 8).contains(QLatin1Char('N'), Qt::CaseInsensitive);
}

QString LectorRespuesta::AntesDeEtx(const QByteArray& respuesta)
{
    return Texto::Recortado(CodigoPagina::ATexto(respuesta.right(9).left(4)));
}

QString LectorRespuesta::FechaAaMmDd(const QByteArray& respuesta)
{
    return Campo(respuesta, 15, 6);
}

QString LectorRespuesta::Registro(const QByteArray& respuesta)
{
    return Campo(respuesta, 15, 10);
}
