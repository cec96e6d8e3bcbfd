#include "Arranque.h"

#include "ArchivoMarca.h"
#include "BaseLocal.h"
#include "BaseTienda.h"
#include "NombrePuerto.h"

#include <QDir>
#include <QFileInfo>

namespace {
Arranque::Resultado terminar(const QString& mensaje)
{
    Arranque::Resultado r;
    r.fin = Arranque::Fin::Mensaje;
    r.mensaje = mensaje;
    r.codigoSalida = Arranque::kSalidaMensaje;
    return r;
}

// Opens a database with a throwaway connection and lists what it lacks.
// `abrir` opens it (a file or a server), `nombre` names it in the message.
template <typename Base, typename Abrir>
QString revisarBase(const QString& nombre, const QString& conexion, Abrir abrir)
{
    QString problema;
    {
        Base base(conexion);
        if (!abrir(base))
            problema = QStringLiteral("No se pudo abrir la base de datos \"%1\": %2")
                           .arg(nombre, base.UltimoError());
        else {
            const QStringList faltan = base.Verificar();
            if (!faltan.isEmpty())
                problema = QStringLiteral("A la base de datos \"%1\" le falta: %2")
                               .arg(nombre, faltan.join(QStringLiteral(", ")));
        }
        base.Cerrar();
    }
    QSqlDatabase::removeDatabase(conexion);
    return problema;
}

template <typename Base> QString revisarArchivo(const QString& ruta, const QString& conexion)
{
    if (!QFileInfo(ruta).isFile())
        return QStringLiteral("No se encontró la base de datos \"%1\".").arg(ruta);
    return revisarBase<Base>(ruta, conexion, [&](Base& b) { return b.Abrir(ruta); });
}
} // namespace

bool Arranque::ChequeoExistenciaArchivo(const QString& archivo)
{
    const QFileInfo i(archivo);
    return i.exists() && i.isFile() && !i.isHidden();
}

Arranque::Resultado Arranque::Form_Load(const QString& rutaPrograma)
{
    const QString carpeta = QDir(rutaPrograma).absolutePath();
    if (!QDir(carpeta).exists())
        return terminar(QStringLiteral("No existe la carpeta del programa \"%1\".").arg(carpeta));
    QDir::setCurrent(carpeta);

    // Log.log may hold the code of an invoice whose closing went out: it is
    // created when missing and never overwritten when it cannot be read.
    ArchivoMarca marca(QDir(carpeta).filePath(QStringLiteral("Log.log")));
    QString error;
    if (!marca.Verificar(&error))
        return terminar(QStringLiteral("No se puede leer el archivo \"%1\" (%2). No se sobrescribe: "
                                       "puede guardar el código de una factura en curso. Por favor "
                                       "verifique el archivo e intente de nuevo.")
                            .arg(marca.Ruta(), error));

    LecturaConfiguracion lectura = Configuracion::LeerArchivo(carpeta);
    if (!lectura.Valor)
        return terminar(lectura.Error);
    const Configuracion config = *lectura.Valor;

    if (!ChequeoExistenciaArchivo(config.ArchivoMarcaMantenimiento())) {
        Resultado r = terminar(QString::fromUtf8(kMensajeMantenimiento));
        return r;
    }

    Resultado r;
    r.ajustes.config = config;
    r.ajustes.rutaPrograma = carpeta;
    r.ajustes.rutaBaseDatos = config.ArchivoBaseDatos();
    r.ajustes.rutaBaseLocal =
        QDir(carpeta).filePath(QString::fromLatin1(Configuracion::NombreBaseLocal));

    // The shop database: the SQLite file, or the server of the twelfth line.
    const QString conexionTienda = QStringLiteral("rovend.arranque.tienda");
    QString problemaTienda;
    if (!config.ErrorServidor.isEmpty())
        problemaTienda = config.ErrorServidor;
    else if (config.Servidor)
        problemaTienda = revisarBase<BaseTienda>(
            config.Servidor->Descripcion(), conexionTienda,
            [&](BaseTienda& b) { return b.Abrir(*config.Servidor); });
    else
        problemaTienda = revisarArchivo<BaseTienda>(r.ajustes.rutaBaseDatos, conexionTienda);
    if (!problemaTienda.isEmpty())
        return terminar(problemaTienda);
    const QString problemaLocal =
        revisarArchivo<BaseLocal>(r.ajustes.rutaBaseLocal, QStringLiteral("rovend.arranque.local"));
    if (!problemaLocal.isEmpty())
        return terminar(problemaLocal);

    const std::optional<QString> dispositivo = NombrePuerto::Resolver(config.Puerto);
    if (!dispositivo)
        return terminar(QStringLiteral("El valor \"%1\" de \"Puerto:\" en %2 no es un número de "
                                       "puerto, COMn ni una ruta de dispositivo.")
                            .arg(config.Puerto, QString::fromLatin1(Configuracion::NombreArchivo)));
    r.ajustes.dispositivo = *dispositivo;

    // One robot per program folder: a second copy ends without a word.
    auto candado = std::make_unique<QLockFile>(QDir(carpeta).filePath(QStringLiteral("rovend.lock")));
    candado->setStaleLockTime(0);
    if (!candado->tryLock(0)) {
        Resultado s;
        s.fin = Fin::Silencio;
        s.codigoSalida = kSalidaSegundaCopia;
        return s;
    }
    r.candado = std::move(candado);
    return r;
}
