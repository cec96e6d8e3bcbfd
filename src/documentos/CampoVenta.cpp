#include "documentos/CampoVenta.h"

#include "comun/Conversiones.h"

#include <QVariant>

std::optional<QString> CampoVenta::Texto(const QSqlRecord& registro, const QString& campo)
{
    const QVariant v = registro.value(campo);
    if (v.isNull())
        return std::nullopt;
    return Conversiones::TextoDeBase(v.toString());
}

QString CampoVenta::TextoOpcional(const QSqlRecord& registro, const QString& campo)
{
    return Texto(registro, campo).value_or(QString());
}

std::optional<double> CampoVenta::Numero(const QSqlRecord& registro, const QString& campo)
{
    const QVariant v = registro.value(campo);
    if (v.isNull())
        return std::nullopt;
    bool ok = false;
    const double numero = v.toDouble(&ok);
    if (!ok)
        return std::nullopt;
    return numero;
}

std::optional<bool> CampoVenta::Logico(const QSqlRecord& registro, const QString& campo)
{
    const std::optional<double> numero = Numero(registro, campo);
    if (!numero)
        return std::nullopt;
    return *numero != 0;
}
