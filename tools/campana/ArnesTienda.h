#pragma once

#include "TiendaDemo.h"

#include <QJsonObject>
#include <QProcess>
#include <QSqlRecord>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>

// End-to-end harness: the real programs as separate processes. The printer
// simulator and the server simulator live as long as the harness (they
// survive the robot's restarts); the robot is started, stopped and killed
// at will. The shop is a SQLite file made by the demo library.
class ArnesTienda
{
  public:
    ArnesTienda();
    ~ArnesTienda();

    // Starts both simulators and creates the shop. `argsImpresora` are extra
    // options for the printer simulator (faults, pacing).
    bool Preparar(const OpcionesTienda& opciones = {}, const QStringList& argsImpresora = {});
    QString Error() const { return error_; }

    TiendaDemo tienda;

    bool ArrancarRobot();
    QStringList argsRobot; // extra options for the robot (--estado, --alarma)
    void EntornoRobot(const QProcessEnvironment& e) { robot_.setProcessEnvironment(e); }
    // SIGTERM and the robot's own shutdown; its exit status, -1 if it hung.
    int TerminarRobot(int msLimite = 30000);
    void MatarRobot(); // SIGKILL, no chance to clean up
    bool RobotVivo() const;
    // Why the last start failed: the error and the process state.
    QString ErrorRobot() const;
    QString SalidaRobot(); // all it printed so far (stdout and stderr)

    void OrdenImpresora(const QString& linea);
    // Called with each line the printer simulator writes to stderr (one per
    // exchange with --verbose), as soon as the harness's event loop reads it.
    void AlIntercambio(std::function<void(const QString&)> f) { alIntercambio_ = std::move(f); }
    // What the operator does about a document left open: the printer's reset,
    // sent by hand with pruebaenlace while the robot is not running.
    bool ResetearImpresora();
    void OrdenServidor(const QString& linea);
    QStringList LineasServidor();  // "< ..." received, "> ..." sent
    QStringList LineasImpresora(); // the simulator's stderr (one line per exchange)

    QList<QJsonObject> Diario() const;                    // one object per finished document
    QList<QJsonObject> Diario(const QString& tipo) const; // only those of this "tipo"
    QString Rollo() const;

    // A row of the sales table or of the credit notes table, read afresh.
    QSqlRecord Venta(qlonglong codigo);
    QSqlRecord Nota(qlonglong codigo);
    // Points the shop's settings at another server (before the robot starts).
    bool CambiarServidor(const QString& direccion, int puerto);
    QString RutaPrograma() const { return dir_.path() + QStringLiteral("/tienda"); }
    // The printer's link, gone while the simulator is switched off.
    QString RutaImpresora() const { return dir_.filePath(QStringLiteral("impresora")); }

  private:
    QSqlRecord Fila(const QString& sql, qlonglong codigo);
    void LeerImpresora();

    QTemporaryDir dir_;
    QProcess impresora_;
    QProcess servidor_;
    QProcess robot_;
    QByteArray salidaRobot_;
    QByteArray salidaServidor_;
    QByteArray salidaImpresora_;
    qsizetype entregadoImpresora_ = 0; // bytes of salidaImpresora_ already given as lines
    std::function<void(const QString&)> alIntercambio_;
    QString error_;
};
