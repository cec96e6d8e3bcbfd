#include "app/RegistroArchivo.h"

#include <QDateTime>
#include <cstdio>

namespace {
RegistroArchivo* gRegistro = nullptr;
bool gConsola = false;
QtMessageHandler gAnterior = nullptr;

void manejador(QtMsgType tipo, const QMessageLogContext& contexto, const QString& texto)
{
    if (gRegistro) {
        const char* cat = contexto.category ? contexto.category : "default";
        QString t = texto;
        if (tipo == QtWarningMsg)
            t.prepend(QLatin1String("AVISO: "));
        else if (tipo == QtCriticalMsg || tipo == QtFatalMsg)
            t.prepend(QLatin1String("ERROR: "));
        gRegistro->Escribir(QString::fromLatin1(cat), t);
    }
    if (gConsola || !gRegistro) {
        const QByteArray linea = texto.toLocal8Bit();
        std::fprintf(stderr, "%s\n", linea.constData());
        std::fflush(stderr);
    }
}
} // namespace

RegistroArchivo::RegistroArchivo(const QString& ruta, qint64 tamanoMaximo, int copias)
    : archivo_(ruta), ruta_(ruta), tamanoMaximo_(tamanoMaximo), copias_(copias)
{
    archivo_.open(QIODevice::Append | QIODevice::Text);
}

RegistroArchivo::~RegistroArchivo()
{
    if (gRegistro == this)
        Instalar(nullptr, false);
}

void RegistroArchivo::Escribir(const QString& categoria, const QString& texto)
{
    QMutexLocker bloqueo(&mutex_);
    if (!archivo_.isOpen())
        return;
    const QString linea = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")) +
                          QLatin1Char(' ') + categoria + QLatin1Char(' ') + texto + QLatin1Char('\n');
    archivo_.write(linea.toUtf8());
    archivo_.flush();
    if (archivo_.size() > tamanoMaximo_)
        Rotar();
}

void RegistroArchivo::Rotar()
{
    archivo_.close();
    QFile::remove(ruta_ + QLatin1Char('.') + QString::number(copias_));
    for (int i = copias_ - 1; i >= 1; --i)
        QFile::rename(ruta_ + QLatin1Char('.') + QString::number(i),
                      ruta_ + QLatin1Char('.') + QString::number(i + 1));
    QFile::rename(ruta_, ruta_ + QLatin1String(".1"));
    archivo_.open(QIODevice::Append | QIODevice::Text);
}

void RegistroArchivo::Instalar(RegistroArchivo* registro, bool consola)
{
    gRegistro = registro;
    gConsola = consola;
    if (registro) {
        QtMessageHandler previo = qInstallMessageHandler(manejador);
        if (previo != manejador)
            gAnterior = previo;
    } else {
        qInstallMessageHandler(gAnterior);
        gAnterior = nullptr;
    }
}
