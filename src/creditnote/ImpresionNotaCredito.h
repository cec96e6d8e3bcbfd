#pragma once

#include "ContextoImpresion.h"

#include <QByteArray>
#include <QString>

#include <optional>

// Prints the first pending credit note and writes the printer's number back.
class ImpresionNotaCredito
{
  public:
    explicit ImpresionNotaCredito(ContextoImpresion& contexto);
    void ImprimirNotaCredito();
    // The marker names this pending note: its closing may have gone out, or
    // it may still be open on the printer. Such a note is settled before any
    // other document opens, or that one would find it open.
    bool RecuperacionPendiente(qlonglong primeraPendiente) const;

    // Beside Log.log: the Código of the note whose closing went out last,
    // written durably just before the closing command.
    static constexpr char kArchivoMarca[] = "LogNota.log";

    // Código of the last note this run began to print; 0 at start and after
    // the run finds no pending note. A note with this code is not begun again,
    // so one that failed on the printer is not printed twice.
    qlonglong UltimoCodigoNota = 0;

  private:
    // Sends a bare command and does the logging step.
    void Enviar(const QByteArray& comando);
    QString RutaMarca() const;
    // The marker's code: 0 when the file is missing, nullopt when it exists
    // but cannot be read.
    std::optional<qlonglong> LeerMarca() const;
    bool EscribirMarca(qlonglong codigo);
    // The pending note is the marker's: its closing went out before a crash
    // or a failed number. True when the run may go on polling.
    bool Recuperar();
    // The closing "E", the number wait and the write-back; false after the
    // failure path. `marcaAnterior` goes back to the marker if the printer
    // refuses the closing.
    bool CerrarYAnotar(qlonglong marcaAnterior);
    // "8" FS "T" reports a fiscal document in progress.
    bool DocumentoAbierto();
    // L(4) and L(5) from the last "8" FS "N".
    void MostrarEstado();
    // Repeats "8" FS "N" while the printer is still numbering a document.
    // False when the bound ran out first.
    bool EsperarNumero(bool mostrar);
    // Message, robot stopped; the note stays pending.
    void Fallar(const QString& detalle = QString());
    // The same with a message of its own (no stage).
    void Detener(const QString& texto);
    QString NotaCerrada() const;

    ContextoImpresion& ctx_;
    qlonglong codigo_ = 0;
    QString TextoDescuento;
    int AnchoNota = 39;
    // What the run was doing, named in its failure message.
    double Etapa = 0;
    // The printer's last credit-note number before this run's closing.
    QString notaAntes_;
};
