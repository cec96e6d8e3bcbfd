#include "BaseDatos.h"

#include <QFileInfo>
#include <QLoggingCategory>
#include <QSqlError>
#include <QSqlQuery>

namespace
{
Q_LOGGING_CATEGORY(lcDb, "rovend.db")

// The sales program may hold a write lock for a moment; wait for it briefly
// rather than failing the tick.
constexpr auto kOpciones = "QSQLITE_BUSY_TIMEOUT=2000";

bool MismoNombre(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString Entre(const QString& nombre)
{
    return QLatin1Char('[') + nombre + QLatin1Char(']');
}
} // namespace

BaseDatos::BaseDatos(const QString& conexion) : conexion_(conexion) {}

BaseDatos::~BaseDatos()
{
    Cerrar();
}

bool BaseDatos::Abrir(const QString& ruta)
{
    Cerrar();
    error_.clear();
    const QFileInfo info(ruta);
    if (!info.isFile()) {
        Fallo(QStringLiteral("No se encuentra la base de datos %1").arg(ruta));
        return false;
    }
    if (QSqlDatabase::contains(conexion_)) {
        Fallo(QStringLiteral("La conexión %1 ya está en uso").arg(conexion_));
        return false;
    }
    db_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), conexion_);
    db_.setDatabaseName(ruta);
    db_.setConnectOptions(QString::fromLatin1(kOpciones));
    if (!db_.open()) {
        const QString texto = db_.lastError().text();
        Cerrar();
        Fallo(QStringLiteral("No se pudo abrir %1: %2").arg(ruta, texto));
        return false;
    }
    ruta_ = ruta;
    // SQLite opens any file lazily; reading the schema proves it is a database.
    if (!Consultar(QStringLiteral("SELECT count(*) FROM sqlite_master"))) {
        const QString texto = error_;
        Cerrar();
        Fallo(QStringLiteral("%1 no es una base de datos válida: %2").arg(ruta, texto));
        return false;
    }
    return true;
}

void BaseDatos::Cerrar()
{
    if (!db_.isValid())
        return;
    db_.close();
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(conexion_);
    ruta_.clear();
}

bool BaseDatos::Abierta() const
{
    return db_.isValid() && db_.isOpen();
}

QString BaseDatos::Ruta() const
{
    return ruta_;
}

QString BaseDatos::Conexion() const
{
    return conexion_;
}

QString BaseDatos::UltimoError() const
{
    return error_;
}

void BaseDatos::Fallo(const QString& texto)
{
    error_ = texto;
    qCWarning(lcDb).noquote() << conexion_ << texto;
}

std::optional<QList<QSqlRecord>> BaseDatos::Consultar(const QString& sql,
                                                      const QVariantList& valores)
{
    if (!Abierta()) {
        Fallo(QStringLiteral("La base de datos no está abierta"));
        return std::nullopt;
    }
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    if (!q.prepare(sql)) {
        Fallo(q.lastError().text());
        return std::nullopt;
    }
    for (const QVariant& v : valores)
        q.addBindValue(v);
    if (!q.exec()) {
        Fallo(q.lastError().text());
        return std::nullopt;
    }
    QList<QSqlRecord> filas;
    while (q.next())
        filas.append(q.record());
    if (q.lastError().isValid()) {
        Fallo(q.lastError().text());
        return std::nullopt;
    }
    return filas;
}

std::optional<QList<Pendiente>> BaseDatos::ConsultarPendientes(const QString& sql, int caja)
{
    if (!Abierta()) {
        Fallo(QStringLiteral("La base de datos no está abierta"));
        return std::nullopt;
    }
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    if (!q.prepare(sql)) {
        Fallo(q.lastError().text());
        return std::nullopt;
    }
    q.addBindValue(caja);
    if (!q.exec()) {
        Fallo(q.lastError().text());
        return std::nullopt;
    }
    QList<Pendiente> lista;
    while (q.next())
        lista.append(Pendiente{q.value(0).toLongLong(), q.value(1).toString()});
    if (q.lastError().isValid()) {
        Fallo(q.lastError().text());
        return std::nullopt;
    }
    return lista;
}

