#pragma once

#include <QFile>
#include <QMutex>
#include <QString>
#include <QtGlobal>

// The support log in the program's folder: one line per event and per
// printer exchange (time, category, text), from every thread. Rotated by
// size: rovend.log becomes rovend.log.1 and so on, so it never fills the disk.
class RegistroArchivo
{
public:
    RegistroArchivo(const QString& ruta, qint64 tamanoMaximo = 5 * 1024 * 1024, int copias = 3);
    ~RegistroArchivo();

    bool Abierto() const { return archivo_.isOpen(); }
    void Escribir(const QString& categoria, const QString& texto);

    // Routes Qt's logging (qCInfo, qCWarning, ...) here and, when `consola`,
    // to stderr too. Pass nullptr to restore the default handler.
    static void Instalar(RegistroArchivo* registro, bool consola);

private:
    void Rotar();

    QFile archivo_;
    QString ruta_;
    qint64 tamanoMaximo_;
    int copias_;
    QMutex mutex_;
};
