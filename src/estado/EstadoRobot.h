#pragma once

#include "estado/DatosEstado.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QTimer>

#include <optional>

class EnlaceServidor;
class Pantalla;

// The main thread's copy of the robot's state for the status page, the API
// and the metrics: another view of the screen model, like the window. It is
// fed only by the model's signals (queued from the robot thread), so reading
// it never waits on the robot, even while a document prints.
//
// It also watches for documents left waiting: when the oldest pending invoice
// or credit note has waited longer than the threshold while the robot is
// stopped or its printer failing, the alarm is raised (one log line), and
// cleared when that is no longer so (one more line).
class EstadoRobot : public QObject
{
    Q_OBJECT
  public:
    explicit EstadoRobot(Pantalla& pantalla, QObject* parent = nullptr);

    void SeguirServidor(const EnlaceServidor& enlace);
    void PonerUmbralAlarma(double segundos);

    DatosEstado Foto() const;
    bool Alarma() const { return alarma_.has_value(); }

  Q_SIGNALS:
    // Raised (true, a text for the operator) or cleared (false).
    void AlarmaCambiada(bool activa, const QString& texto);

  private:
    void Intercambio(const QByteArray& comando, const QByteArray& respuesta, qint64 ms);
    void Codigos(const QString& lista, const QList<qlonglong>& codigos);
    void Habilitado(const QString& control, bool habilitado);
    void Detenido();
    void PonerMarcha();
    bool EnMarcha() const;
    void RevisarAlarma();
    double EdadSeg(const QString& lista) const;
    qint64 Ahora() const { return reloj_.elapsed(); }

    QElapsedTimer reloj_;
    QTimer revision_;
    DatosEstado d_;
    bool cerrarHabilitado_ = true; // Command10: enabled while stopped
    bool timer_ = false;           // Timer1 (off also while a document prints)
    qint64 ultimoIntercambioMs_ = -1; // on reloj_
    qint64 detencionMs_ = -1;
    // A run's failure (stage, message) not yet followed by its stop.
    std::optional<std::pair<QString, QString>> fallaPendiente_;
    QString ultimoMensaje_;
    // First sight of each pending Código, per list (DBList1..3), on reloj_.
    QHash<QString, QHash<qlonglong, qint64>> vistos_;
    std::optional<qint64> alarma_; // since when (reloj_)
};
