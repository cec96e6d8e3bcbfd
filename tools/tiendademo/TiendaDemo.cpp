#include "TiendaDemo.h"

#include "comun/CodigoPagina.h"
#include "tienda/Configuracion.h"
#include "GuionSql.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

#include <cmath>

#ifndef ROVEND_CARPETA_SQL
#define ROVEND_CARPETA_SQL "sql"
#endif
#ifndef ROVEND_CARPETA_SQL_INSTALADA
#define ROVEND_CARPETA_SQL_INSTALADA "../share/rovend/sql"
#endif

namespace
{
int gConexiones = 0;

QString Booleano(bool v)
{
    return v ? QStringLiteral("-1") : QStringLiteral("0");
}

QString Marcas(int n)
{
    return QStringList(n, QStringLiteral("?")).join(QStringLiteral(", "));
}

// A quoted identifier, as both engines read it.
QString Nombre(QString id)
{
    return QLatin1Char('"') + id.replace(QLatin1Char('"'), QLatin1String("\"\"")) +
           QLatin1Char('"');
}

QString Nombres(const QStringList& ids)
{
    QStringList n;
    for (const QString& id : ids)
        n.append(Nombre(id));
    return n.join(QStringLiteral(", "));
}

// Columns that are real booleans on the server. The demo's values are the
// SQLite integers (0, -1), which the server would refuse there.
const QSet<QString> kBooleanas = {
    QStringLiteral("Impresa"),           QStringLiteral("Imprimir"),
    QStringLiteral("Anulada"),           QStringLiteral("Local"),
    QStringLiteral("ExcentoImpuesto"),   QStringLiteral("PlantillaAuxiliar"),
    QStringLiteral("ModoSoloServicio"),  QStringLiteral("VerCantidad"),
    QStringLiteral("VerCantidadDecimal")};

QSqlDatabase ConexionServidor(const QString& nombre, const ServidorBaseDatos& s,
                              const QString& base)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), nombre);
    db.setHostName(s.Servidor);
    db.setPort(s.Puerto);
    db.setDatabaseName(base);
    if (!s.Usuario.isEmpty())
        db.setUserName(s.Usuario);
    db.setConnectOptions(QStringLiteral("connect_timeout=5;application_name=tiendademo"));
    return db;
}

QString ListaIds(const QList<qlonglong>& ids)
{
    QStringList t;
    for (qlonglong id : ids)
        t.append(QString::number(id));
    return QLatin1Char('{') + t.join(QLatin1Char(',')) + QLatin1Char('}');
}
} // namespace

TiendaDemo::TiendaDemo()
{
    ++gConexiones;
    conexionTienda_ = QStringLiteral("tiendademo.%1.tienda").arg(gConexiones);
    conexionLocal_ = QStringLiteral("tiendademo.%1.local").arg(gConexiones);
}

TiendaDemo::~TiendaDemo()
{
    Cerrar();
}

void TiendaDemo::Cerrar()
{
    for (QSqlDatabase* db : {&tienda_, &local_}) {
        if (!db->isValid())
            continue;
        const QString nombre = db->connectionName();
        db->close();
        *db = QSqlDatabase();
        QSqlDatabase::removeDatabase(nombre);
    }
}

QString TiendaDemo::Error() const
{
    return error_;
}

bool TiendaDemo::Falla(const QString& texto)
{
    error_ = texto;
    return false;
}

QString TiendaDemo::CarpetaSqlPredeterminada()
{
    // An installed copy finds the sql/ installed beside it; a build (and
    // every test) uses the source tree's.
    if (QCoreApplication::instance()) {
        const QString instalada =
            QDir::cleanPath(QDir(QCoreApplication::applicationDirPath())
                                .filePath(QStringLiteral(ROVEND_CARPETA_SQL_INSTALADA)));
        if (QFileInfo::exists(instalada + QStringLiteral("/tienda.sql")))
            return instalada;
    }
    return QStringLiteral(ROVEND_CARPETA_SQL);
}

QString TiendaDemo::RutaPrograma() const
{
    return carpeta_;
}

QString TiendaDemo::RutaDatos() const
{
    return carpeta_ + QStringLiteral("/Datos/");
}

QString TiendaDemo::ArchivoConfiguracion() const
{
    return carpeta_ + QLatin1Char('/') + QString::fromLatin1(Configuracion::NombreArchivo);
}

QString TiendaDemo::ArchivoBaseDatos() const
{
    return RutaDatos() + QString::fromLatin1(Configuracion::NombreBaseDatos);
}

QString TiendaDemo::ArchivoBaseLocal() const
{
    return carpeta_ + QLatin1Char('/') + QString::fromLatin1(Configuracion::NombreBaseLocal);
}

QString TiendaDemo::ArchivoMarcaMantenimiento() const
{
    return RutaDatos() + QString::fromLatin1(Configuracion::NombreMarcaMantenimiento);
}

const OpcionesTienda& TiendaDemo::Opciones() const
{
    return opciones_;
}

