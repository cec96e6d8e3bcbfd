#pragma once

#include <QList>
#include <QSqlDatabase>
#include <QSqlRecord>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

#include <atomic>
#include <functional>
#include <optional>

// One row of a pending list: the document's key and the text the list shows
// (a null text when the view's display column is NULL).
struct Pendiente {
    qlonglong Codigo = 0;
    QString VistaEspecial;
};

// Outcome of an UPDATE or DELETE: whether it ran and how many rows it changed.
struct Actualizacion {
    bool Ok = false;
    int Filas = 0;
    QString Error;
};

// A shop database kept by a PostgreSQL server. There is no password here on
// purpose: libpq takes it from PGPASSWORD or the password file (~/.pgpass).
struct ServidorBaseDatos {
    QString Servidor; // host name, address, or the folder of a unix socket
    int Puerto = 5432;
    QString Base;
    QString Usuario; // empty: libpq's default (PGUSER, else the system user)

    // "usuario@servidor:puerto/base", for messages and the log.
    QString Descripcion() const;
    bool operator==(const ServidorBaseDatos&) const = default;
};

// A named connection to a SQLite file or a PostgreSQL server, used in one
// thread only (the robot thread). Values always travel as bound parameters.
// Failures come back as values; UltimoError() tells the last one.
//
// A server connection that is lost (the server restarted, the network was
// cut) is opened again by the next statement, which then runs once more: the
// statements are all reads or idempotent writes of fixed values to one row.
// While the server cannot be reached a statement waits up to
// EsperaReconexion() milliseconds for it before it fails.
class BaseDatos
{
  public:
    enum class Motor { SQLite, PostgreSQL };

    static constexpr int kEsperaReconexionMs = 10000;

    explicit BaseDatos(const QString& conexion);
    virtual ~BaseDatos();
    BaseDatos(const BaseDatos&) = delete;
    BaseDatos& operator=(const BaseDatos&) = delete;

    // Opens an existing SQLite database file; never creates one.
    bool Abrir(const QString& ruta);
    // Connects to a shop database on a PostgreSQL server.
    bool Abrir(const ServidorBaseDatos& servidor);
    void Cerrar();
    bool Abierta() const;
    Motor MotorBase() const;
    // The file, or the server's description.
    QString Ruta() const;
    QString Conexion() const;
    QString UltimoError() const;
    // True from the moment a server connection is found lost until it is back.
    bool ConexionPerdida() const;

    void PonerEsperaReconexion(int ms);
    int EsperaReconexion() const;
    // A set flag ends the wait for a lost server at once (program shutdown).
    void PonerCancelar(const std::atomic<bool>* cancelar);

    // What the robot needs and the database lacks: "[Object]" for a missing
    // table or view, "[Object].Field" for a missing field. Empty when all is
    // there.
    virtual QStringList Verificar() = 0;

  protected:
    struct Objeto {
        QString Nombre;
        QStringList Campos;
        // The robot writes through it (an updatable view, or a table).
        bool Actualizable = false;
    };

    // nullopt: the query failed (see UltimoError()); an empty list: no rows.
    std::optional<QList<QSqlRecord>> Consultar(const QString& sql,
                                               const QVariantList& valores = {});
    std::optional<QList<Pendiente>> ConsultarPendientes(const QString& sql, int caja);

    // Rows written through a SQLite view's INSTEAD OF trigger are not counted
    // by SQLite's changes(); those statements count with total_changes().
    // PostgreSQL counts the rows of an updatable view itself.
    enum class Conteo { Directo, PorDisparador };
    Actualizacion Ejecutar(const QString& sql, const QVariantList& valores,
                           Conteo conteo = Conteo::Directo);
    // The write-back of one document: in a transaction of its own, committed
    // only when it changed at most one row; otherwise rolled back and failed.
    Actualizacion ActualizarFila(const QString& sql, const QVariantList& valores,
                                 Conteo conteo = Conteo::Directo);

    QStringList VerificarObjetos(const QList<Objeto>& objetos);
    // How the engine runs a statement: EXPLAIN QUERY PLAN lines on SQLite,
    // EXPLAIN lines on PostgreSQL. `soloIndices` rules out full scans on
    // PostgreSQL, to see whether an index can serve the statement at all
    // whatever the table's size.
    QStringList Plan(const QString& sql, const QVariantList& valores, bool soloIndices = false);
    // Records and logs a failure; UltimoError() returns it.
    void Fallo(const QString& texto);

  private:
    bool AbrirServidor();
    std::optional<QList<QSqlRecord>> ConsultarUnaVez(const QString& sql,
                                                     const QVariantList& valores);
    std::optional<QList<Pendiente>> PendientesUnaVez(const QString& sql, int caja);
    // Ejecutar and ActualizarFila: the statement, reconnecting once if needed.
    Actualizacion Escribir(const QString& sql, const QVariantList& valores, Conteo conteo,
                           bool unaFila);
    Actualizacion EjecutarUnaVez(const QString& sql, const QVariantList& valores, Conteo conteo,
                                 bool unaFila);
    // Runs one attempt; on a server connection found lost, reconnects and
    // runs it once more.
    bool ConReconexion(const std::function<bool()>& intento);
    bool ConexionViva();
    bool Reconectar();
    void MarcarPerdida(const QString& detalle);
    std::optional<qlonglong> CambiosTotales();
    QStringList VerificarSqlite(const QList<Objeto>& objetos);
    QStringList VerificarPostgres(const QList<Objeto>& objetos);

    QString conexion_;
    QString ruta_;
    QString error_;
    QSqlDatabase db_;
    Motor motor_ = Motor::SQLite;
    std::optional<ServidorBaseDatos> servidor_;
    bool perdida_ = false;
    int esperaReconexionMs_ = kEsperaReconexionMs;
    const std::atomic<bool>* cancelar_ = nullptr;
};
