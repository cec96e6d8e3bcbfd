#pragma once

#include "documentos/BitacoraCorrida.h"
#include "motor/Pantalla.h"

// A printing run's log, shown on the screen model: "Enviado:" (List2) and
// "Recibido:" (List1), the lamps, and the printer's facts in L(4) to L(6).
class BitacoraPantalla final : public BitacoraCorrida
{
  public:
    explicit BitacoraPantalla(Pantalla& pantalla) : pantalla_(pantalla) {}

    void Empezar() override;
    void Verificando(bool repeticion) override;
    void Intercambio(const QByteArray& respuesta, const QByteArray& comando, bool luces) override;
    void Hechos(const HechosImpresora& hechos) override;
    void Impreso(bool nota) override;

  private:
    Pantalla& pantalla_;
};
