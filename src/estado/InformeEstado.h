#pragma once

#include "estado/DatosEstado.h"

#include <QByteArray>
#include <QStringList>

enum class FilaLed;

// The three ways the status endpoint shows a snapshot: JSON for programs,
// the Prometheus text format for monitoring, one small HTML page for people.
// Every text that comes from the printer or a database is escaped for its
// format.
class InformeEstado
{
  public:
    static QByteArray Json(const DatosEstado& d);
    static QByteArray Metricas(const DatosEstado& d);
    static QByteArray Pagina(const DatosEstado& d);

    // What a state code of the "8" FS "T" reply means ("" unknown code).
    static QString SignificadoCodigo(const QString& codigo);
    // The names of the bits set in a status word, most significant first,
    // each as "bit N: name" (bit 15 is the first lamp of its row).
    static QStringList BitsActivos(FilaLed fila, quint16 palabra);
    // A label value for the text format: backslash, quote and line end escaped.
    static QString EscaparEtiqueta(const QString& valor);
};
