#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// Runs a schema script (sql/*.sql) on a connection. Qt executes one
// statement per call, so the script is split here first.
class GuionSql
{
  public:
    // The statements of a script in order, each with its final ';'. A ';'
    // inside quotes, brackets, comments or a CREATE TRIGGER body does not end
    // a statement (a trigger ends at "END;"; CASE ... END; inside a trigger
    // body is not supported). Text holding only comments is dropped.
    static QStringList Sentencias(const QString& guion);

    // Executes the file in one transaction; false and *error on failure.
    static bool Ejecutar(QSqlDatabase& db, const QString& archivo, QString* error);
};
