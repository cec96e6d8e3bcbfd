#pragma once

#include "ContextoImpresion.h"
#include "CorridaDocumento.h"

#include <QString>
#include <optional>

// Prints the first pending invoice and writes the printer's numbers back.
class ImpresionFactura
{
  public:
    explicit ImpresionFactura(ContextoImpresion& contexto);
    void ImprimirFactura();

    static constexpr char kArchivoMarca[] = "Log.log";

  private:
    std::optional<qlonglong> PrimeraPendiente();
    // The failure path: the message (with the stage and the last exchange,
    // or a message of its own), the robot stopped, the invoice pending.
    void Falla(const CorridaDocumento& corrida, const CorridaDocumento::Fin& fin);
    void Detener(const QString& texto);

    ContextoImpresion& ctx_;
};
