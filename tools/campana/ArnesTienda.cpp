#include "ArnesTienda.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <csignal>

ArnesTienda::ArnesTienda()
{
    robot_.setProcessChannelMode(QProcess::MergedChannels);
    QObject::connect(&impresora_, &QProcess::readyReadStandardError, [this] { LeerImpresora(); });
}

ArnesTienda::~ArnesTienda()
{
    if (RobotVivo())
        MatarRobot();
    for (QProcess* p : {&impresora_, &servidor_}) {
        p->kill();
        p->waitForFinished(5000);
    }
    QObject::disconnect(&impresora_, &QProcess::readyReadStandardError, nullptr, nullptr);
    tienda.Cerrar();
}

bool ArnesTienda::Preparar(const OpcionesTienda& opciones, const QStringList& argsImpresora)
{
    const QString enlace = dir_.filePath(QStringLiteral("impresora"));
    impresora_.start(QStringLiteral(SIMFISCAL),
                     QStringList{"--enlace", enlace, "--rollo", dir_.filePath("rollo.txt"),
                                 "--diario", dir_.filePath("diario.jsonl"), "--estado-archivo",
                                 dir_.filePath("impresora.json"), "--verbose", "--stdin-control"} +
                         argsImpresora);
    if (!impresora_.waitForStarted(5000) ||
        !QTest::qWaitFor([&] { return impresora_.canReadLine(); }, 10000)) {
        error_ = QStringLiteral("no arrancó el simulador de impresora");
        return false;
    }
    impresora_.readLine();

    servidor_.start(QStringLiteral(SIMSERVIDOR), {"--puerto", "0"});
    if (!servidor_.waitForStarted(5000) ||
        !QTest::qWaitFor([&] { return servidor_.canReadLine(); }, 10000)) {
        error_ = QStringLiteral("no arrancó el simulador del servidor");
        return false;
    }
    const int puertoServidor = QString::fromLatin1(servidor_.readLine()).trimmed().toInt();

    OpcionesTienda o = opciones;
    o.Puerto = enlace;
    o.ServidorIp = QStringLiteral("127.0.0.1");
    o.ServidorPuerto = puertoServidor;
    if (!tienda.Crear(RutaPrograma(), o)) {
        error_ = tienda.Error();
        return false;
    }
    return true;
}

bool ArnesTienda::ArrancarRobot()
{
    salidaRobot_.clear();
    robot_.start(QStringLiteral(ROVEND),
                 QStringList{"--sin-ventana", "--carpeta", RutaPrograma()} + argsRobot);
    return robot_.waitForStarted(5000);
}

bool ArnesTienda::RobotVivo() const
{
    return robot_.state() != QProcess::NotRunning;
}

int ArnesTienda::TerminarRobot(int msLimite)
{
    if (!RobotVivo())
        return robot_.exitCode();
    ::kill(pid_t(robot_.processId()), SIGTERM);
    if (!QTest::qWaitFor([&] { return !RobotVivo(); }, msLimite))
        return -1;
    SalidaRobot();
    return robot_.exitStatus() == QProcess::NormalExit ? robot_.exitCode() : -1;
}

void ArnesTienda::MatarRobot()
{
    robot_.kill();
    robot_.waitForFinished(10000);
    SalidaRobot();
}

QString ArnesTienda::ErrorRobot() const
{
    return QStringLiteral("%1 (error %2, estado %3)")
        .arg(robot_.errorString())
        .arg(int(robot_.error()))
        .arg(int(robot_.state()));
}

QString ArnesTienda::SalidaRobot()
{
    salidaRobot_ += robot_.readAll();
    return QString::fromLocal8Bit(salidaRobot_);
}

void ArnesTienda::OrdenImpresora(const QString& linea)
{
    impresora_.write(linea.toUtf8() + '\n');
    impresora_.waitForBytesWritten(1000);
}

void ArnesTienda::OrdenServidor(const QString& linea)
{
    servidor_.write(linea.toUtf8() + '\n');
    servidor_.waitForBytesWritten(1000);
}

QStringList ArnesTienda::LineasServidor()
{
    salidaServidor_ += servidor_.readAllStandardOutput();
    return QString::fromLocal8Bit(salidaServidor_).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void ArnesTienda::LeerImpresora()
{
    salidaImpresora_ += impresora_.readAllStandardError();
    for (qsizetype fin = salidaImpresora_.indexOf('\n', entregadoImpresora_); fin >= 0;
         fin = salidaImpresora_.indexOf('\n', entregadoImpresora_)) {
        const QString linea = QString::fromLocal8Bit(
            salidaImpresora_.mid(entregadoImpresora_, fin - entregadoImpresora_));
        entregadoImpresora_ = fin + 1;
        if (alIntercambio_)
            alIntercambio_(linea);
    }
}

QStringList ArnesTienda::LineasImpresora()
{
    LeerImpresora();
    return QString::fromLocal8Bit(salidaImpresora_).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

bool ArnesTienda::ResetearImpresora()
{
    QProcess p;
    p.start(QStringLiteral(PRUEBAENLACE),
            {"--puerto", dir_.filePath(QStringLiteral("impresora")), "reset"});
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

QList<QJsonObject> ArnesTienda::Diario() const
{
    QList<QJsonObject> docs;
    QFile f(dir_.filePath(QStringLiteral("diario.jsonl")));
    if (!f.open(QIODevice::ReadOnly))
        return docs;
    for (const QByteArray& linea : f.readAll().split('\n'))
        if (!linea.trimmed().isEmpty())
            docs.append(QJsonDocument::fromJson(linea).object());
    return docs;
}

QList<QJsonObject> ArnesTienda::Diario(const QString& tipo) const
{
    QList<QJsonObject> docs;
    for (const QJsonObject& d : Diario())
        if (d.value(QStringLiteral("tipo")).toString() == tipo)
            docs << d;
    return docs;
}

QString ArnesTienda::Rollo() const
{
    QFile f(dir_.filePath(QStringLiteral("rollo.txt")));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

QSqlRecord ArnesTienda::Fila(const QString& sql, qlonglong codigo)
{
    QSqlRecord r;
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("arnes"));
        db.setDatabaseName(tienda.ArchivoBaseDatos());
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000"));
        if (db.open()) {
            QSqlQuery q(db);
            q.prepare(sql);
            q.addBindValue(codigo);
            if (q.exec() && q.next())
                r = q.record();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("arnes"));
    return r;
}

QSqlRecord ArnesTienda::Venta(qlonglong codigo)
{
    return Fila(QStringLiteral("SELECT * FROM [Consulta Ventas Edición] WHERE Código = ?"), codigo);
}

QSqlRecord ArnesTienda::Nota(qlonglong codigo)
{
    return Fila(QStringLiteral("SELECT * FROM [NotaCréditoVenta] WHERE Código = ?"), codigo);
}

bool ArnesTienda::CambiarServidor(const QString& direccion, int puerto)
{
    bool ok = false;
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("arnes.w"));
        db.setDatabaseName(tienda.ArchivoBaseDatos());
        if (db.open()) {
            QSqlQuery q(db);
            q.prepare(
                QStringLiteral("UPDATE [Configuración] SET ipServidor = ?, PuertoServicio = ?"));
            q.addBindValue(direccion);
            q.addBindValue(puerto);
            ok = q.exec() && q.numRowsAffected() > 0;
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("arnes.w"));
    return ok;
}
