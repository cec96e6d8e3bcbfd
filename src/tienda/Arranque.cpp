#include "tienda/Arranque.h"

#include "comun/Texto.h"
#include "impresora/NombrePuerto.h"
#include "tienda/AjustesTienda.h"
#include "tienda/ArchivoMarca.h"
#include "tienda/BaseLocal.h"
#include "tienda/BaseTienda.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPort>
#include <QSqlError>
#include <QSqlQuery>
#include <QSysInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <unistd.h>
#endif

namespace
{
Arranque::Resultado terminar(const QString& mensaje)
{
    Arranque::Resultado r;
    r.fin = Arranque::Fin::Mensaje;
    r.mensaje = mensaje;
    r.codigoSalida = Arranque::kSalidaMensaje;
    return r;
}

QString usuario()
{
    const QString u = qEnvironmentVariable("USER", qEnvironmentVariable("LOGNAME"));
#ifdef Q_OS_UNIX
    return u.isEmpty() ? QStringLiteral("uid %1").arg(::geteuid()) : u;
#else
    return u;
#endif
}

// What the company row lacks for the link to the shop's server; empty when
// nothing.
QString revisarConfiguracionTienda(BaseTienda& base, const QString& nombre)
{
    const auto fila = base.ConfiguracionTienda();
    const QString faltan = QStringLiteral("ipServidor (la dirección del servidor de la tienda) y "
                                          "PuertoServicio (su puerto)");
    if (!fila)
        return QStringLiteral("La tabla [Configuración] de la base de datos \"%1\" no tiene "
                              "registros: faltan %2.")
            .arg(nombre, faltan);
    const AjustesTienda a = AjustesTienda::Desde(*fila);
    QStringList falta;
    if (Texto::Recortado(a.DireccionServidor).isEmpty())
        falta << QStringLiteral("ipServidor (la dirección del servidor de la tienda)");
    if (a.PuertoServidor < 1 || a.PuertoServidor > 65535)
        falta << QStringLiteral(
                     "PuertoServicio (el puerto del servidor, de 1 a 65535; dice \"%1\")")
                     .arg(fila->value(QStringLiteral("PuertoServicio")).toString());
    if (falta.isEmpty())
        return QString();
    return QStringLiteral("En el primer registro de la tabla [Configuración] de la base de datos "
                          "\"%1\" falta: %2.")
        .arg(nombre, falta.join(QStringLiteral("; ")));
}

// Opens a database with a throwaway connection and lists what it lacks.
// `abrir` opens it (a file or a server), `nombre` names it in the message.
template <typename Base, typename Abrir, typename Mas>
QString revisarBase(const QString& nombre, const QString& conexion, Abrir abrir, Mas mas)
{
    QString problema;
    {
        Base base(conexion);
        if (!abrir(base))
            problema = QStringLiteral("No se pudo abrir la base de datos \"%1\": %2")
                           .arg(nombre, base.UltimoError());
        else {
            QStringList faltan = base.Verificar();
            // Rights are not missing objects: said apart, as the reason.
            const QString sinEscritura = QStringLiteral(" (sin permiso de escritura)");
            QStringList noEscribe;
            for (const QString& f : faltan)
                if (f.endsWith(sinEscritura))
                    noEscribe << f.chopped(sinEscritura.size());
            if (!noEscribe.isEmpty())
                problema =
                    QStringLiteral("No se puede escribir en la base de datos \"%1\": el usuario "
                                   "no tiene permiso de escritura (UPDATE) en %2, donde el robot "
                                   "anota cada documento impreso.")
                        .arg(nombre, noEscribe.join(QStringLiteral(", ")));
            else if (!faltan.isEmpty())
                problema = QStringLiteral("A la base de datos \"%1\" le falta: %2")
                               .arg(nombre, faltan.join(QStringLiteral(", ")));
            else
                problema = mas(base);
        }
        base.Cerrar();
    }
    QSqlDatabase::removeDatabase(conexion);
    return problema;
}

// A SQLite file the robot must be able to read and, with `escribir`, write,
// tried in a transaction that is rolled back: nothing in it changes. Another
// program's lock is waited for up to `esperaMs`.
QString probarSqlite(const QString& ruta, int esperaMs, bool escribir)
{
    const QString conexion = QStringLiteral("rovend.arranque.prueba");
    QString problema;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), conexion);
        db.setDatabaseName(ruta);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(esperaMs));
        auto motivo = [&](const QSqlError& e) {
            switch (e.nativeErrorCode().toInt() & 0xFF) { // extended codes keep the primary below
            case 5:                                       // SQLITE_BUSY
            case 6:                                       // SQLITE_LOCKED
                return QStringLiteral("La base de datos \"%1\" está bloqueada por otro programa: "
                                      "se esperó %2 s sin que la liberara. Cierre el programa que "
                                      "la tiene abierta en exclusiva e intente de nuevo.")
                    .arg(ruta)
                    .arg(esperaMs / 1000.0);
            case 8: // SQLITE_READONLY (the file, its folder, the file system)
                return QStringLiteral(
                           "No se puede escribir en la base de datos \"%1\" (%2): el "
                           "robot anota en ella cada documento impreso. El usuario %3 "
                           "necesita permiso de escritura en el archivo y en su carpeta.")
                    .arg(ruta, e.databaseText(), usuario());
            case 26: // SQLITE_NOTADB
                return QStringLiteral("\"%1\" no es una base de datos válida: %2")
                    .arg(ruta, e.databaseText());
            default:
                return QStringLiteral("No se pudo usar la base de datos \"%1\": %2")
                    .arg(ruta, e.text());
            }
        };
        if (!db.open()) {
            problema = motivo(db.lastError());
        } else {
            QSqlQuery q(db);
            if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next()) {
                problema = motivo(q.lastError());
            } else {
                const int version = q.value(0).toInt();
                q.finish();
                if (escribir && !q.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
                    problema = motivo(q.lastError());
                } else if (escribir) {
                    // A write of the value it already has: needs the file and
                    // its journal, changes nothing, and is rolled back anyway.
                    if (!q.exec(QStringLiteral("PRAGMA user_version = %1").arg(version)))
                        problema = motivo(q.lastError());
                    q.exec(QStringLiteral("ROLLBACK"));
                }
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(conexion);
    return problema;
}

