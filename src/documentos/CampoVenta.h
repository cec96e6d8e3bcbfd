#pragma once

#include <QSqlRecord>
#include <QString>

#include <optional>

// Reads the fields of a sale or of one of its lines. A Null (or missing)
// field comes back as nullopt: the run cannot turn it into printer text.
class CampoVenta
{
  public:
    static std::optional<QString> Texto(const QSqlRecord& registro, const QString& campo);
    // A field whose Null means "nothing here": Null reads as an empty text.
    static QString TextoOpcional(const QSqlRecord& registro, const QString& campo);
    // nullopt also when the value is no number at all.
    static std::optional<double> Numero(const QSqlRecord& registro, const QString& campo);
    // 0 is false, any other number true.
    static std::optional<bool> Logico(const QSqlRecord& registro, const QString& campo);
};
