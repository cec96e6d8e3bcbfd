#pragma once

#include "documentos/ContextoImpresion.h"
#include "documentos/CorridaDocumento.h"
#include "documentos/ResultadoCorrida.h"

#include <QByteArray>
#include <QString>

#include <optional>

// Prints the first pending credit note and writes the printer's number back.
class ImpresionNotaCredito
{
  public:
    explicit ImpresionNotaCredito(ContextoImpresion& contexto);
    // `primera`: the first note of the engine's fresh pending list, none
    // when the list is empty.
    ResultadoCorrida ImprimirNotaCredito(std::optional<qlonglong> primera);
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
    // The pending note the marker names, settled from the printer's side.
    ResultadoCorrida Recuperar(CorridaDocumento& corrida, qlonglong codigo,
                               const ArchivoMarca::Marca& marca);
    // Every command of the note; a failure when a field cannot be printed.
    std::optional<ResultadoCorrida> Armar(const QSqlRecord& nota, DocumentoArmado& documento);
    // The built note, once the printer holds nothing open.
    ResultadoCorrida Imprimir(CorridaDocumento& corrida, const DocumentoArmado& documento);
    // The operator's message for a run that stops at `etapa`.
    ResultadoCorrida Fallar(double etapa, const QString& detalle = QString());
    ResultadoCorrida Detener(const QString& texto);
    // A part of the shared run ended badly: its message, and a note left
    // open on the printer may go again once the operator cancels it.
    ResultadoCorrida Terminar(const CorridaDocumento& corrida, const CorridaDocumento::Fin& fin);

    ContextoImpresion& ctx_;
    qlonglong codigo_ = 0;
    QString TextoDescuento;
    int AnchoNota = 39;
};
