#include "estado/EscuchaEstado.h"

#include <QLoggingCategory>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTimer>

Q_DECLARE_LOGGING_CATEGORY(lcEstado)

EscuchaEstado::EscuchaEstado(QObject* parent) : QTcpServer(parent) {}

void EscuchaEstado::Rechazar(QTcpSocket* socket, int codigo, const char* razon)
{
    if (socket->property("rechazado").toBool())
        return;
    socket->setProperty("rechazado", true);
    // Nothing more of this connection reaches the HTTP server, not even the
    // rest of the signal being delivered now.
    QObject::disconnect(socket, &QTcpSocket::readyRead, nullptr, nullptr);
    socket->write(QStringLiteral("HTTP/1.1 %1 %2\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")
                      .arg(codigo)
                      .arg(QLatin1String(razon))
                      .toLatin1());
    socket->disconnectFromHost();
    // A peer that does not read its answer is not waited for.
    QTimer::singleShot(1000, socket, &QTcpSocket::abort);
}

QTcpSocket* EscuchaEstado::nextPendingConnection()
{
    QTcpSocket* socket = QTcpServer::nextPendingConnection();
    if (!socket)
        return nullptr;
    ++abiertas_;
    connect(socket, &QObject::destroyed, this, [this] { --abiertas_; });
    if (abiertas_ > maxConexiones) {
        Rechazar(socket, 503, "Service Unavailable");
        return socket;
    }
    auto* plazo = new QTimer(socket);
    plazo->setSingleShot(true);
    plazo->setInterval(limiteMs);
    connect(plazo, &QTimer::timeout, socket, [socket] {
        qCDebug(lcEstado) << "conexión sin pedido completo cerrada:" << socket->peerAddress();
        socket->abort();
    });
    plazo->start();
    // Each answer gives the connection (kept alive) a new period.
    connect(socket, &QTcpSocket::bytesWritten, plazo, qOverload<>(&QTimer::start));
    // Connected before the HTTP server's own handler, so this looks first.
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { Revisar(socket); });
    return socket;
}

void EscuchaEstado::Revisar(QTcpSocket* socket)
{
    // The HTTP server keeps a request's bytes buffered until it is complete,
    // so what is buffered is the request so far.
    const QByteArray visto = socket->peek(limiteBytes + 1);
    const qsizetype finLinea = visto.indexOf('\n');
    if (finLinea >= 0) {
        static const QRegularExpression linea(
            QStringLiteral("^[A-Z]{1,16} /[\\x21-\\x7e]* HTTP/1\\.[01]\\r?$"));
        if (!linea.match(QString::fromLatin1(visto.left(finLinea))).hasMatch()) {
            Rechazar(socket, 400, "Bad Request");
            return;
        }
    }
    if (visto.size() > limiteBytes && !visto.contains("\r\n\r\n"))
        Rechazar(socket, 431, "Request Header Fields Too Large");
}