template <typename Base, typename Mas>
QString revisarArchivo(const QString& ruta, const QString& conexion, int esperaMs, bool escribir,
                       Mas mas)
{
    if (!QFileInfo(ruta).isFile())
        return QStringLiteral("No se encontró la base de datos \"%1\".").arg(ruta);
    const QString problema = probarSqlite(ruta, esperaMs, escribir);
    if (!problema.isEmpty())
        return problema;
    return revisarBase<Base>(
        ruta, conexion, [&](Base& b) { return b.Abrir(ruta); }, mas);
}

// The data folder: given, a readable folder. The maintenance message is
// kept for a readable folder without its marker.
QString revisarCarpetaDatos(const Configuracion& config)
{
    const QString linea =
        QStringLiteral("(línea \"Datos:\" de %1)").arg(QLatin1String(Configuracion::NombreArchivo));
    if (config.RutaDatos.isEmpty())
        return QStringLiteral("%1 no indica la carpeta de datos de la tienda: su primera línea "
                              "debe ser \"Datos:\" seguida de la carpeta, por ejemplo "
                              "\"Datos:/srv/tienda/\".")
            .arg(QLatin1String(Configuracion::NombreArchivo));
    const QFileInfo carpeta(Configuracion::RutaDelSistema(config.RutaDatos));
    const QString nombre =
        carpeta.absoluteFilePath() == config.RutaDatos ||
                carpeta.absoluteFilePath() + QLatin1Char('/') == config.RutaDatos
            ? QStringLiteral("\"%1\"").arg(config.RutaDatos)
            : QStringLiteral("\"%1\" (%2)").arg(config.RutaDatos, carpeta.absoluteFilePath());
    if (!carpeta.exists())
        return QStringLiteral("No existe la carpeta de datos %1 %2.").arg(nombre, linea);
    if (!carpeta.isDir())
        return QStringLiteral("La carpeta de datos %1 %2 no es una carpeta: es un archivo.")
            .arg(nombre, linea);
    if (!carpeta.isReadable() || !carpeta.isExecutable())
        return QStringLiteral("No se puede leer la carpeta de datos %1 %2: el usuario %3 no "
                              "tiene permiso para abrirla.")
            .arg(nombre, linea, usuario());
    return QString();
}

