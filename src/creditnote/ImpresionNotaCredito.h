#pragma once

#include "ContextoImpresion.h"
#include "CorridaDocumento.h"

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
    // The failure path: message (with the stage, or of its own), robot stopped.
    void Fallar(const QString& detalle = QString());
    void Detener(const QString& texto);
    // A part of the shared run ended badly: its message, and a note left
    // open on the printer may go again once the operator cancels it.
    void Terminar(const CorridaDocumento::Fin& fin);

    ContextoImpresion& ctx_;
    CorridaDocumento* corrida_ = nullptr;
    qlonglong codigo_ = 0;
    QString TextoDescuento;
    int AnchoNota = 39;
};
