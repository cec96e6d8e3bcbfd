#pragma once

#include "impresora/ComandosFiscales.h"
#include "impresora/EnlaceImpresora.h"
#include "motor/ControlRobot.h"
#include "motor/Pantalla.h"
#include "motor/TareaOpciones.h"

// What the operator's commands work with, owned by the robot thread.
struct ContextoOperador {
    EnlaceImpresora& enlace;
    ComandosFiscales& comandos;
    Pantalla& pantalla;
    ControlRobot& control;
};

// The operator's printer commands: the state refresh and the lock-outs of
// the state codes, the closings, the reset, the status requests and the
// tasks of the options panel. Runs in the robot thread, one at a time.
class ComandosOperador
{
public:
    explicit ComandosOperador(const ContextoOperador& contexto);

    void ConsultoEstado();
    void MuestroEstado();
    void CierreX();   // Command13556
    void CierreZ();   // Command6
    void Resetear();  // Command14
    void Command1();  // ten status requests, a second apart, then "Listo"
    void Ejecutar(const TareaOpciones& t); // Command8

    // Report fields: a date as yymmdd, a Z number as at least four digits.
    static QByteArray FechaAaMmDd(const QDate& fecha);
    static QByteArray NumeroZ(const QString& texto);
    // The command a task sends (none for the test document and for an
    // incomplete Z range).
    static QByteArray ComandoTarea(const TareaOpciones& t);

private:
    void Enviar(const QByteArray& comando);
    void MostrarTarea();

    ContextoOperador ctx_;
};
