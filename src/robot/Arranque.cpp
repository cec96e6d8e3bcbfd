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
template <typename Base> QString revisarBase(const QString& ruta, const QString& conexion)
{
    QString problema;
    {
        Base base(conexion);
        if (!QFileInfo(ruta).isFile())
            problema = QStringLiteral("No se encontró la base de datos \"%1\".").arg(ruta);
        else if (!base.Abrir(ruta))
            problema = QStringLiteral("No se pudo abrir la base de datos \"%1\": %2")
                           .arg(ruta, base.UltimoError());
        else {
            const QStringList faltan = base.Verificar();
            if (!faltan.isEmpty())
                problema = QStringLiteral("A la base de datos \"%1\" le falta: %2")
                               .arg(ruta, faltan.join(QStringLiteral(", ")));
        }
        base.Cerrar();
    }
    QSqlDatabase::removeDatabase(conexion);
    return problema;
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

    const QString problemaTienda =
        revisarBase<BaseTienda>(r.ajustes.rutaBaseDatos, QStringLiteral("rovend.arranque.tienda"));
    if (!problemaTienda.isEmpty())
        return terminar(problemaTienda);
    const QString problemaLocal =
        revisarBase<BaseLocal>(r.ajustes.rutaBaseLocal, QStringLiteral("rovend.arranque.local"));
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
