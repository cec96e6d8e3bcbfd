#pragma once

#include "documentos/ImpresionFactura.h"
#include "documentos/ImpresionNotaCredito.h"
#include "motor/ControlRobot.h"
#include "motor/Pantalla.h"

// One printing turn of the engine: the timer off, the fresh pending list,
// the run on its first document, then what the run's outcome means: polling
// goes on, or the message is shown and the robot stays stopped.
class TurnoImpresion
{
  public:
    TurnoImpresion(ControlRobot& control, Pantalla& pantalla, ImpresionFactura& factura,
                   ImpresionNotaCredito& nota);

    void Factura();
    void Nota();

  private:
    void Terminar(const ResultadoCorrida& r);

    ControlRobot& control_;
    Pantalla& pantalla_;
    ImpresionFactura& factura_;
    ImpresionNotaCredito& nota_;
};
