#include "impresora/NombrePuerto.h"

#include <QRegularExpression>

std::optional<QString> NombrePuerto::Resolver(const QString& puerto)
{
    const QString p = puerto.trimmed();
    static const QRegularExpression numero(
        QStringLiteral("^(?:[Cc][Oo][Mm])?0*([1-9][0-9]{0,2})$"));
    const QRegularExpressionMatch m = numero.match(p);
    if (m.hasMatch()) {
        const int n = m.captured(1).toInt();
#ifdef Q_OS_WIN
        return QStringLiteral("COM%1").arg(n);
#else
        return QStringLiteral("/dev/ttyS%1").arg(n - 1);
#endif
    }
    if (p.contains(QLatin1Char('/')) || p.contains(QLatin1Char('\\')))
        return p;
    return std::nullopt;
}
