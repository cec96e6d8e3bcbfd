#include "tienda/BaseDatos.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QThread>

#include <algorithm>

namespace
{
Q_LOGGING_CATEGORY(lcDb, "rovend.db")

// The sales program may hold a write lock for a moment; wait for it briefly
// rather than failing the tick.
constexpr auto kOpcionesSqlite = "QSQLITE_BUSY_TIMEOUT=2000";

// libpq options: a dead server or a cut cable must not hang the robot thread.
// Keepalives find a silent peer, tcp_user_timeout an unacknowledged send.
constexpr auto kOpcionesPostgres = "connect_timeout=5;keepalives=1;keepalives_idle=10;"
                                   "keepalives_interval=3;keepalives_count=3;"
                                   "tcp_user_timeout=20000;application_name=rovend";
// A statement still running after this long (a lock held by a stuck sales
// program, say) is cancelled by the server and fails like any other.
constexpr auto kLimiteSentencia = "SET statement_timeout = 30000";

// Pause between two attempts to reach a lost server, cut into slices that
// watch the stop flag.
constexpr int kPausaReconexionMs = 250;
constexpr int kRebanadaMs = 50;

bool MismoNombre(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString Entre(const QString& nombre)
{
    return QLatin1Char('[') + nombre + QLatin1Char(']');
}

// Driver errors span lines; the log and the messages want one.
QString Detalle(const QSqlError& e)
{
    return e.text().simplified();
}
} // namespace

QString ServidorBaseDatos::Descripcion() const
{
    const QString destino = QStringLiteral("%1:%2/%3").arg(Servidor, QString::number(Puerto), Base);
    return Usuario.isEmpty() ? destino : Usuario + QLatin1Char('@') + destino;
}

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
    db_.setConnectOptions(QString::fromLatin1(kOpcionesSqlite));
    if (!db_.open()) {
        const QString texto = Detalle(db_.lastError());
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

bool BaseDatos::Abrir(const ServidorBaseDatos& servidor)
{
    Cerrar();
    error_.clear();
    const QString destino = servidor.Descripcion();
    if (QSqlDatabase::contains(conexion_)) {
        Fallo(QStringLiteral("La conexión %1 ya está en uso").arg(conexion_));
        return false;
    }
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
        Fallo(QStringLiteral("No se puede conectar con la base de datos %1: falta el controlador "
                             "PostgreSQL de Qt (paquete libqt6sql6-psql)")
                  .arg(destino));
        return false;
    }
    db_ = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), conexion_);
    db_.setHostName(servidor.Servidor);
    db_.setPort(servidor.Puerto);
    db_.setDatabaseName(servidor.Base);
    if (!servidor.Usuario.isEmpty())
        db_.setUserName(servidor.Usuario);
    db_.setConnectOptions(QString::fromLatin1(kOpcionesPostgres));
    motor_ = Motor::PostgreSQL;
    if (!AbrirServidor()) {
        const QString texto = Detalle(db_.lastError());
        Cerrar();
        Fallo(
            QStringLiteral("No se pudo conectar con la base de datos %1: %2").arg(destino, texto));
        return false;
    }
    servidor_ = servidor;
    ruta_ = destino;
    return true;
}

bool BaseDatos::AbrirServidor()
{
    if (!db_.open())
        return false;
    QSqlQuery q(db_);
    if (!q.exec(QString::fromLatin1(kLimiteSentencia))) {
        db_.close();
        return false;
    }
    return true;
}

void BaseDatos::Cerrar()
{
    servidor_.reset();
    motor_ = Motor::SQLite;
    perdida_ = false;
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

BaseDatos::Motor BaseDatos::MotorBase() const
{
    return motor_;
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

bool BaseDatos::ConexionPerdida() const
{
    return perdida_;
}

void BaseDatos::PonerEsperaReconexion(int ms)
{
    esperaReconexionMs_ = std::max(0, ms);
}

int BaseDatos::EsperaReconexion() const
{
    return esperaReconexionMs_;
}

void BaseDatos::PonerCancelar(const std::atomic<bool>* cancelar)
{
    cancelar_ = cancelar;
}

void BaseDatos::Fallo(const QString& texto)
{
    error_ = texto;
    qCWarning(lcDb).noquote() << conexion_ << texto;
}

void BaseDatos::MarcarPerdida(const QString& detalle)
{
    // Once per outage: a server that stays away is not news every second.
    if (perdida_)
        return;
    perdida_ = true;
    qCWarning(lcDb).noquote()
        << conexion_
        << QStringLiteral("Se perdió la conexión con la base de datos %1: %2").arg(ruta_, detalle);
}

bool BaseDatos::ConexionViva()
{
    if (!db_.isOpen())
        return false;
    QSqlQuery q(db_);
    return q.exec(QStringLiteral("SELECT 1"));
}

bool BaseDatos::Reconectar()
{
    QElapsedTimer reloj;
    reloj.start();
    QString detalle;
    for (;;) {
        db_.close();
        if (AbrirServidor()) {
            if (perdida_)
                qCInfo(lcDb).noquote()
                    << conexion_
                    << QStringLiteral("Conexión con la base de datos %1 restablecida").arg(ruta_);
            perdida_ = false;
            return true;
        }
        detalle = Detalle(db_.lastError());
        MarcarPerdida(detalle);
        const auto cancelado = [this] { return cancelar_ && cancelar_->load(); };
        const qint64 resta = esperaReconexionMs_ - reloj.elapsed();
        if (cancelado() || resta <= 0)
            break;
        QElapsedTimer pausa;
        pausa.start();
        const qint64 largo = std::min<qint64>(kPausaReconexionMs, resta);
        while (!cancelado() && pausa.elapsed() < largo)
            QThread::msleep(ulong(std::min<qint64>(kRebanadaMs, largo - pausa.elapsed() + 1)));
    }
    // Not logged: MarcarPerdida has told the outage once.
    error_ = QStringLiteral("Sin conexión con la base de datos %1: %2").arg(ruta_, detalle);
    return false;
}

bool BaseDatos::ConReconexion(const std::function<bool()>& intento)
{
    if (!servidor_) {
        if (!Abierta()) {
            Fallo(QStringLiteral("La base de datos no está abierta"));
            return false;
        }
        if (intento())
            return true;
        qCWarning(lcDb).noquote() << conexion_ << error_;
        return false;
    }
    // A connection lost by an earlier statement is opened again first.
    if (!db_.isOpen() && !Reconectar())
        return false;
    if (intento()) {
        perdida_ = false;
        return true;
    }
    if (ConexionViva()) {
        qCWarning(lcDb).noquote() << conexion_ << error_;
        return false;
    }
    MarcarPerdida(error_);
    if (!Reconectar())
        return false;
    if (intento())
        return true;
    qCWarning(lcDb).noquote() << conexion_ << error_;
    return false;
}

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
