#pragma once

#include <QList>
#include <QSqlDatabase>
#include <QSqlRecord>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

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

// A named SQLite connection, opened by path and used in one thread only (the
// robot thread). Values always travel as bound parameters. Failures come back
// as values; UltimoError() tells the last one.
class BaseDatos
{
  public:
    explicit BaseDatos(const QString& conexion);
    virtual ~BaseDatos();
    BaseDatos(const BaseDatos&) = delete;
    BaseDatos& operator=(const BaseDatos&) = delete;

    // Opens an existing database file; never creates one.
    bool Abrir(const QString& ruta);
    void Cerrar();
    bool Abierta() const;
    QString Ruta() const;
    QString Conexion() const;
    QString UltimoError() const;

    // What the robot needs and the file lacks: "[Object]" for a missing table
    // or view, "[Object].Field" for a missing field. Empty when all is there.
    virtual QStringList Verificar() = 0;

  protected:
    struct Objeto {
        QString Nombre;
        QStringList Campos;
        // Must accept UPDATE through an INSTEAD OF trigger (an updatable view).
        bool Actualizable = false;
    };

    // nullopt: the query failed (see UltimoError()); an empty list: no rows.
    std::optional<QList<QSqlRecord>> Consultar(const QString& sql,
                                               const QVariantList& valores = {});
    std::optional<QList<Pendiente>> ConsultarPendientes(const QString& sql, int caja);

    // Rows written through a view's INSTEAD OF trigger are not counted by
    // SQLite's changes(); those statements count with total_changes().
    enum class Conteo { Directo, PorDisparador };
    Actualizacion Ejecutar(const QString& sql, const QVariantList& valores,
                           Conteo conteo = Conteo::Directo);

    QStringList VerificarObjetos(const QList<Objeto>& objetos);
    // EXPLAIN QUERY PLAN lines of a statement, with its parameters bound.
    QStringList Plan(const QString& sql, const QVariantList& valores);
    // Records and logs a failure; UltimoError() returns it.
    void Fallo(const QString& texto);

  private:
    std::optional<qlonglong> CambiosTotales();

    QString conexion_;
    QString ruta_;
    QString error_;
    QSqlDatabase db_;
};