#ifdef Q_OS_UNIX
bool procesoVivo(qint64 pid)
{
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}
#else
bool procesoVivo(qint64 pid)
{
    return pid > 0;
}
#endif
} // namespace

bool Arranque::ChequeoExistenciaArchivo(const QString& archivo)
{
    const QFileInfo i(archivo);
    return i.exists() && i.isFile() && !i.isHidden();
}

QString Arranque::ProbarPuerto(const QString& dispositivo, bool* ausente)
{
    if (ausente)
        *ausente = false;
#ifdef Q_OS_UNIX
    if (!QFileInfo::exists(dispositivo)) {
        if (ausente)
            *ausente = true;
        return QStringLiteral("El puerto de la impresora \"%1\" no existe por ahora (¿un "
                              "adaptador USB desconectado?): el robot sigue y lo intenta de "
                              "nuevo en cada orden.")
            .arg(dispositivo);
    }
#endif
    QSerialPort puerto;
    puerto.setPortName(dispositivo);
    if (!puerto.open(QIODevice::ReadWrite)) {
        if (puerto.error() == QSerialPort::DeviceNotFoundError && ausente)
            *ausente = true;
        return QStringLiteral("El puerto de la impresora \"%1\" no se abre como puerto serie: %2.")
            .arg(dispositivo, puerto.errorString());
    }
    puerto.close();
    return QString();
}

namespace
{
// Log.log may hold the code of an invoice whose closing went out: it is
// created when missing and never overwritten when it cannot be read.
QString revisarMarca(const QString& carpeta)
{
    ArchivoMarca marca(QDir(carpeta).filePath(QStringLiteral("Log.log")));
    QString error;
    if (marca.Verificar(&error))
        return QString();
    return QStringLiteral("No se puede leer el archivo \"%1\" (%2). No se sobrescribe: "
                          "puede guardar el código de una factura en curso. Por favor "
                          "verifique el archivo e intente de nuevo.")
        .arg(marca.Ruta(), error);
}

// The data folder, then its maintenance marker.
QString revisarDatos(const Configuracion& config)
{
    const QString problemaDatos = revisarCarpetaDatos(config);
    if (!problemaDatos.isEmpty())
        return problemaDatos;
    if (!Arranque::ChequeoExistenciaArchivo(config.ArchivoMarcaMantenimiento()))
        return QString::fromUtf8(Arranque::kMensajeMantenimiento);
    return QString();
}

// The shop database: the SQLite file, or the server of the twelfth line.
// The robot writes in it, and reads the server's address from it. Then the
// local database, which it only reads.
QString revisarBases(const AjustesRobot& ajustes, int esperaBloqueoMs)
{
    const Configuracion& config = ajustes.config;
    const QString conexionTienda = QStringLiteral("rovend.arranque.tienda");
    QString problemaTienda;
    if (!config.ErrorServidor.isEmpty())
        problemaTienda = config.ErrorServidor;
    else if (config.Servidor)
        problemaTienda = revisarBase<BaseTienda>(
            config.Servidor->Descripcion(), conexionTienda,
            [&](BaseTienda& b) { return b.Abrir(*config.Servidor); },
            [&](BaseTienda& b) {
                return revisarConfiguracionTienda(b, config.Servidor->Descripcion());
            });
    else
        problemaTienda = revisarArchivo<BaseTienda>(
            ajustes.rutaBaseDatos, conexionTienda, esperaBloqueoMs, true,
            [&](BaseTienda& b) { return revisarConfiguracionTienda(b, ajustes.rutaBaseDatos); });
    if (!problemaTienda.isEmpty())
        return problemaTienda;
    return revisarArchivo<BaseLocal>(ajustes.rutaBaseLocal, QStringLiteral("rovend.arranque.local"),
                                     esperaBloqueoMs, false, [](BaseLocal&) { return QString(); });
}

// The printer's port: a value that names no port, or a device that is there
// and does not open, stops start-up; a device absent for now goes to the
// warnings. Sets the resolved device.
QString revisarPuerto(Arranque::Resultado& r)
{
    const Configuracion& config = r.ajustes.config;
    const std::optional<QString> dispositivo = NombrePuerto::Resolver(config.Puerto);
    if (!dispositivo)
        return QStringLiteral("El valor \"%1\" de \"Puerto:\" en %2 no es un número de "
                              "puerto, COMn ni una ruta de dispositivo.")
            .arg(config.Puerto, QString::fromLatin1(Configuracion::NombreArchivo));
    r.ajustes.dispositivo = *dispositivo;
    bool ausente = false;
    const QString problemaPuerto = Arranque::ProbarPuerto(*dispositivo, &ausente);
    if (!problemaPuerto.isEmpty()) {
        if (!ausente)
            return problemaPuerto +
                   QStringLiteral(" Revise la línea \"Puerto:%1\" de %2.")
                       .arg(config.Puerto, QLatin1String(Configuracion::NombreArchivo));
        r.avisos << problemaPuerto;
    }
    return QString();
}

// Why the lock file could not be made, when no running copy holds it.
QString motivoCandado(QLockFile::LockError error)
{
    QString motivo;
    switch (error) {
    case QLockFile::PermissionError:
        motivo = QStringLiteral("la carpeta no admite escritura para el usuario %1 (sin "
                                "permiso, o en un disco de solo lectura)")
                     .arg(usuario());
        break;
    case QLockFile::LockFailedError:
        motivo = QStringLiteral("ya existe y no es el candado de otra copia en marcha; "
                                "bórrelo si no es de otro programa");
        break;
    default:
        motivo = QStringLiteral("error desconocido al crearlo");
        break;
    }
    return motivo;
}

// One robot per program folder: a second copy ends without a word. Only
// a lock held by a running process is a second copy; a lock that cannot
// be taken for another reason is said. On success `r` comes back holding it.
Arranque::Resultado tomarCandado(const QString& carpeta, Arranque::Resultado r)
{
    const QString rutaCandado = QDir(carpeta).filePath(QStringLiteral("rovend.lock"));
    auto candado = std::make_unique<QLockFile>(rutaCandado);
    candado->setStaleLockTime(0);
    if (!candado->tryLock(0)) {
        qint64 pid = 0;
        QString equipo, programa;
        const bool conDueno = candado->error() == QLockFile::LockFailedError &&
                              candado->getLockInfo(&pid, &equipo, &programa);
        if (conDueno && (equipo != QSysInfo::machineHostName() || procesoVivo(pid))) {
            Arranque::Resultado s;
            s.fin = Arranque::Fin::Silencio;
            s.codigoSalida = Arranque::kSalidaSegundaCopia;
            return s;
        }
        const QString motivo = motivoCandado(candado->error());
        return terminar(QStringLiteral("No se puede crear el archivo \"%1\" en la carpeta del "
                                       "programa \"%2\", que impide que dos copias del robot "
                                       "trabajen a la vez: %3.")
                            .arg(QStringLiteral("rovend.lock"), carpeta, motivo));
    }
    r.candado = std::move(candado);
    return r;
}
} // namespace

