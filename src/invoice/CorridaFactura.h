#pragma once

#include "ContextoImpresion.h"

#include <QByteArray>
#include <QString>

// One invoice run's progress number (Etapa) and its way to the printer.
// Every command of the run goes through here, so the logging step and the
// failure message see the same last exchange.
class CorridaFactura
{
  public:
    explicit CorridaFactura(ContextoImpresion& contexto);

    ContextoImpresion& Contexto() const { return ctx_; }

    double Etapa() const { return etapa_; }
    void PonerEtapa(double etapa) { etapa_ = etapa; }

    // Sends a bare command, then the logging step (reply to List1, framed
    // command to List2, lamps).
    void Enviar(const QByteArray& comando);
    // Sends a bare command and leaves the logging to the caller.
    void EnviarSolo(const QByteArray& comando);
    // The logging step for the last exchange.
    void Registrar();
    // The text line "A" FS text FS DEL; the text is cleaned last.
    void LineaTexto(const QString& texto);

    // The last reply contains "ERROR".
    bool Rechazado() const;
    // The operator's message for a run that gives up at the current stage.
    QString MensajeFalla() const;

  private:
    ContextoImpresion& ctx_;
    double etapa_ = 0;
};
