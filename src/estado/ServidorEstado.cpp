#include "estado/ServidorEstado.h"

#include "estado/EscuchaEstado.h"
#include "estado/EstadoRobot.h"
#include "estado/InformeEstado.h"

#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QScopeGuard>

Q_DECLARE_LOGGING_CATEGORY(lcEstado)

std::optional<ServidorEstado::Direccion> ServidorEstado::LeerDireccion(const QString& texto,
                                                                       QString* error)
{
    static const QRegularExpression forma(
        QStringLiteral("^(?:(?:\\[([0-9A-Fa-f:.]+)\\]|([^:\\[\\]]+)):)?([0-9]{1,5})$"));
    const QRegularExpressionMatch m = forma.match(texto);
    auto fallar = [&](const QString& e) -> std::optional<Direccion> {
        if (error)
            *error = e;
        return std::nullopt;
    };
    if (!m.hasMatch())
        return fallar(QStringLiteral("se esperaba [DIRECCIÓN:]PUERTO, no «%1»").arg(texto));
    const uint puerto = m.captured(3).toUInt();
    if (puerto > 65535)
        return fallar(QStringLiteral("puerto fuera de rango: %1").arg(m.captured(3)));
    const QString host = m.captured(1).isEmpty() ? m.captured(2) : m.captured(1);
    Direccion d{QHostAddress(QHostAddress::LocalHost), quint16(puerto)};
    if (!host.isEmpty() && !d.direccion.setAddress(host))
        return fallar(
            QStringLiteral("dirección no válida: «%1» (se escribe como número)").arg(host));
    return d;
}

ServidorEstado::ServidorEstado(const EstadoRobot& estado, QObject* parent)
    : QAbstractHttpServer(parent), estado_(estado), escucha_(new EscuchaEstado(this))
{
}

bool ServidorEstado::Escuchar(const Direccion& d)
{
    if (!escucha_->listen(d.direccion, d.puerto)) {
        error_ = escucha_->errorString();
        return false;
    }
    bind(escucha_);
    qCInfo(lcEstado).noquote() << "estado en http://" + d.direccion.toString() + ":" +
                                      QString::number(escucha_->serverPort()) + "/";
    return true;
}

quint16 ServidorEstado::Puerto() const
{
    return escucha_->serverPort();
}

bool ServidorEstado::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket)
{
    const QString ruta = request.url().path();
    QByteArray tipo;
    QByteArray (*hacer)(const DatosEstado&) = nullptr;
    if (ruta == QLatin1String("/")) {
        tipo = "text/html; charset=utf-8";
        hacer = &InformeEstado::Pagina;
    } else if (ruta == QLatin1String("/estado")) {
        tipo = "application/json";
        hacer = &InformeEstado::Json;
    } else if (ruta == QLatin1String("/metrics")) {
        tipo = "text/plain; version=0.0.4; charset=utf-8";
        hacer = &InformeEstado::Metricas;
    }
    // A client that asks for the connection to end after the answer gets
    // it ended then (queued: after the answer is in the socket).
    const auto cerrar = qScopeGuard([&request, socket] {
        if (request.value("Connection").compare("close", Qt::CaseInsensitive) == 0)
            QMetaObject::invokeMethod(socket, &QTcpSocket::disconnectFromHost,
                                      Qt::QueuedConnection);
    });
    QHttpServerResponder r = makeResponder(request, socket);
    if (!hacer) {
        r.write(QByteArray("no encontrado\n"), {{"Content-Type", "text/plain; charset=utf-8"}},
                QHttpServerResponder::StatusCode::NotFound);
        return true;
    }
    if (request.method() != QHttpServerRequest::Method::Get) {
        r.write(QByteArray("solo GET\n"),
                {{"Content-Type", "text/plain; charset=utf-8"}, {"Allow", "GET"}},
                QHttpServerResponder::StatusCode::MethodNotAllowed);
        return true;
    }
    r.write(hacer(estado_.Foto()),
            {{"Content-Type", tipo},
             {"Cache-Control", "no-store"},
             {"X-Content-Type-Options", "nosniff"},
             {"Content-Security-Policy", "default-src 'none'; style-src 'unsafe-inline'"}},
            QHttpServerResponder::StatusCode::Ok);
    return true;
}

void ServidorEstado::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket)
{
    makeResponder(request, socket).write(QHttpServerResponder::StatusCode::NotFound);
}
