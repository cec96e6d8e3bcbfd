#pragma once

#include "DocumentoImpreso.h"
#include "FallasSimulador.h"
#include "LectorTramas.h"
#include "MaquinaFiscal.h"
#include "Papel.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <deque>
#include <optional>

class QSocketNotifier;

// The printer on the far end of a pseudo-terminal. The robot opens and
// closes the slave side for every exchange; this object keeps its own fd on
// the slave for its whole life so the master never sees a hang-up, reads the
// master as bytes arrive, and writes each reply on a timer at line speed.
class SimuladorFiscal : public QObject
{
    Q_OBJECT
  public:
    // 9600 baud, 10 bits a byte.
    static constexpr qint64 kByteNs = 1'041'667;

    struct Opciones {
        bool ritmo = true; // pace both directions at line speed
        QByteArray registro = "SIM0000001";
        QString rollo;
        QString diario;
        QString estadoArchivo; // counters survive a restart when set
        QString enlace;        // a symbolic link to the terminal, removed while switched off
        QDateTime fecha;       // frozen clock; invalid: the system clock
    };

    struct Estadisticas {
        int tramas = 0;          // valid frames
        int erroneas = 0;        // frames ignored (checksum, sequence, length)
        int respuestas = 0;      // replies queued
        int retransmisiones = 0; // frames answered again without running them
        qint64 descartados = 0;  // bytes outside frames
    };

    explicit SimuladorFiscal(QObject* parent = nullptr);
    explicit SimuladorFiscal(const Opciones& o, QObject* parent = nullptr);
    ~SimuladorFiscal() override;

    bool abrir();
    void cerrar();
    QString ruta() const { return ruta_; }
    // Where the robot should open the printer: the link when there is one.
    QString rutaPuerto() const { return opciones_.enlace.isEmpty() ? ruta_ : opciones_.enlace; }
    QString error() const { return error_; }

    FallasSimulador fallas() const;
    void ponerFallas(const FallasSimulador& f);
    bool ritmo() const { return ritmo_; }
    void ponerRitmo(bool r) { ritmo_ = r; }
    QDateTime fecha() const { return fecha_; }
    void ponerFecha(const QDateTime& f) { fecha_ = f; }
    QDateTime ahora() const;

    MaquinaFiscal& maquina() { return maquina_; }
    const MaquinaFiscal& maquina() const { return maquina_; }
    const Papel& papel() const { return papel_; }
    Estadisticas estadisticas() const;

    // One complete frame in; the framed reply out, or nothing when silent or
    // when the frame was invalid. A repeated frame gets the previous reply
    // without running the command again.
    std::optional<QByteArray> atender(const LectorTramas::Trama& t);

    // Saves counters and set-up to the state file, if there is one.
    bool guardarEstado();

  Q_SIGNALS:
    void intercambio(const QString& linea); // one line per exchange, for --verbose
    void documentoImpreso(const DocumentoImpreso& d);

  private:
    struct Salida {
        QByteArray bytes;
        qint64 noAntesNs = 0; // not before this instant
        qint64 pausaNs = 0;   // silence on the line before it
        qint64 inicioNs = -1;
        qsizetype enviados = 0;
        bool repetir = false; // a busy byte sent again and again (always busy)
    };

    void leer();
    void escribir();
    void procesar(const LectorTramas::Trama& t);
    void programar(const LectorTramas::Trama& t, const QByteArray& respuesta);
    void cargarEstado();
    // The reply as the line delivers it, with the faults of the line.
    QByteArray Estropear(const QByteArray& respuesta);
    bool ponerEnlace(bool presente);

    Opciones opciones_;
    bool ritmo_ = true;
    QDateTime fecha_;
    MaquinaFiscal maquina_;
    Papel papel_;
    LectorTramas lector_;
    FallasSimulador fallas_;
    Estadisticas estadisticas_;

    int maestro_ = -1;
    int esclavo_ = -1;
    QString ruta_;
    QString error_;
    QSocketNotifier* notificador_ = nullptr;
    // Children, so that they follow the simulator to its thread.
    QTimer* escritor_ = nullptr;
    QTimer* reanudar_ = nullptr;
    QElapsedTimer reloj_;
    std::deque<Salida> salida_;
    qint64 finLineaNs_ = 0;

    // The last frame answered, to recognise a retransmission.
    std::optional<char> ultimaSecuencia_;
    QByteArray ultimoComando_;
    QByteArray ultimaRespuesta_;
};
