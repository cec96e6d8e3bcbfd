#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// One exchange as the robot makes it: open the port, 9600 8N1, write the
// frame, discard what is waiting, read until ETX and four more bytes (or the
// deadline), close.
class PuertoPrueba
{
  public:
    struct Intercambio {
        QByteArray recibido;        // everything read, noise included
        QList<QByteArray> lecturas; // as the reads delivered it
        qint64 ms = 0;              // from the write to the last byte
        bool completo = false;      // ETX and its four digits arrived
    };

    static Intercambio Intercambiar(const QString& ruta, const QByteArray& trama,
                                    int plazoMs = 2000);
    // The reply from its STX through its checksum, or empty.
    static QByteArray Respuesta(const QByteArray& recibido);
    // Frames `comando` with `secuencia`, exchanges it and returns the reply alone.
    static QByteArray Preguntar(const QString& ruta, char secuencia, const QByteArray& comando);
    // The command byte and its fields, each after an FS.
    static QByteArray Comando(char comando, const QList<QByteArray>& campos = {});
};
