#pragma once

#include "PuertoSerie.h"
#include "Reloj.h"
#include "Tiempos.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <functional>

// The one conversation with the fiscal printer. A caller puts the bare
// command into Comando and calls EnviarComando; afterwards Respuesta holds
// the printer's reply from its STX to its fourth checksum character (or the
// synthetic error reply) and Comando the framed command without checksum.
// The exchange never fails to its caller: a failure shows as "ERROR" in
// Respuesta. Not thread-safe: owned by the robot thread.
class EnlaceImpresora
{
  public:
    explicit EnlaceImpresora(PuertoSerie& puerto, Reloj& reloj = Reloj::Sistema());

    QByteArray Comando;
    QByteArray Respuesta;
    qint16 Secuencia = 0;
    bool EsperaCorta = false;
    bool PrimeraActivacion = false;
    Tiempos tiempos;

    // Told "Error de Comunicación" when an exchange times out while
    // PrimeraActivacion is set (the window shows it as a message box).
    std::function<void(const QString&)> AvisoOperador;
    // Told each finished exchange (framed command, reply), for the log.
    std::function<void(const QByteArray&, const QByteArray&)> AlTerminar;
    // When set (shutdown), waits end within one slice.
    const std::atomic<bool>* cancelar = nullptr;

    void EnviarComando();
    // Pauses n hundredths of a second (DelayMili(100) is one second).
    void DelayMili(int n);

    // STX "0" FS "0" FS "0" FS "ERROR DE COMUNICACION" ETX, no checksum.
    static QByteArray RespuestaError();

  private:
    bool Cancelado() const;
    void Fallar(const QString& motivo);
    static QByteArray Recortar(const QByteArray& crudo);

    PuertoSerie& puerto_;
    Reloj& reloj_;
};
