#pragma once

#include <QByteArray>
#include <QString>

// The fields the program reads from a printer reply, by their 1-based
// positions. A reply too short for a field gives a shorter or empty text.
class LectorRespuesta
{
  public:
    // The one failure test: the reply contains "ERROR", letter case ignored.
    static bool Fallo(const QByteArray& respuesta);
    // Characters 5-8 then 10-13: the two status words, 8 hex digits.
    static QByteArray PalabrasEstado(const QByteArray& respuesta);
    // "8" FS "T": the printer state code, characters 18-19, trimmed.
    static QString CodigoEstado(const QByteArray& respuesta);
    // "8" FS "N": the last invoice number, characters 48-55, trimmed.
    static QString UltimaFactura(const QByteArray& respuesta);
    // The printer is still numbering while that field holds an "N".
    static bool NumeroOcupado(const QByteArray& respuesta);
    // The 4 characters before the ETX (the first 4 of the last 9), trimmed:
    // the Z number after "8" FS "N", the last credit note after "8" FS "T".
    static QString AntesDeEtx(const QByteArray& respuesta);
    // "Y": year, month and day at 15-16, 17-18, 19-20.
    static QString FechaAaMmDd(const QByteArray& respuesta);
    // Byte 128: the registration number, characters 15-24.
    static QString Registro(const QByteArray& respuesta);

    static QString Campo(const QByteArray& respuesta, qsizetype desde, qsizetype largo);
};