QString TiendaDemo::TextoConfiguracion(const QString& rutaDatos, const OpcionesTienda& o)
{
    const QStringList lineas = {
        QStringLiteral("Datos:") + rutaDatos,
        QStringLiteral("Impresora:") + o.Impresora,
        QStringLiteral("Puerto:") + o.Puerto,
        QStringLiteral("COD_PROD:") + Booleano(o.CodProd),
        QStringLiteral("Serial:") + o.Serial,
        QStringLiteral("80Columnas:") + Booleano(o.Columnas80),
        QStringLiteral("Direccion:") + Booleano(o.Direccion),
        QStringLiteral("Caja:") + QString::number(o.Caja),
        QStringLiteral("EntregaOrden:") + QString::number(o.EntregaOrden ? 1 : 0),
        QStringLiteral("MedioPago:") + QString::number(o.MedioPago ? 1 : 0),
        QStringLiteral("CampoTextoAdic01:") + QString::number(o.CampoTextoAdic01 ? 1 : 0),
    };
    QStringList todas = lineas;
    if (o.Servidor)
        todas.append(QString::fromLatin1(Configuracion::ClaveBaseDatos) +
                     QStringList{o.Servidor->Servidor, QString::number(o.Servidor->Puerto),
                                 o.Servidor->Base, o.Servidor->Usuario}
                         .join(QLatin1Char(',')));
    return todas.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

bool TiendaDemo::CrearBase(QSqlDatabase& db, const QString& conexion, const QString& archivo,
                           const QString& guion)
{
    db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), conexion);
    db.setDatabaseName(archivo);
    if (!db.open())
        return Falla(QStringLiteral("No se pudo crear %1: %2").arg(archivo, db.lastError().text()));
    QString error;
    if (!GuionSql::Ejecutar(db, guion, &error))
        return Falla(error);
    return true;
}

bool TiendaDemo::ConectarServidor()
{
    tienda_ = ConexionServidor(conexionTienda_, *opciones_.Servidor, opciones_.Servidor->Base);
    if (!tienda_.open())
        return Falla(QStringLiteral("No se pudo conectar con %1: %2")
                         .arg(opciones_.Servidor->Descripcion(), tienda_.lastError().text()));
    return true;
}

bool TiendaDemo::CrearBaseServidor(const QString& guion)
{
    const ServidorBaseDatos& s = *opciones_.Servidor;
    const QString mantenimiento = conexionTienda_ + QStringLiteral(".mantenimiento");
    QString error;
    {
        QSqlDatabase db = ConexionServidor(mantenimiento, s, opciones_.BaseMantenimiento);
        if (!db.open()) {
            error = QStringLiteral("No se pudo conectar con %1 (base %2): %3")
                        .arg(s.Descripcion(), opciones_.BaseMantenimiento, db.lastError().text());
        } else {
            QSqlQuery q(db);
            q.prepare(QStringLiteral("SELECT 1 FROM pg_database WHERE datname = ?"));
            q.addBindValue(s.Base);
            const bool existe = q.exec() && q.next();
            q.finish();
            // A database name cannot be a bound value; Nombre() quotes it.
            if (existe && !opciones_.Reemplazar)
                error = QStringLiteral("Ya existe la base de datos %1").arg(s.Descripcion());
            else if (existe &&
                     !q.exec(QStringLiteral("DROP DATABASE %1 WITH (FORCE)").arg(Nombre(s.Base))))
                error = q.lastError().text();
            else if (!q.exec(QStringLiteral("CREATE DATABASE %1 ENCODING 'UTF8' TEMPLATE template0")
                                 .arg(Nombre(s.Base))))
                error = q.lastError().text();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(mantenimiento);
    if (!error.isEmpty())
        return Falla(error);
    if (!ConectarServidor())
        return false;
    if (!GuionSql::Ejecutar(tienda_, guion, &error))
        return Falla(error);
    return true;
}

bool TiendaDemo::BorrarBase()
{
    if (!opciones_.Servidor)
        return true;
    Cerrar();
    const ServidorBaseDatos& s = *opciones_.Servidor;
    const QString mantenimiento = conexionTienda_ + QStringLiteral(".mantenimiento");
    QString error;
    {
        QSqlDatabase db = ConexionServidor(mantenimiento, s, opciones_.BaseMantenimiento);
        QSqlQuery q(db);
        if (!db.open())
            error = db.lastError().text();
        else if (!q.exec(
                     QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(Nombre(s.Base))))
            error = q.lastError().text();
        q.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(mantenimiento);
    return error.isEmpty() || Falla(error);
}

bool TiendaDemo::EsServidor() const
{
    return opciones_.Servidor.has_value();
}

bool TiendaDemo::AbrirEn(BaseDatos& base) const
{
    return opciones_.Servidor ? base.Abrir(*opciones_.Servidor) : base.Abrir(archivoBase_);
}

bool TiendaDemo::Ejecutar(const QStringList& sentencias)
{
    if (!tienda_.isOpen())
        return Falla(QStringLiteral("La tienda no está abierta"));
    if (!tienda_.transaction())
        return Falla(tienda_.lastError().text());
    QSqlQuery q(tienda_);
    for (const QString& s : sentencias) {
        if (!q.exec(s)) {
            Falla(QStringLiteral("%1: %2").arg(s, q.lastError().text()));
            q.finish();
            tienda_.rollback();
            return false;
        }
    }
    q.finish();
    if (!tienda_.commit())
        return Falla(tienda_.lastError().text());
    return true;
}

bool TiendaDemo::Abrir(const QString& carpeta)
{
    Cerrar();
    error_.clear();
    carpeta_ = QDir::cleanPath(QDir(carpeta).absolutePath());
    const LecturaConfiguracion l = Configuracion::LeerArchivo(carpeta_);
    if (!l.Valor)
        return Falla(l.Error);
    if (!l.Valor->ErrorServidor.isEmpty())
        return Falla(l.Valor->ErrorServidor);
    opciones_ = OpcionesTienda();
    opciones_.Caja = l.Valor->NumeroCaja;
    opciones_.Puerto = l.Valor->Puerto;
    opciones_.Servidor = l.Valor->Servidor;
    archivoBase_ = l.Valor->ArchivoBaseDatos();
    if (opciones_.Servidor) {
        if (!ConectarServidor())
            return false;
    } else {
        if (!QFileInfo(archivoBase_).isFile())
            return Falla(QStringLiteral("No se encuentra %1").arg(archivoBase_));
        tienda_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), conexionTienda_);
        tienda_.setDatabaseName(archivoBase_);
        tienda_.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        if (!tienda_.open())
            return Falla(tienda_.lastError().text());
    }
    if (QFileInfo(ArchivoBaseLocal()).isFile()) {
        local_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), conexionLocal_);
        local_.setDatabaseName(ArchivoBaseLocal());
        if (!local_.open())
            return Falla(local_.lastError().text());
    }
    return true;
}

