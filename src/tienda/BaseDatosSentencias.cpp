// The statements: queries, writes (each retried once over a lost server
// connection) and the plans of queries.
#include "tienda/BaseDatos.h"

#include "tienda/BaseDatosInterno.h"

#include <QSqlDriver>
#include <QSqlField>
#include <QSqlQuery>

using BaseDatosInterno::Detalle;
using BaseDatosInterno::lcDb;

std::optional<QList<QSqlRecord>> BaseDatos::Consultar(const QString& sql,
                                                      const QVariantList& valores)
{
    std::optional<QList<QSqlRecord>> filas;
    ConReconexion([&] {
        filas = ConsultarUnaVez(sql, valores);
        return filas.has_value();
    });
    return filas;
}

std::optional<QList<QSqlRecord>> BaseDatos::ConsultarUnaVez(const QString& sql,
                                                            const QVariantList& valores)
{
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    if (!q.prepare(sql)) {
        error_ = Detalle(q.lastError());
        return std::nullopt;
    }
    for (const QVariant& v : valores)
        q.addBindValue(v);
    if (!q.exec()) {
        error_ = Detalle(q.lastError());
        return std::nullopt;
    }
    QList<QSqlRecord> filas;
    while (q.next())
        filas.append(q.record());
    if (q.lastError().isValid()) {
        error_ = Detalle(q.lastError());
        return std::nullopt;
    }
    return filas;
}

std::optional<QList<Pendiente>> BaseDatos::ConsultarPendientes(const QString& sql, int caja)
{
    std::optional<QList<Pendiente>> lista;
    ConReconexion([&] {
        lista = PendientesUnaVez(sql, caja);
        return lista.has_value();
    });
    return lista;
}

std::optional<QList<Pendiente>> BaseDatos::PendientesUnaVez(const QString& sql, int caja)
{
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    if (!q.prepare(sql)) {
        error_ = Detalle(q.lastError());
        return std::nullopt;
    }
    q.addBindValue(caja);
    if (!q.exec()) {
        error_ = Detalle(q.lastError());
        return std::nullopt;
    }
    QList<Pendiente> lista;
    while (q.next())
        lista.append(Pendiente{q.value(0).toLongLong(), q.value(1).toString()});
    if (q.lastError().isValid()) {
        error_ = Detalle(q.lastError());
        return std::nullopt;
    }
    return lista;
}

std::optional<qlonglong> BaseDatos::CambiosTotales()
{
    const auto filas = ConsultarUnaVez(QStringLiteral("SELECT total_changes()"), {});
    if (!filas || filas->isEmpty())
        return std::nullopt;
    return filas->first().value(0).toLongLong();
}

Actualizacion BaseDatos::Ejecutar(const QString& sql, const QVariantList& valores, Conteo conteo)
{
    return Escribir(sql, valores, conteo, false);
}

Actualizacion BaseDatos::ActualizarFila(const QString& sql, const QVariantList& valores,
                                        Conteo conteo)
{
    return Escribir(sql, valores, conteo, true);
}

Actualizacion BaseDatos::Escribir(const QString& sql, const QVariantList& valores, Conteo conteo,
                                  bool unaFila)
{
    Actualizacion r;
    ConReconexion([&] {
        r = EjecutarUnaVez(sql, valores, conteo, unaFila);
        return r.Ok;
    });
    if (!r.Ok)
        r.Error = error_;
    return r;
}

Actualizacion BaseDatos::EjecutarUnaVez(const QString& sql, const QVariantList& valores,
                                        Conteo conteo, bool unaFila)
{
    Actualizacion r;
    bool transaccion = false;
    auto fallar = [&](const QString& texto) {
        error_ = texto;
        if (transaccion && db_.isOpen())
            db_.rollback();
        r.Ok = false;
        r.Error = error_;
        return r;
    };
    if (unaFila) {
        if (motor_ == Motor::SQLite) {
            // Take the write lock at once (waiting out the busy timeout) rather
            // than failing half-way when another program writes.
            QSqlQuery inicio(db_);
            transaccion = inicio.exec(QStringLiteral("BEGIN IMMEDIATE"));
            if (!transaccion)
                return fallar(Detalle(inicio.lastError()));
        } else {
            transaccion = db_.transaction();
            if (!transaccion)
                return fallar(Detalle(db_.lastError()));
        }
    }
    const bool porDisparador = conteo == Conteo::PorDisparador && motor_ == Motor::SQLite;
    std::optional<qlonglong> antes;
    if (porDisparador) {
        antes = CambiosTotales();
        if (!antes)
            return fallar(error_);
    }
    {
        QSqlQuery q(db_);
        if (!q.prepare(sql))
            return fallar(Detalle(q.lastError()));
        for (const QVariant& v : valores)
            q.addBindValue(v);
        if (!q.exec())
            return fallar(Detalle(q.lastError()));
        if (!porDisparador)
            r.Filas = q.numRowsAffected();
    }
    if (porDisparador) {
        const auto despues = CambiosTotales();
        if (!despues)
            return fallar(error_);
        r.Filas = int(*despues - *antes);
    }
    // One document is one row: a statement that reaches more (a damaged view,
    // duplicated keys) must not change anything at all.
    if (unaFila && r.Filas > 1)
        return fallar(QStringLiteral("La actualización alcanzaría %1 registros en lugar de uno; "
                                     "no se hizo")
                          .arg(r.Filas));
    if (transaccion && !db_.commit())
        return fallar(Detalle(db_.lastError()));
    r.Ok = true;
    qCDebug(lcDb).noquote() << conexion_ << sql << valores << "->" << r.Filas;
    return r;
}

QStringList BaseDatos::Plan(const QString& sql, const QVariantList& valores, bool soloIndices)
{
    QStringList lineas;
    if (motor_ == Motor::SQLite) {
        const auto filas = Consultar(QStringLiteral("EXPLAIN QUERY PLAN ") + sql, valores);
        if (!filas)
            return {error_};
        // Columns: id, parent, notused, detail.
        for (const QSqlRecord& r : *filas)
            lineas.append(r.value(3).toString());
        return lineas;
    }
    if (!db_.isOpen() && !Reconectar())
        return {error_};
    // EXPLAIN cannot be prepared: the values are written into the text by
    // the driver's own quoting, as its prepared statements do with them.
    QString texto;
    qsizetype n = 0;
    for (const QChar c : sql) {
        if (c == QLatin1Char('?') && n < valores.size()) {
            QSqlField campo(QString(), valores.at(n).metaType());
            campo.setValue(valores.at(n++));
            texto += db_.driver()->formatValue(campo);
        } else {
            texto += c;
        }
    }
    QSqlQuery q(db_);
    if (soloIndices) {
        db_.transaction();
        for (const char* ajuste :
             {"SET LOCAL enable_seqscan = off", "SET LOCAL enable_bitmapscan = off",
              "SET LOCAL enable_sort = off"})
            q.exec(QString::fromLatin1(ajuste));
    }
    if (!q.exec(QStringLiteral("EXPLAIN ") + texto))
        lineas.append(Detalle(q.lastError()));
    while (q.next())
        lineas.append(q.value(0).toString());
    q.finish();
    if (soloIndices)
        db_.rollback();
    return lineas;
}