std::optional<qlonglong> BaseDatos::CambiosTotales()
{
    const auto filas = Consultar(QStringLiteral("SELECT total_changes()"));
    if (!filas || filas->isEmpty())
        return std::nullopt;
    return filas->first().value(0).toLongLong();
}

Actualizacion BaseDatos::Ejecutar(const QString& sql, const QVariantList& valores, Conteo conteo)
{
    Actualizacion r;
    if (!Abierta()) {
        Fallo(QStringLiteral("La base de datos no está abierta"));
        r.Error = error_;
        return r;
    }
    std::optional<qlonglong> antes;
    if (conteo == Conteo::PorDisparador) {
        antes = CambiosTotales();
        if (!antes) {
            r.Error = error_;
            return r;
        }
    }
    QSqlQuery q(db_);
    if (!q.prepare(sql)) {
        Fallo(q.lastError().text());
        r.Error = error_;
        return r;
    }
    for (const QVariant& v : valores)
        q.addBindValue(v);
    if (!q.exec()) {
        Fallo(q.lastError().text());
        r.Error = error_;
        return r;
    }
    if (conteo == Conteo::PorDisparador) {
        const auto despues = CambiosTotales();
        if (!despues) {
            r.Error = error_;
            return r;
        }
        r.Filas = int(*despues - *antes);
    } else {
        r.Filas = q.numRowsAffected();
    }
    r.Ok = true;
    qCDebug(lcDb).noquote() << conexion_ << sql << valores << "->" << r.Filas;
    return r;
}

QStringList BaseDatos::VerificarObjetos(const QList<Objeto>& objetos)
{
    if (!Abierta())
        return {QStringLiteral("(base de datos cerrada)")};
    QStringList faltan;
    for (const Objeto& o : objetos) {
        const auto existe = Consultar(QStringLiteral("SELECT name FROM sqlite_master "
                                                     "WHERE type IN ('table', 'view') "
                                                     "AND name = ? COLLATE NOCASE"),
                                      {o.Nombre});
        if (!existe || existe->isEmpty()) {
            faltan.append(Entre(o.Nombre));
            continue;
        }
        // Reading the columns also compiles a view: a view over a missing
        // table fails here rather than on the first tick.
        const auto columnas =
            Consultar(QStringLiteral("SELECT name FROM pragma_table_info(?)"), {o.Nombre});
        if (!columnas) {
            faltan.append(Entre(o.Nombre) + QStringLiteral(" (") + error_ + QLatin1Char(')'));
            continue;
        }
        for (const QString& campo : o.Campos) {
            bool esta = false;
            for (const QSqlRecord& c : *columnas)
                esta = esta || MismoNombre(c.value(0).toString(), campo);
            if (!esta)
                faltan.append(Entre(o.Nombre) + QLatin1Char('.') + campo);
        }
        if (o.Actualizable) {
            const auto disparador =
                Consultar(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'trigger' "
                                         "AND tbl_name = ? COLLATE NOCASE "
                                         "AND sql LIKE '%INSTEAD OF UPDATE%'"),
                          {o.Nombre});
            if (!disparador || disparador->isEmpty())
                faltan.append(Entre(o.Nombre) + QStringLiteral(" (INSTEAD OF UPDATE)"));
        }
    }
    return faltan;
}

QStringList BaseDatos::Plan(const QString& sql, const QVariantList& valores)
{
    QStringList lineas;
    const auto filas = Consultar(QStringLiteral("EXPLAIN QUERY PLAN ") + sql, valores);
    if (!filas)
        return {error_};
    // Columns: id, parent, notused, detail.
    for (const QSqlRecord& r : *filas)
        lineas.append(r.value(3).toString());
    return lineas;
}
