#pragma once

// Shared by the files that implement BaseDatos (BaseDatos.cpp,
// BaseDatosSentencias.cpp, BaseDatosVerificacion.cpp); nothing else includes it.

#include <QLoggingCategory>
#include <QSqlError>
#include <QString>

namespace BaseDatosInterno
{
Q_DECLARE_LOGGING_CATEGORY(lcDb)

// Driver errors span lines; the log and the messages want one.
inline QString Detalle(const QSqlError& e)
{
    return e.text().simplified();
}
} // namespace BaseDatosInterno
