#include "ServidorSimulado.h"

#include "comun/CodigoPagina.h"

ServidorSimulado::ServidorSimulado(QObject* parent) : QObject(parent)
{
    connect(&servidor_, &QTcpServer::newConnection, this, [this] {
        QTcpSocket* s = servidor_.nextPendingConnection();
        if (cliente_) { // one robot at a time: a newer one replaces the old link
            cliente_->abort();
            cliente_->deleteLater();
        }
        cliente_ = s;
        connect(s, &QTcpSocket::readyRead, this, [this, s] {
            const QString m = CodigoPagina::ATexto(s->readAll());
            Q_EMIT Registro(QStringLiteral("< ") + m);
            Q_EMIT Recibido(m);
        });
        connect(s, &QTcpSocket::disconnected, this, [this, s] {
            Q_EMIT Registro(QStringLiteral("-- desconectado"));
            if (cliente_ == s)
                Q_EMIT ClienteDesconectado();
            s->deleteLater();
        });
        Q_EMIT Registro(QStringLiteral("-- conectado desde %1").arg(s->peerAddress().toString()));
        Q_EMIT ClienteConectado();
        Enviar(QStringLiteral("B%Bienvenido"));
    });
    connect(&vivo_, &QTimer::timeout, this, [this] { Enviar(QStringLiteral("0%")); });
}

bool ServidorSimulado::Escuchar(quint16 puerto) { return servidor_.listen(QHostAddress::Any, puerto); }

void ServidorSimulado::PonerVivo(int segundos)
{
    if (segundos > 0)
        vivo_.start(segundos * 1000);
    else
        vivo_.stop();
}

void ServidorSimulado::Enviar(const QString& mensaje)
{
    if (!Conectado())
        return;
    cliente_->write(CodigoPagina::ABytes(mensaje));
    cliente_->flush();
    Q_EMIT Registro(QStringLiteral("> ") + mensaje);
}

bool ServidorSimulado::Orden(const QString& linea)
{
    const QString l = linea.trimmed();
    const QString palabra = l.section(QLatin1Char(' '), 0, 0).toLower();
    const QString resto = l.section(QLatin1Char(' '), 1);
    if (palabra == QLatin1String("chat")) {
        Enviar(QStringLiteral("H%") + resto);
    } else if (palabra == QLatin1String("cierre")) {
        const QString tipo = resto.section(QLatin1Char(' '), 0, 0).toUpper();
        const QString caja = resto.section(QLatin1Char(' '), 1, 1);
        if (tipo != QLatin1String("X") && tipo != QLatin1String("Z"))
            return false;
        Enviar(QStringLiteral("M%Se ha solicitado cierre %1 en la caja %2").arg(tipo, caja.isEmpty() ? "0" : caja));
    } else if (palabra == QLatin1String("salir")) {
        Enviar(QStringLiteral("X%"));
    } else if (palabra == QLatin1String("cerrar")) {
        if (cliente_)
            cliente_->disconnectFromHost();
    } else if (palabra == QLatin1String("enviar")) {
        Enviar(resto);
    } else if (palabra == QLatin1String("vivo")) {
        Enviar(QStringLiteral("0%"));
    } else if (palabra == QLatin1String("h")) {
        Enviar(QStringLiteral("H%"));
    } else {
        return false;
    }
    return true;
}
