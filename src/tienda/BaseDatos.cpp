// Opening a SQLite file or a PostgreSQL server, closing, and getting a lost
// server connection back. The statements are in BaseDatosSentencias.cpp, the
// checks of the objects in BaseDatosVerificacion.cpp.
#include "tienda/BaseDatos.h"

#include "tienda/BaseDatosInterno.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlQuery>
#include <QThread>

#include <algorithm>

namespace BaseDatosInterno
{
Q_LOGGING_CATEGORY(lcDb, "rovend.db")
} // namespace BaseDatosInterno

using BaseDatosInterno::Detalle;
using BaseDatosInterno::lcDb;

namespace
{
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