bool TiendaDemo::Crear(const QString& carpeta, const OpcionesTienda& opciones)
{
    Cerrar();
    error_.clear();
    opciones_ = opciones;
    carpeta_ = QDir::cleanPath(QDir(carpeta).absolutePath());
    const QString sql =
        opciones.CarpetaSql.isEmpty() ? CarpetaSqlPredeterminada() : opciones.CarpetaSql;

    // Vendrix.inf is comma-separated Windows-1252 text: the folder must fit.
    const QString datos = RutaDatos();
    if (datos.contains(QLatin1Char(',')))
        return Falla(QStringLiteral("La carpeta %1 contiene una coma").arg(datos));
    if (CodigoPagina::ATexto(CodigoPagina::ABytes(datos)) != datos)
        return Falla(QStringLiteral("La carpeta %1 no cabe en Windows-1252").arg(datos));
    if (!QDir().mkpath(datos))
        return Falla(QStringLiteral("No se pudo crear la carpeta %1").arg(datos));

    archivoBase_ = opciones.Servidor ? QString() : ArchivoBaseDatos();
    for (const QString& archivo : {archivoBase_, ArchivoBaseLocal()}) {
        if (archivo.isEmpty() || !QFileInfo::exists(archivo))
            continue;
        if (!opciones.Reemplazar)
            return Falla(QStringLiteral("Ya existe %1").arg(archivo));
        if (!QFile::remove(archivo))
            return Falla(QStringLiteral("No se pudo borrar %1").arg(archivo));
    }

    QSaveFile inf(ArchivoConfiguracion());
    if (!inf.open(QIODevice::WriteOnly) ||
        inf.write(CodigoPagina::ABytes(TextoConfiguracion(datos, opciones))) < 0 || !inf.commit())
        return Falla(QStringLiteral("No se pudo escribir %1").arg(ArchivoConfiguracion()));

    QFile marca(ArchivoMarcaMantenimiento());
    if (!marca.open(QIODevice::WriteOnly) || marca.write("Terminal disponible\r\n") < 0)
        return Falla(QStringLiteral("No se pudo escribir %1").arg(ArchivoMarcaMantenimiento()));
    marca.close();

    if (opciones.BaseExistente) {
        if (!opciones.Servidor)
            return Falla(
                QStringLiteral("Solo las tiendas con servidor comparten la base de datos"));
        return ConectarServidor() && CrearBase(local_, conexionLocal_, ArchivoBaseLocal(),
                                               sql + QStringLiteral("/local.sql"));
    }
    if (opciones.Servidor) {
        if (!CrearBaseServidor(sql + QStringLiteral("/tienda_pg.sql")))
            return false;
    } else if (!CrearBase(tienda_, conexionTienda_, archivoBase_,
                          sql + QStringLiteral("/tienda.sql"))) {
        return false;
    }
    if (!CrearBase(local_, conexionLocal_, ArchivoBaseLocal(), sql + QStringLiteral("/local.sql")))
        return false;

    if (!Insertar(tienda_, QStringLiteral("Configuración"),
                  {QStringLiteral("NombreCompañía"), QStringLiteral("RIFCompañía"),
                   QStringLiteral("DirecciónCompañía"), QStringLiteral("ipServidor"),
                   QStringLiteral("PuertoServicio"), QStringLiteral("ModoSoloServicio"),
                   QStringLiteral("VerCantidad"), QStringLiteral("VerCantidadDecimal")},
                  {opciones.NombreCompania, opciones.RifCompania,
                   QStringLiteral("Calle Comercio, Valencia"), opciones.ServidorIp,
                   opciones.ServidorPuerto, opciones.ModoSoloServicio ? -1 : 0,
                   opciones.VerCantidad, opciones.VerCantidadDecimal}))
        return false;
    return true;
}

QVariantList TiendaDemo::Valores(const QStringList& columnas, const QVariantList& valores) const
{
    if (!opciones_.Servidor)
        return valores;
    QVariantList v = valores;
    for (qsizetype i = 0; i < v.size() && i < columnas.size(); ++i)
        if (kBooleanas.contains(columnas.at(i)) && !v.at(i).isNull())
            v[i] = QVariant(v.at(i).toDouble() != 0);
    return v;
}

std::optional<qlonglong> TiendaDemo::Insertar(QSqlDatabase& db, const QString& tabla,
                                              const QStringList& columnas,
                                              const QVariantList& valores)
{
    QSqlQuery q(db);
    // RETURNING gives the new key on both engines (the server has no last
    // insert id).
    const QString sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3) RETURNING \"Código\"")
                            .arg(Nombre(tabla), Nombres(columnas), Marcas(columnas.size()));
    if (!q.prepare(sql)) {
        Falla(q.lastError().text());
        return std::nullopt;
    }
    const QVariantList v =
        db.driverName() == QLatin1String("QPSQL") ? Valores(columnas, valores) : valores;
    for (const QVariant& valor : v)
        q.addBindValue(valor);
    if (!q.exec() || !q.next()) {
        Falla(QStringLiteral("%1: %2").arg(tabla, q.lastError().text()));
        return std::nullopt;
    }
    return q.value(0).toLongLong();
}