Arranque::Resultado Arranque::Form_Load(const QString& rutaPrograma, int esperaBloqueoMs)
{
    const QString carpeta = QDir(rutaPrograma).absolutePath();
    if (!QDir(carpeta).exists())
        return terminar(QStringLiteral("No existe la carpeta del programa \"%1\".").arg(carpeta));
    QDir::setCurrent(carpeta);

    const QString problemaMarca = revisarMarca(carpeta);
    if (!problemaMarca.isEmpty())
        return terminar(problemaMarca);

    LecturaConfiguracion lectura = Configuracion::LeerArchivo(carpeta);
    if (!lectura.Valor)
        return terminar(lectura.Error);
    const Configuracion config = *lectura.Valor;
    if (!config.Problemas.isEmpty())
        return terminar(config.Problemas.first());
    const QString problemaDatos = revisarDatos(config);
    if (!problemaDatos.isEmpty())
        return terminar(problemaDatos);

    Resultado r;
    r.ajustes.config = config;
    r.ajustes.rutaPrograma = carpeta;
    r.ajustes.rutaBaseDatos = config.ArchivoBaseDatos();
    r.ajustes.rutaBaseLocal =
        QDir(carpeta).filePath(QString::fromLatin1(Configuracion::NombreBaseLocal));

    const QString problemaBases = revisarBases(r.ajustes, esperaBloqueoMs);
    if (!problemaBases.isEmpty())
        return terminar(problemaBases);
    const QString problemaPuerto = revisarPuerto(r);
    if (!problemaPuerto.isEmpty())
        return terminar(problemaPuerto);
    return tomarCandado(carpeta, std::move(r));
}
