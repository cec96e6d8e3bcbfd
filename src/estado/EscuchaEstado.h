#pragma once

#include <QTcpServer>

// The status endpoint's listening socket. It guards each connection before
// the HTTP server sees it, so that no client can hold the others up or grow
// the robot's memory:
//  - a request must be complete within `limiteMs` of the connection opening
//    or of the previous answer, or the connection is dropped (a client that
//    opens a connection and never finishes its request);
//  - a request head larger than `limiteBytes` is answered 431 and closed;
//  - a request line that is not "METHOD /path HTTP/1.x" is answered 400;
//  - beyond `maxConexiones` open connections a new one is answered 503.
class EscuchaEstado : public QTcpServer
{
    Q_OBJECT
  public:
    explicit EscuchaEstado(QObject* parent = nullptr);

    QTcpSocket* nextPendingConnection() override;

    int limiteMs = 5000;
    qint64 limiteBytes = 8192;
    int maxConexiones = 256;
    int Abiertas() const { return abiertas_; }

    // Answers with a bare status and closes (the request was not parsed).
    static void Rechazar(QTcpSocket* socket, int codigo, const char* razon);

  private:
    void Revisar(QTcpSocket* socket);
    int abiertas_ = 0;
};
