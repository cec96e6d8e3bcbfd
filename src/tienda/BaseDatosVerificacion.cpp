// Whether the tables and views the robot uses are there, with their fields,
// and writable where the robot writes.
#include "tienda/BaseDatos.h"

namespace
{
bool MismoNombre(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString Entre(const QString& nombre)
{
    return QLatin1Char('[') + nombre + QLatin1Char(']');
}
} // namespace

QStringList BaseDatos::VerificarObjetos(const QList<Objeto>& objetos)
{
    if (!Abierta() && !servidor_)
        return {QStringLiteral("(base de datos cerrada)")};
    return motor_ == Motor::PostgreSQL ? VerificarPostgres(objetos) : VerificarSqlite(objetos);
}

QStringList BaseDatos::VerificarSqlite(const QList<Objeto>& objetos)
{
    QStringList faltan;
    for (const Objeto& o : objetos) {
        const auto existe = Consultar(QStringLiteral("SELECT type FROM sqlite_master "
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
        // A SQLite view takes an UPDATE only through an INSTEAD OF trigger.
        const bool vista = existe->first().value(0).toString() == QLatin1String("view");
        if (o.Actualizable && vista) {
            const auto disparador =
                Consultar(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'trigger' "
                                         "AND tbl_name = ? COLLATE NOCASE "
                                         "AND sql LIKE '%INSTEAD OF UPDATE%'"),
                          {o.Nombre});
            if (!disparador || disparador->isEmpty())
                faltan.append(Entre(o.Nombre) + QStringLiteral(" (no actualizable)"));
        }
    }
    return faltan;
}

QStringList BaseDatos::VerificarPostgres(const QList<Objeto>& objetos)
{
    // Identifiers are quoted in every statement, so names must match exactly.
    QStringList faltan;
    for (const Objeto& o : objetos) {
        const auto existe =
            Consultar(QStringLiteral("SELECT table_type, "
                                     "has_table_privilege(quote_ident(table_schema) || '.' || "
                                     "quote_ident(table_name), 'SELECT'), "
                                     "has_table_privilege(quote_ident(table_schema) || '.' || "
                                     "quote_ident(table_name), 'UPDATE') "
                                     "FROM information_schema.tables "
                                     "WHERE table_schema = current_schema() AND table_name = ?"),
                      {o.Nombre});
        if (!existe) {
            faltan.append(Entre(o.Nombre) + QStringLiteral(" (") + error_ + QLatin1Char(')'));
            continue;
        }
        if (existe->isEmpty()) {
            faltan.append(Entre(o.Nombre));
            continue;
        }
        const QSqlRecord tipo = existe->first();
        const auto columnas =
            Consultar(QStringLiteral("SELECT column_name FROM information_schema.columns "
                                     "WHERE table_schema = current_schema() AND table_name = ?"),
                      {o.Nombre});
        if (!columnas) {
            faltan.append(Entre(o.Nombre) + QStringLiteral(" (") + error_ + QLatin1Char(')'));
            continue;
        }
        for (const QString& campo : o.Campos) {
            bool esta = false;
            for (const QSqlRecord& c : *columnas)
                esta = esta || c.value(0).toString() == campo;
            if (!esta)
                faltan.append(Entre(o.Nombre) + QLatin1Char('.') + campo);
        }
        if (!tipo.value(1).toBool())
            faltan.append(Entre(o.Nombre) + QStringLiteral(" (sin permiso de lectura)"));
        if (!o.Actualizable)
            continue;
        if (tipo.value(0).toString() == QLatin1String("VIEW")) {
            const auto vista = Consultar(
                QStringLiteral("SELECT is_updatable = 'YES' OR is_trigger_updatable = 'YES' "
                               "FROM information_schema.views "
                               "WHERE table_schema = current_schema() AND table_name = ?"),
                {o.Nombre});
            if (!vista || vista->isEmpty() || !vista->first().value(0).toBool())
                faltan.append(Entre(o.Nombre) + QStringLiteral(" (no actualizable)"));
        }
        if (!tipo.value(2).toBool())
            faltan.append(Entre(o.Nombre) + QStringLiteral(" (sin permiso de escritura)"));
    }
    return faltan;
}