std::optional<qlonglong> TiendaDemo::Id(const QString& tabla, const QStringList& columnas,
                                        const QVariantList& valores)
{
    // Reuses an equal row; NULLs compare as equal.
    QStringList condiciones;
    for (const QString& c : columnas)
        condiciones.append(Nombre(c) + QStringLiteral(" IS NOT DISTINCT FROM ?"));
    QSqlQuery q(tienda_);
    q.prepare(QStringLiteral("SELECT \"Código\" FROM %1 WHERE %2 LIMIT 1")
                  .arg(Nombre(tabla), condiciones.join(QStringLiteral(" AND "))));
    for (const QVariant& v : Valores(columnas, valores))
        q.addBindValue(v);
    if (!q.exec()) {
        Falla(QStringLiteral("%1: %2").arg(tabla, q.lastError().text()));
        return std::nullopt;
    }
    if (q.next())
        return q.value(0).toLongLong();
    q.finish();
    return Insertar(tienda_, tabla, columnas, valores);
}

bool TiendaDemo::AgregarLineas(const QString& tabla, const QString& columnaPadre, qlonglong padre,
                               const QList<LineaDemo>& lineas, bool conEspecificacion)
{
    for (const LineaDemo& l : lineas) {
        const auto producto = Id(QStringLiteral("Productos"),
                                 {QStringLiteral("COD_PROD"), QStringLiteral("Nombre"),
                                  QStringLiteral("ExcentoImpuesto")},
                                 {l.CodProd, l.Nombre, l.Exento});
        if (!producto)
            return false;
        const QVariant entera = l.CantidadEntera.isValid()
                                    ? l.CantidadEntera
                                    : QVariant(qlonglong(std::llround(l.Cantidad)));
        QStringList columnas = {columnaPadre, QStringLiteral("Producto"),
                                QStringLiteral("Cantidad"), QStringLiteral("CantDec"),
                                QStringLiteral("Precio")};
        QVariantList valores = {padre, *producto, entera, l.Cantidad, l.Precio};
        if (conEspecificacion) {
            columnas << QStringLiteral("Especificación") << QStringLiteral("Serial");
            valores << l.Especificacion << l.Serial;
        }
        if (!Insertar(tienda_, tabla, columnas, valores))
            return false;
    }
    return true;
}

qlonglong TiendaDemo::AgregarVenta(const VentaDemo& v)
{
    if (!tienda_.isOpen()) {
        Falla(QStringLiteral("La tienda no está creada"));
        return 0;
    }
    tienda_.transaction();
    auto fallo = [&]() {
        tienda_.rollback();
        return qlonglong(0);
    };
    const auto cliente =
        Id(QStringLiteral("Clientes"),
           {QStringLiteral("COD_CLI"), QStringLiteral("NombreCliente"), QStringLiteral("Rif"),
            QStringLiteral("Teléfono"), QStringLiteral("Dirección")},
           {v.CodCli, v.NombreCliente, v.Rif, v.Telefono, v.Direccion});
    if (!cliente)
        return fallo();
    QVariant vendedor, formaPago;
    if (!v.NombreVendedor.isNull()) {
        const auto id = Id(QStringLiteral("Vendedores"), {QStringLiteral("NombreVendedor")},
                           {v.NombreVendedor});
        if (!id)
            return fallo();
        vendedor = *id;
    }
    if (!v.FormaPago.isNull()) {
        const auto id =
            Id(QStringLiteral("FormasPago"), {QStringLiteral("NombreFormaPago")}, {v.FormaPago});
        if (!id)
            return fallo();
        formaPago = *id;
    }
    const auto codigo = Insertar(tienda_, QStringLiteral("Ventas"),
                                 {QStringLiteral("Fecha"),
                                  QStringLiteral("Cliente"),
                                  QStringLiteral("Vendedor"),
                                  QStringLiteral("FormaPago"),
                                  QStringLiteral("MedioPago"),
                                  QStringLiteral("PorcentImpuesto"),
                                  QStringLiteral("ORD_COMP"),
                                  QStringLiteral("NotaEntrega"),
                                  QStringLiteral("PlantillaAuxiliar"),
                                  QStringLiteral("CampoTextoAdic01"),
                                  QStringLiteral("CampoTextoAdic02"),
                                  QStringLiteral("CampoTextoAdic03"),
                                  QStringLiteral("Factura"),
                                  QStringLiteral("Control"),
                                  QStringLiteral("Impresa"),
                                  QStringLiteral("Imprimir"),
                                  QStringLiteral("Anulada"),
                                  QStringLiteral("Local"),
                                  QStringLiteral("MáquinaFiscal"),
                                  QStringLiteral("NúmeroZ")},
                                 {v.Fecha,
                                  *cliente,
                                  vendedor,
                                  formaPago,
                                  v.MedioPago,
                                  v.PorcentImpuesto,
                                  v.OrdComp,
                                  v.NotaEntrega,
                                  v.PlantillaAuxiliar,
                                  v.CampoTextoAdic01,
                                  v.CampoTextoAdic02,
                                  v.CampoTextoAdic03,
                                  v.Factura,
                                  v.Control,
                                  v.Impresa,
                                  v.Imprimir,
                                  v.Anulada,
                                  v.Local,
                                  v.MaquinaFiscal.value_or(opciones_.Caja),
                                  v.NumeroZ});
    if (!codigo)
        return fallo();
    if (!AgregarLineas(QStringLiteral("VentasDetalles"), QStringLiteral("Venta"), *codigo, v.Lineas,
                       true))
        return fallo();
    if (!tienda_.commit()) {
        Falla(tienda_.lastError().text());
        return fallo();
    }
    return *codigo;
}

