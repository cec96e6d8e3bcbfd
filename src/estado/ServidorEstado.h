#pragma once

#include <QAbstractHttpServer>
#include <QHostAddress>

#include <optional>

class EscuchaEstado;
class EstadoRobot;

// The status endpoint (Qt HTTP Server), read-only, on the main thread:
//   GET /         a small page that refreshes itself
//   GET /estado   the state as JSON
//   GET /metrics  the Prometheus text format
// Any other path is 404, any other method 405. Each answer is made from the
// main thread's copy of the state, never from the robot thread.
class ServidorEstado : public QAbstractHttpServer
{
    Q_OBJECT
  public:
    struct Direccion {
        QHostAddress direccion;
        quint16 puerto = 0;
    };
    // "[ADDRESS:]PORT"; the address defaults to 127.0.0.1 and an IPv6
    // address is written in brackets ("[::1]:9100"). Port 0 picks a free one.
    static std::optional<Direccion> LeerDireccion(const QString& texto, QString* error = nullptr);

    explicit ServidorEstado(const EstadoRobot& estado, QObject* parent = nullptr);

    // Listens; false (with Error()) when the address cannot be bound.
    bool Escuchar(const Direccion& d);
    quint16 Puerto() const;
    QString Error() const { return error_; }
    EscuchaEstado& escucha() { return *escucha_; }

  protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

  private:
    const EstadoRobot& estado_;
    EscuchaEstado* escucha_;
    QString error_;
};
