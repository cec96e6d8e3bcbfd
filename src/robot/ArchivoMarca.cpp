#include "ArchivoMarca.h"

#include "CodigoPagina.h"
#include "Texto.h"

#include <QFile>
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

std::optional<qlonglong> ArchivoMarca::Leer() const
{
    QFile f(ruta_);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray datos = f.read(4096);
    if (f.error() != QFileDevice::NoError)
        return std::nullopt;
    // The first item ends at a line end or a comma.
    QString primero = CodigoPagina::ATexto(datos);
    const qsizetype fin = primero.indexOf(QRegularExpression(QStringLiteral("[\r\n,]")));
    if (fin >= 0)
        primero.truncate(fin);
    return qlonglong(Texto::ValorInicial(primero));
}

bool ArchivoMarca::Escribir(qlonglong codigo, QString* error)
{
    // The number as the old program printed it: a blank for the sign, the digits.
    return EscribirTexto(Texto::NumeroConSigno(double(codigo)).toLatin1() + "\r\n", error);
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
