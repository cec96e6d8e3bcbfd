#pragma once

#include "DocumentoImpreso.h"

#include <QByteArray>
#include <QList>
#include <QString>

// What came out of the printer: a readable text roll, as a till receipt
// looks, and a journal with one JSON line per finished document. Both files
// are appended and closed after every document so that a reader (a test, a
// person with `tail -f`) always sees whole documents.
class Papel
{
  public:
    static constexpr int kAncho = 40;
    // Documents kept in memory for in-process readers; older ones drop off.
    static constexpr int kMemoria = 5000;

    Papel(const QString& rollo = QString(), const QString& diario = QString());

    // False when a file could not be written; the document is kept anyway.
    bool imprimir(const DocumentoImpreso& d);
    bool avanzar(int lineas);
    bool cortar();

    QList<DocumentoImpreso> documentos() const { return documentos_; }
    QString error() const { return error_; }

    static QString Rollo(const DocumentoImpreso& d);
    static QByteArray LineaDiario(const DocumentoImpreso& d);

  private:
    bool agregar(const QString& ruta, const QByteArray& bytes);

    QString rollo_;
    QString diario_;
    QList<DocumentoImpreso> documentos_;
    QString error_;
};