qlonglong TiendaDemo::AgregarNota(const NotaDemo& n)
{
    if (!tienda_.isOpen()) {
        Falla(QStringLiteral("La tienda no está creada"));
        return 0;
    }
    tienda_.transaction();
    auto fallo = [&]() {
        tienda_.rollback();
        return qlonglong(0);
    };
    const auto cliente = Id(QStringLiteral("Clientes"),
                            {QStringLiteral("COD_CLI"), QStringLiteral("NombreCliente"),
                             QStringLiteral("Rif"), QStringLiteral("Dirección")},
                            {n.CodCli, n.NombreCliente, n.Rif, n.Direccion});
    if (!cliente)
        return fallo();
    const auto codigo = Insertar(
        tienda_, QStringLiteral("NotaCréditoVenta"),
        {QStringLiteral("Fecha"), QStringLiteral("Venta"), QStringLiteral("Cliente"),
         QStringLiteral("PorcentImpuesto"), QStringLiteral("Monto"), QStringLiteral("MontoExcento"),
         QStringLiteral("Motivo"), QStringLiteral("Número"), QStringLiteral("Control"),
         QStringLiteral("Impresa"), QStringLiteral("Imprimir"), QStringLiteral("Anulada"),
         QStringLiteral("MáquinaFiscal"), QStringLiteral("NúmeroZ")},
        {n.Fecha, n.Venta > 0 ? QVariant(n.Venta) : QVariant(), *cliente, n.PorcentImpuesto,
         n.Monto, n.MontoExcento, n.Motivo, n.Numero, n.Control, n.Impresa, n.Imprimir, n.Anulada,
         n.MaquinaFiscal.value_or(opciones_.Caja), n.NumeroZ});
    if (!codigo)
        return fallo();
    if (!AgregarLineas(QStringLiteral("NotaCréditoVentaDetalles"), QStringLiteral("NotaCredVent"),
                       *codigo, n.Lineas, false))
        return fallo();
    if (!tienda_.commit()) {
        Falla(tienda_.lastError().text());
        return fallo();
    }
    return *codigo;
}

qlonglong TiendaDemo::AgregarTiket(const TiketDemo& t)
{
    if (!local_.isOpen()) {
        Falla(QStringLiteral("La tienda no está creada"));
        return 0;
    }
    const auto codigo =
        Insertar(local_, QStringLiteral("TiketNoFiscal"),
                 {QStringLiteral("Fecha"), QStringLiteral("Caja"), QStringLiteral("Imprimir"),
                  QStringLiteral("Impresa"), QStringLiteral("Otro1"), QStringLiteral("Otro2"),
                  QStringLiteral("Texto")},
                 {t.Fecha, t.Caja.value_or(opciones_.Caja), t.Imprimir, t.Impresa, t.Otro1, t.Otro2,
                  t.Texto});
    return codigo.value_or(0);
}

