#include "GuionSql.h"

#include <QFile>
#include <QSqlError>
#include <QSqlQuery>

namespace
{
bool EsLetra(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

bool EsDisparador(const QStringList& palabras)
{
    // CREATE [TEMP | TEMPORARY] TRIGGER
    if (palabras.size() < 2 || palabras.at(0) != QLatin1String("CREATE"))
        return false;
    if (palabras.at(1) == QLatin1String("TRIGGER"))
        return true;
    return palabras.size() >= 3 &&
           (palabras.at(1) == QLatin1String("TEMP") ||
            palabras.at(1) == QLatin1String("TEMPORARY")) &&
           palabras.at(2) == QLatin1String("TRIGGER");
}
} // namespace

QStringList GuionSql::Sentencias(const QString& guion)
{
    QStringList sentencias;
    QString actual;
    QStringList primeras; // first words of the statement, upper case
    QString palabra;      // word being read
    QString ultima;       // last complete word
    bool contenido = false;

    auto cerrarPalabra = [&]() {
        if (palabra.isEmpty())
            return;
        ultima = palabra.toUpper();
        if (primeras.size() < 3)
            primeras.append(ultima);
        palabra.clear();
    };

    const qsizetype n = guion.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = guion.at(i);
        const QChar sig = i + 1 < n ? guion.at(i + 1) : QChar();
        // Comments are kept in the text but hold no words.
        if (c == QLatin1Char('-') && sig == QLatin1Char('-')) {
            cerrarPalabra();
            const qsizetype fin = guion.indexOf(QLatin1Char('\n'), i);
            const qsizetype hasta = fin < 0 ? n : fin;
            actual += guion.mid(i, hasta - i);
            i = hasta - 1;
            continue;
        }
        if (c == QLatin1Char('/') && sig == QLatin1Char('*')) {
            cerrarPalabra();
            const qsizetype fin = guion.indexOf(QLatin1String("*/"), i + 2);
            const qsizetype hasta = fin < 0 ? n : fin + 2;
            actual += guion.mid(i, hasta - i);
            i = hasta - 1;
            continue;
        }
        // Quoted text and identifiers: copied whole, even their ';'.
        QChar cierre;
        if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('`'))
            cierre = c;
        else if (c == QLatin1Char('['))
            cierre = QLatin1Char(']');
        if (!cierre.isNull()) {
            cerrarPalabra();
            // A doubled quote inside is just two quotes in a row: the scan
            // closes and reopens, which keeps the text the same.
            const qsizetype fin = guion.indexOf(cierre, i + 1);
            const qsizetype hasta = fin < 0 ? n : fin + 1;
            actual += guion.mid(i, hasta - i);
            i = hasta - 1;
            contenido = true;
            // A quoted name counts as a word for the statement's first words.
            if (primeras.size() < 3)
                primeras.append(QString());
            ultima.clear();
            continue;
        }
        if (EsLetra(c)) {
            palabra += c;
            actual += c;
            contenido = true;
            continue;
        }
        cerrarPalabra();
        actual += c;
        if (c != QLatin1Char(';'))
            continue;
        if (EsDisparador(primeras) && ultima != QLatin1String("END"))
            continue;
        if (contenido)
            sentencias.append(actual.trimmed());
        actual.clear();
        primeras.clear();
        ultima.clear();
        contenido = false;
    }
    cerrarPalabra();
    if (contenido)
        sentencias.append(actual.trimmed());
    return sentencias;
}

bool GuionSql::Ejecutar(QSqlDatabase& db, const QString& archivo, QString* error)
{
    QFile f(archivo);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("No se pudo leer %1: %2").arg(archivo, f.errorString());
        return false;
    }
    const QStringList sentencias = Sentencias(QString::fromUtf8(f.readAll()));
    if (!db.transaction()) {
        if (error)
            *error = db.lastError().text();
        return false;
    }
    QSqlQuery q(db);
    for (const QString& s : sentencias) {
        if (!q.exec(s)) {
            if (error)
                *error = QStringLiteral("%1: %2\n%3").arg(archivo, q.lastError().text(), s);
            q.finish();
            db.rollback();
            return false;
        }
    }
    q.finish();
    if (!db.commit()) {
        if (error)
            *error = db.lastError().text();
        return false;
    }
    return true;
}
