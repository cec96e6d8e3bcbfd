#pragma once

#include "impresora/PuertoSerie.h"
#include "impresora/Reloj.h"
#include "impresora/Tiempos.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <functional>

// The one conversation with the fiscal printer. A caller puts the bare
// command into Comando and calls EnviarComando; afterwards Respuesta holds
// the printer's reply from its STX to its fourth checksum character (or the
// synthetic error reply) and Comando the framed command without checksum.
// The exchange never fails to its caller: a failure shows as "ERROR" in
// Respuesta, and Entrega tells what became of the frame (a printing run must
// know whether the printer may have done a line it got no answer for).
// Not thread-safe: owned by the robot thread.
class EnlaceImpresora
{
  public:
    enum class Entrega {
        Buena,        // a whole reply with the right checksum and sequence byte
        Danada,       // a whole reply whose checksum or sequence byte is wrong
        SinRespuesta, // the frame went out (or may have): no whole reply came back
        NoEscrita,    // the frame never reached the line (stopped, port not opened)
    };
    // Longest reply kept; past it the bytes are garbage, not a reply.
    static constexpr qsizetype kRespuestaMaxima = 4096;

    explicit EnlaceImpresora(PuertoSerie& puerto, Reloj& reloj = Reloj::Sistema());

    QByteArray Comando;
    QByteArray Respuesta;
    qint16 Secuencia = 0;
    bool EsperaCorta = false;
    bool PrimeraActivacion = false;
    Tiempos tiempos;
    // What became of the last frame.
    Entrega UltimaEntrega = Entrega::NoEscrita;

    // Told "Error de Comunicación" when an exchange times out while
    // PrimeraActivacion is set (the window shows it as a message box).
    std::function<void(const QString&)> AvisoOperador;
    // Told each finished exchange (framed command, reply), for the log.
    std::function<void(const QByteArray&, const QByteArray&)> AlTerminar;
    // When set (shutdown), waits end within one slice.
    const std::atomic<bool>* cancelar = nullptr;

    // Also returns UltimaEntrega. Once `cancelar` is set nothing more is
    // written: the call returns NoEscrita with the synthetic error reply.
    Entrega EnviarComando();
    // Pauses n hundredths of a second (DelayMili(100) is one second).
    void DelayMili(int n);

    // STX "0" FS "0" FS "0" FS "ERROR DE COMUNICACION" ETX, no checksum.
    static QByteArray RespuestaError();
    // Milliseconds since the current (or last) exchange began.
    qint64 DuracionMs() const { return reloj_.AhoraMs() - inicioMs_; }

    // The stop flag is set: nothing more goes to the printer.
    bool Cancelando() const;

  private:
    // What the wait for a reply gathered.
    struct Lectura {
        QByteArray crudo;
        bool completa = false; // an ETX and the four characters after it came
        bool excedida = false; // more than kRespuestaMaxima bytes came first
    };
    // The wait after the frame went out, until the reply is whole, the
    // deadline passes or a stop comes.
    Lectura LeerRespuesta();
    // The reply kept, or the synthetic one; the delivery told.
    Entrega Concluir(const Lectura& lectura);
    Entrega Fallar(const QString& motivo, Entrega entrega);
    // The reply's checksum and sequence byte match what was sent.
    bool Integra(const QByteArray& respuesta) const;
    static QByteArray Recortar(const QByteArray& crudo);

    PuertoSerie& puerto_;
    Reloj& reloj_;
    qint64 inicioMs_ = 0;
};