bool TiendaDemo::LlenarDemo()
{
    const int caja = opciones_.Caja;
    const int otra = caja + 1;
    const QString hoy = QDate::currentDate().toString(Qt::ISODate);
    const QString anterior = QDate::currentDate().addDays(-3).toString(Qt::ISODate);

    LineaDemo harina{QStringLiteral("P001"),
                     QStringLiteral("Harina de maíz precocida 1 kg"),
                     {},
                     2,
                     {},
                     1.85,
                     -1,
                     {}};
    LineaDemo aceite{
        QStringLiteral("P002"), QStringLiteral("Aceite vegetal 1 l"), {}, 1, {}, 4.2, 0, {}};
    LineaDemo detergente{
        QStringLiteral("P003"), QStringLiteral("Detergente en polvo 2 kg"), {}, 3, {}, 6.75, 0, {}};
    // 45 and 80 characters: longer than one printer line at either width.
    LineaDemo cable{QStringLiteral("F120"),
                    QStringLiteral("Cable eléctrico THW calibre 12 rollo de 100 m"),
                    {},
                    1,
                    {},
                    58.9,
                    0,
                    QStringLiteral("RL-2207")};
    LineaDemo herramientas{
        QStringLiteral("F450"),
        QStringLiteral("Juego de herramientas profesional con maletín de aluminio, 128 piezas y "
                       "garantía"),
        {},
        1,
        {},
        149.99,
        0,
        QStringLiteral("JH-88812")};
    LineaDemo queso{
        QStringLiteral("P210"), QStringLiteral("Queso blanco duro"), {}, 1.5, {}, 9.8, -1, {}};
    LineaDemo jamon{
        QStringLiteral("P211"), QStringLiteral("Jamón de pierna"), {}, 0.75, {}, 14.4, 0, {}};
    LineaDemo tomate{QStringLiteral("P305"), QStringLiteral("Tomate"), {}, 2.25, {}, 2.1, -1, {}};

    QList<VentaDemo> ventas;
    VentaDemo v;
    v.CodCli = QStringLiteral("C0101");
    v.NombreCliente = QStringLiteral("Ana Pérez");
    v.Rif = QStringLiteral("V-10234567");
    v.Telefono = QStringLiteral("0241-8251234");
    v.Lineas = {harina, aceite};
    ventas << v;

    v = VentaDemo();
    v.CodCli = QStringLiteral("C0102");
    v.NombreCliente = QStringLiteral("Inversiones y Suministros La Esperanza"); // 38
    v.Rif = QStringLiteral("J-29876543-1");
    v.FormaPago = QStringLiteral("Crédito 30 días");
    v.MedioPago = 7;
    v.Lineas = {detergente, aceite, harina};
    ventas << v;

    v = VentaDemo();
    v.CodCli = QStringLiteral("C0103");
    v.NombreCliente =
        QStringLiteral("Distribuidora de Alimentos y Víveres del Centro Occidente CA"); // 60
    v.Rif = QStringLiteral("J-31122334-5");
    v.NombreVendedor = QStringLiteral("María González");
    v.Lineas = {harina, aceite, detergente, queso};
    ventas << v;

    v = VentaDemo();
    v.NombreCliente = QStringLiteral("Ferretería El Tornillo");
    v.Rif = QStringLiteral("J-40556677-0");
    v.Lineas = {cable};
    ventas << v;

    v = VentaDemo();
    v.NombreCliente = QStringLiteral("Carlos Rodríguez");
    v.Rif = QStringLiteral("V-15678901");
    v.Lineas = {herramientas, cable};
    ventas << v;

    v = VentaDemo();
    v.NombreCliente = QStringLiteral("Abasto La Fe");
    v.Rif = QStringLiteral("J-50111222-3");
    v.Lineas = {harina, tomate, aceite};
    ventas << v;

    v = VentaDemo();
    v.NombreCliente = QStringLiteral("Luisa Martínez");
    v.Rif = QStringLiteral("V-20345678");
    v.Lineas = {queso, jamon, tomate};
    ventas << v;

    v = VentaDemo();
    v.NombreCliente = QStringLiteral("Constructora Horizonte");
    v.Rif = QStringLiteral("J-30999888-2");
    v.OrdComp = QStringLiteral("OC-2026-0118");
    v.NotaEntrega = QStringLiteral("NE-5541");
    v.FormaPago = QStringLiteral("Crédito 15 días");
    v.MedioPago = 3;
    v.Lineas = {cable, detergente};
    ventas << v;

    v = VentaDemo();
    v.NombreCliente = QStringLiteral("Panadería Santa Rita");
    v.Rif = QStringLiteral("J-41234000-9");
    v.OrdComp = QStringLiteral("OC-77");
    v.NotaEntrega = QStringLiteral("S/N");
    v.FormaPago = QStringLiteral("Cheque");
    v.MedioPago = 1;
    v.Lineas = {harina, aceite};
    ventas << v;

    v = VentaDemo();
    v.NombreCliente = QStringLiteral("Pedro Salazar");
    v.Rif = QStringLiteral("V-9876543");
    v.Telefono = QStringLiteral("0414-5550101");
    v.Direccion = QStringLiteral("Av. Bolívar Norte, Edif. Central, Piso 3, Local 12"); // 50
    v.Lineas = {detergente};
    ventas << v;

    v = VentaDemo();
    v.NombreCliente = QStringLiteral("Taller Mecánico Rápido");
    v.Rif = QStringLiteral("J-29000111-4");
    v.PlantillaAuxiliar = -1;
    LineaDemo servicio{QStringLiteral("S010"),
                       QStringLiteral("Servicio de mantenimiento"),
                       QStringLiteral("Cambio de aceite y filtro"),
                       1,
                       {},
                       35,
                       0,
                       {}};
    LineaDemo repuesto = aceite;
    repuesto.Especificacion = QStringLiteral("-");
    v.Lineas = {servicio, repuesto};
    ventas << v;

    v = VentaDemo();
    v.NombreCliente = QStringLiteral("José Hernández");
    v.Rif = QStringLiteral("V-11222333");
    v.Telefono = QVariant();
    v.FormaPago = QStringLiteral("Tarjeta de débito");
    v.MedioPago = 2;
    v.CampoTextoAdic01 = QStringLiteral("Entrega a domicilio");
    LineaDemo nevera{QStringLiteral("E500"),
                     QStringLiteral("Nevera 14 pies"),
                     QStringLiteral("color plata"),
                     1,
                     {},
                     620,
                     0,
                     QStringLiteral("NV-55120")};
    v.Lineas = {nevera};
    ventas << v;

    // Documents the robot must never list for its till.
    v = VentaDemo();
    v.NombreCliente = QStringLiteral("Venta local");
    v.Local = -1;
    v.Lineas = {harina};
    ventas << v;

    v = VentaDemo();
    v.NombreCliente = QStringLiteral("Venta anulada");
    v.Anulada = -1;
    v.Lineas = {aceite};
    ventas << v;

    v = VentaDemo();
    v.NombreCliente = QStringLiteral("Venta con control");
    v.Control = QStringLiteral("00000099");
    v.Lineas = {aceite};
    ventas << v;

    v = VentaDemo();
    v.NombreCliente = QStringLiteral("Venta de otra caja");
    v.MaquinaFiscal = otra;
    v.Lineas = {harina};
    ventas << v;

    qlonglong impresa = 0;
    for (const VentaDemo& venta : ventas)
        if (AgregarVenta(venta) == 0)
            return false;

    v = VentaDemo();
    v.CodCli = QStringLiteral("C0101");
    v.NombreCliente = QStringLiteral("Ana Pérez");
    v.Rif = QStringLiteral("V-10234567");
    v.Telefono = QStringLiteral("0241-8251234");
    v.Fecha = anterior;
    v.Factura = QStringLiteral("00000101");
    v.Control = QStringLiteral("00000101");
    v.Impresa = -1;
    v.Imprimir = 0;
    v.NumeroZ = 12;
    v.Lineas = {harina, aceite, detergente};
    impresa = AgregarVenta(v);
    if (impresa == 0)
        return false;

    QList<NotaDemo> notas;
    NotaDemo n;
    n.Venta = impresa;
    n.CodCli = QStringLiteral("C0101");
    n.NombreCliente = QStringLiteral("Ana Pérez");
    n.Rif = QStringLiteral("V-10234567");
    n.Monto = 100.0;
    n.MontoExcento = 20.0;
    n.Motivo = QStringLiteral("Descuento por pronto pago");
    notas << n;

    n.Monto = 0.0;
    n.MontoExcento = 0.0;
    n.Motivo = QStringLiteral("Devolución");
    n.Lineas = {harina, detergente};
    notas << n;

    NotaDemo otras = n;
    otras.MaquinaFiscal = otra;
    notas << otras;
    otras = n;
    otras.Anulada = -1;
    notas << otras;
    otras = n;
    otras.Numero = QStringLiteral("00000007");
    otras.Control = QStringLiteral("00000007");
    otras.Impresa = -1;
    otras.Imprimir = 0;
    otras.NumeroZ = 12;
    notas << otras;

    for (const NotaDemo& nota : notas)
        if (AgregarNota(nota) == 0)
            return false;

    QList<TiketDemo> tikets;
    TiketDemo t;
    t.Fecha = hoy;
    t.Otro2 = QStringLiteral("Pedido 1031");
    tikets << t;
    t.Fecha = anterior;
    t.Otro2 = QStringLiteral("Pedido 1007");
    tikets << t;
    t.Fecha = hoy;
    t.Caja = otra;
    t.Otro2 = QStringLiteral("Pedido de otra caja");
    tikets << t;
    t.Caja.reset();
    t.Impresa = -1;
    t.Otro2 = QStringLiteral("Pedido impreso");
    tikets << t;
    for (const TiketDemo& tiket : tikets)
        if (AgregarTiket(tiket) == 0)
            return false;
    return true;
}

