#pragma once

#include <QByteArray>
#include <QString>

// The printer speaks single-byte Windows-1252. Database and window text is
// QString; this is the one place where the two meet.
class CodigoPagina
{
  public:
    // Code of a character in Windows-1252, or -1 when the page lacks it.
    static int Codigo(QChar c);
    // Text to bytes; a character the page lacks becomes '?'.
    static QByteArray ABytes(const QString& s);
    // Bytes to text; the five unassigned codes map to U+FFFD.
    static QString ATexto(const QByteArray& b);
};
