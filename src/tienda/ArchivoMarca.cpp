#include "tienda/ArchivoMarca.h"

#include <QFile>
#include <QList>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

ArchivoMarca::ArchivoMarca(const QString& ruta) : ruta_(ruta) {}

bool ArchivoMarca::Existe() const
{
    const QFileInfo i(ruta_);
    return i.exists() || i.isSymLink();
}

std::optional<ArchivoMarca::Marca> ArchivoMarca::Leer() const
{
    if (!Existe())
        return Marca();
    QFile f(ruta_);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray datos = f.read(4096);
    if (f.error() != QFileDevice::NoError)
        return std::nullopt;
    return Interpretar(datos);
}

ArchivoMarca::Marca ArchivoMarca::Interpretar(const QByteArray& contenido)
{
    Marca m;
    const QList<QByteArray> lineas = contenido.split('\n');
    for (qsizetype i = 1; i < lineas.size(); ++i) {
        const QByteArray l = lineas.at(i).trimmed();
        const qsizetype igual = l.indexOf('=');
        if (igual < 0)
            continue;
        const QByteArray clave = l.left(igual);
        const QString valor = QString::fromLatin1(l.mid(igual + 1));
        if (clave == "antes")
            m.Antes = valor;
        else if (clave == "numero")
            m.Numero = valor;
        else if (clave == "z") {
            bool ok = false;
            const qlonglong z = valor.toLongLong(&ok);
            if (ok)
                m.NumeroZ = z;
        }
    }
    // The first item ends at a line end or a comma; it must be a whole
    // integer, never read through a floating-point value.
    QByteArray primero = lineas.value(0);
    const qsizetype fin = primero.indexOf(',');
    if (fin >= 0)
        primero.truncate(fin);
    primero = primero.trimmed();
    static const QRegularExpression entero(QStringLiteral("^-?[0-9]{1,18}$"));
    if (!entero.match(QString::fromLatin1(primero)).hasMatch())
        return m;
    const qlonglong codigo = primero.toLongLong();
    // "0" is the empty marker; a document numbered 0 is told by its "antes" line.
    if (codigo != 0 || !m.Antes.isEmpty())
        m.Codigo = codigo;
    return m;
}

QByteArray ArchivoMarca::Contenido(const Marca& marca)
{
    if (!marca.Codigo)
        return "0\r\n";
    // A blank for the sign, then every digit (the old number printing, but exact).
    const qlonglong c = *marca.Codigo;
    QByteArray t = (c < 0 ? QByteArray() : QByteArray(" ")) + QByteArray::number(c) + "\r\n";
    if (!marca.Antes.isEmpty())
        t += "antes=" + marca.Antes.toLatin1() + "\r\n";
    if (!marca.Numero.isEmpty())
        t += "numero=" + marca.Numero.toLatin1() + "\r\n";
    if (marca.NumeroZ)
        t += "z=" + QByteArray::number(*marca.NumeroZ) + "\r\n";
    return t;
}

bool ArchivoMarca::Escribir(const Marca& marca, QString* error)
{
    return EscribirTexto(Contenido(marca), error);
}

bool ArchivoMarca::Verificar(QString* error)
{
    if (!Existe())
        return EscribirTexto("0\r\n", error);
    QFile f(ruta_);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = f.errorString();
        return false;
    }
    f.read(1);
    if (f.error() != QFileDevice::NoError) {
        if (error)
            *error = f.errorString();
        return false;
    }
    return true;
}

bool ArchivoMarca::EscribirTexto(const QByteArray& contenido, QString* error)
{
    QSaveFile f(ruta_); // temporary file, fsync, then rename over the old one
    if (!f.open(QIODevice::WriteOnly) || f.write(contenido) != contenido.size() || !f.commit()) {
        if (error)
            *error = f.errorString();
        return false;
    }
#ifdef Q_OS_UNIX
    // The rename itself is durable only once the folder is on disk.
    const QByteArray carpeta = QFile::encodeName(QFileInfo(ruta_).absolutePath());
    const int fd = ::open(carpeta.constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#endif
    return true;
}