bool TiendaDemo::AgregarHistoria(int ventas)
{
    if (!tienda_.isOpen())
        return Falla(QStringLiteral("La tienda no está creada"));
    if (ventas <= 0)
        return true;
    if (!tienda_.transaction())
        return Falla(tienda_.lastError().text());
    auto fallo = [&](const QSqlQuery& q) {
        Falla(q.lastError().text());
        tienda_.rollback();
        return false;
    };

    // A few customers, salesmen and products shared by the whole history.
    QList<qlonglong> clientes, productos;
    for (int i = 1; i <= 50; ++i) {
        const auto id =
            Insertar(tienda_, QStringLiteral("Clientes"),
                     {QStringLiteral("COD_CLI"), QStringLiteral("NombreCliente"),
                      QStringLiteral("Rif"), QStringLiteral("Dirección")},
                     {QStringLiteral("H%1").arg(i, 4, 10, QLatin1Char('0')),
                      QStringLiteral("Cliente histórico %1").arg(i),
                      QStringLiteral("V-%1").arg(10000000 + i), QStringLiteral("Calle %1").arg(i)});
        const auto prod =
            Insertar(tienda_, QStringLiteral("Productos"),
                     {QStringLiteral("COD_PROD"), QStringLiteral("Nombre"),
                      QStringLiteral("ExcentoImpuesto")},
                     {QStringLiteral("H%1").arg(i, 3, 10, QLatin1Char('0')),
                      QStringLiteral("Artículo histórico %1").arg(i), i % 5 == 0 ? -1 : 0});
        if (!id || !prod) {
            tienda_.rollback();
            return false;
        }
        clientes << *id;
        productos << *prod;
    }
    if (opciones_.Servidor)
        return HistoriaServidor(ventas, clientes, productos);

    QSqlQuery venta(tienda_);
    QSqlQuery linea(tienda_);
    QSqlQuery nota(tienda_);
    if (!venta.prepare(QStringLiteral(
            "INSERT INTO Ventas (Fecha, Cliente, MedioPago, PorcentImpuesto, Factura, Control, "
            "Impresa, Imprimir, Anulada, Local, MáquinaFiscal, NúmeroZ) "
            "VALUES (?, ?, 0, 0.12, ?, ?, -1, 0, 0, 0, ?, ?)")))
        return fallo(venta);
    if (!linea.prepare(QStringLiteral("INSERT INTO VentasDetalles (Venta, Producto, Cantidad, "
                                      "CantDec, Precio) VALUES (?, ?, ?, ?, ?)")))
        return fallo(linea);
    if (!nota.prepare(QStringLiteral(
            "INSERT INTO [NotaCréditoVenta] (Fecha, Venta, Cliente, PorcentImpuesto, Monto, "
            "MontoExcento, Número, Control, Impresa, Imprimir, Anulada, MáquinaFiscal, NúmeroZ) "
            "VALUES (?, ?, ?, 0.12, ?, 0, ?, ?, -1, 0, 0, ?, ?)")))
        return fallo(nota);

    // About 300 documents a day, ending yesterday.
    const QDate inicio = QDate::currentDate().addDays(-(ventas / 300) - 1);
    for (int i = 0; i < ventas; ++i) {
        const QString fecha = inicio.addDays(i / 300).toString(Qt::ISODate);
        const int caja = i % 4 + 1;
        const QString numero = QStringLiteral("%1").arg(i / 4 + 1, 8, 10, QLatin1Char('0'));
        venta.addBindValue(fecha);
        venta.addBindValue(clientes.at(i % clientes.size()));
        venta.addBindValue(numero);
        venta.addBindValue(numero);
        venta.addBindValue(caja);
        venta.addBindValue(i / 1200 + 1);
        if (!venta.exec())
            return fallo(venta);
        const qlonglong codigo = venta.lastInsertId().toLongLong();
        const double cantidad = 1 + i % 3;
        linea.addBindValue(codigo);
        linea.addBindValue(productos.at(i % productos.size()));
        linea.addBindValue(qlonglong(cantidad));
        linea.addBindValue(cantidad);
        linea.addBindValue(double(i % 97) + 0.5);
        if (!linea.exec())
            return fallo(linea);
        if (i % 5 != 4)
            continue;
        const QString numeroNota = QStringLiteral("%1").arg(i / 20 + 1, 8, 10, QLatin1Char('0'));
        nota.addBindValue(fecha);
        nota.addBindValue(codigo);
        nota.addBindValue(clientes.at(i % clientes.size()));
        nota.addBindValue(double(i % 50) + 1);
        nota.addBindValue(numeroNota);
        nota.addBindValue(numeroNota);
        nota.addBindValue(caja);
        nota.addBindValue(i / 1200 + 1);
        if (!nota.exec())
            return fallo(nota);
    }
    venta.finish();
    linea.finish();
    nota.finish();
    if (!tienda_.commit())
        return Falla(tienda_.lastError().text());
    return true;
}

