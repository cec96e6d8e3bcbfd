#pragma once

#include <QByteArray>
#include <QString>

// Printer bytes written for people: control bytes become <STX>, <FS>,
// <ETX>, <DC2>, <DEL> or <xx>; the rest is Windows-1252 text.
class Legible
{
  public:
    static QString Texto(const QByteArray& bytes);
};
