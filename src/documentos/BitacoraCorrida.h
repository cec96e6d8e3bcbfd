#pragma once

#include "impresora/HechosImpresora.h"

#include <QByteArray>

// What a printing run shows of itself while it works. The engine puts it on
// the screen model; the run never touches the screen.
class BitacoraCorrida
{
  public:
    virtual ~BitacoraCorrida() = default;
    // A new document: the command and reply lists start empty.
    virtual void Empezar() = 0;
    // "Verificando estado...": in the command list before the first state
    // query, in the reply list before each repeat.
    virtual void Verificando(bool repeticion) = 0;
    // The logging step after an exchange: the reply, the framed command, and
    // with `luces` the status lamps for the reply.
    virtual void Intercambio(const QByteArray& respuesta, const QByteArray& comando,
                             bool luces) = 0;
    // The printer's facts changed.
    virtual void Hechos(const HechosImpresora& hechos) = 0;
    // A document was printed and written back.
    virtual void Impreso(bool nota) = 0;
};