bool TiendaDemo::HistoriaServidor(int ventas, const QList<qlonglong>& clientes,
                                  const QList<qlonglong>& productos)
{
    // The same history as on SQLite, generated by the server itself: a
    // million rows one statement at a time would take minutes.
    QSqlQuery q(tienda_);
    auto fallo = [&]() {
        Falla(q.lastError().text());
        q.finish();
        tienda_.rollback();
        return false;
    };
    if (!q.exec(QStringLiteral("SELECT coalesce(max(\"Código\"), 0) FROM \"Ventas\"")) || !q.next())
        return fallo();
    const qlonglong base = q.value(0).toLongLong();
    const QDate inicio = QDate::currentDate().addDays(-(ventas / 300) - 1);
    const QString parametros =
        QStringLiteral("WITH p AS (SELECT ?::date AS inicio, ?::integer[] AS clientes, "
                       "?::integer[] AS productos, ?::integer AS base, ?::integer AS n) ");
    const QStringList sentencias = {
        parametros +
            QStringLiteral(
                "INSERT INTO \"Ventas\" (\"Código\", \"Fecha\", \"Cliente\", \"MedioPago\", "
                "\"PorcentImpuesto\", \"Factura\", \"Control\", \"Impresa\", \"Imprimir\", "
                "\"Anulada\", \"Local\", \"MáquinaFiscal\", \"NúmeroZ\") "
                "SELECT p.base + i + 1, p.inicio + i / 300, "
                "p.clientes[i % cardinality(p.clientes) + 1], 0, 0.12, "
                "lpad((i / 4 + 1)::text, 8, '0'), lpad((i / 4 + 1)::text, 8, '0'), "
                "true, false, false, false, i % 4 + 1, i / 1200 + 1 "
                "FROM p, generate_series(0, p.n - 1) AS i"),
        parametros +
            QStringLiteral("INSERT INTO \"VentasDetalles\" (\"Venta\", \"Producto\", \"Cantidad\", "
                           "\"CantDec\", \"Precio\") "
                           "SELECT p.base + i + 1, p.productos[i % cardinality(p.productos) + 1], "
                           "1 + i % 3, 1 + i % 3, i % 97 + 0.5 "
                           "FROM p, generate_series(0, p.n - 1) AS i"),
        parametros +
            QStringLiteral(
                "INSERT INTO \"NotaCréditoVenta\" (\"Fecha\", \"Venta\", \"Cliente\", "
                "\"PorcentImpuesto\", \"Monto\", \"MontoExcento\", \"Número\", \"Control\", "
                "\"Impresa\", \"Imprimir\", \"Anulada\", \"MáquinaFiscal\", \"NúmeroZ\") "
                "SELECT p.inicio + i / 300, p.base + i + 1, "
                "p.clientes[i % cardinality(p.clientes) + 1], 0.12, i % 50 + 1, 0, "
                "lpad((i / 20 + 1)::text, 8, '0'), lpad((i / 20 + 1)::text, 8, '0'), "
                "true, false, false, i % 4 + 1, i / 1200 + 1 "
                "FROM p, generate_series(0, p.n - 1) AS i WHERE i % 5 = 4"),
    };
    for (const QString& sql : sentencias) {
        if (!q.prepare(sql))
            return fallo();
        q.addBindValue(inicio);
        q.addBindValue(ListaIds(clientes));
        q.addBindValue(ListaIds(productos));
        q.addBindValue(base);
        q.addBindValue(ventas);
        if (!q.exec())
            return fallo();
    }
    // The keys were given explicitly: the next sale must come after them.
    if (!q.exec(QStringLiteral("SELECT setval(pg_get_serial_sequence('\"Ventas\"', 'Código'), "
                               "(SELECT max(\"Código\") FROM \"Ventas\"))")))
        return fallo();
    q.finish();
    if (!tienda_.commit())
        return Falla(tienda_.lastError().text());
    // Fresh statistics, as a shop's server would have after a long history.
    if (!q.exec(QStringLiteral("ANALYZE \"Ventas\", \"VentasDetalles\", \"NotaCréditoVenta\"")))
        return Falla(q.lastError().text());
    return true;
}
