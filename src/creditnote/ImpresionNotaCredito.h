#pragma once

#include "ContextoImpresion.h"

#include <QByteArray>
#include <QString>

// Prints the first pending credit note and writes the printer's number back.
class ImpresionNotaCredito
{
  public:
    explicit ImpresionNotaCredito(ContextoImpresion& contexto);
    void ImprimirNotaCredito();

    // Código of the last note this run began to print; 0 at start and after
    // the run finds no pending note. A note with this code is not begun again,
    // so one that failed on the printer is not printed twice.
    qlonglong UltimoCodigoNota = 0;

  private:
    // Sends a bare command and does the logging step.
    void Enviar(const QByteArray& comando);
    // L(4) and L(5) from the last "8" FS "N".
    void MostrarEstado();
    // Repeats "8" FS "N" while the printer is still numbering a document.
    // False when the bound ran out first.
    bool EsperarNumero(bool mostrar);
    // Message, robot stopped; the note stays pending.
    void Fallar(const QString& detalle = QString());
    QString NotaCerrada() const;

    ContextoImpresion& ctx_;
    qlonglong codigo_ = 0;
    QString TextoDescuento;
    int AnchoNota = 39;
    // What the run was doing, named in its failure message.
    double Etapa = 0;
};
