#pragma once

#include "impresora/EnlaceImpresora.h"

#include <QList>

// The fixed printer commands. Each sets Comando and calls EnviarComando
// once; none looks at the reply (callers do).
class ComandosFiscales
{
  public:
    explicit ComandosFiscales(EnlaceImpresora& enlace);

    // "8" FS "N" and "8" FS "T", with the short (5 s) deadline.
    void PidoEstadoN();
    void PidoEstadoT();
    // The status requests sent in a row by the operator's status button.
    void PidoEstadoA();
    void PidoEstadoE();
    void PidoEstadoB();
    void PidoEstadoC();
    void PidoEstadoD();
    void PidoEstadoR();
    void PidoEstadoF();
    void PidoEstadoJ();
    void PidoEstadoS();
    void PidoEstadoU();
    void CierreZ();
    void CierreX();
    void AvanzoPapel();
    void CortoPapel();
    void AbroNoFiscal();
    void CierroNoFiscal();
    void Resetear();

    // The reset command: the 17 bytes 7, 8, ... 23.
    static QByteArray ComandoReset();
    // A command byte followed by its fields, each after an FS.
    static QByteArray Armar(char comando, const QList<QByteArray>& campos = {});

  private:
    void Enviar(const QByteArray& comando);
    void Estado(char letra, bool corta);

    EnlaceImpresora& enlace_;
};
