#pragma once

#include <QByteArray>
#include <QString>

// The program's old text and number habits, decided once here and used
// everywhere (database text, printer fields, messages, SQL values).
class Texto
{
  public:
    // Removes leading and trailing blanks (spaces) only; tabs and line ends stay.
    static QString Recortado(const QString& s);
    static QByteArray Recortado(const QByteArray& s);

    // The first n characters; a shorter text is returned whole.
    static QString Izquierda(const QString& s, qsizetype n);

    // Characters from position `desde` (1-based), at most `largo` of them
    // (largo < 0: to the end). Past the end gives what exists, possibly nothing.
    static QString Medio(const QString& s, qsizetype desde, qsizetype largo = -1);
    static QByteArray Medio(const QByteArray& s, qsizetype desde, qsizetype largo = -1);

    // A number in the locale-independent form with a leading blank for the
    // sign: 4711 -> " 4711", 2.2 -> " 2.2", 0.5 -> " .5", -3 -> "-3".
    static QString NumeroConSigno(double v);
    // The same form without the blank of a positive sign ("4711", ".5", "-3").
    static QString NumeroSinSigno(double v);

    // The number the beginning of the text spells, after leading blanks;
    // 0 when there is none: " 125abc" -> 125, "abc" -> 0, "-1.5x" -> -1.5.
    static double ValorInicial(const QString& s);
};
