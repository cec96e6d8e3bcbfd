#include "servidor/EnlaceServidor.h"

#include "comun/CodigoPagina.h"

#include <QDateTime>
#include <QHostInfo>
#include <QLocale>
#include <QLoggingCategory>
#include <QMetaMethod>
#include <QTimer>

Q_LOGGING_CATEGORY(lcServidor, "rovend.server")

EnlaceServidor::EnlaceServidor(int numeroCaja, QObject* parent)
    : QObject(parent), numeroCaja_(numeroCaja), nombreEquipo_(QHostInfo::localHostName())
{
    connect(&socket_, &QTcpSocket::readyRead, this, &EnlaceServidor::AlLlegar);
    connect(&socket_, &QTcpSocket::errorOccurred, this, &EnlaceServidor::AlFallar);
    connect(&socket_, &QTcpSocket::connected, this, [this] {
        ipLocal_ = socket_.localAddress().toString();
        qCInfo(lcServidor).noquote() << "conectado a" << socket_.peerName() << socket_.peerPort();
    });
    connect(&socket_, &QTcpSocket::stateChanged, this, [this] { registrado_ = registrado_ && Conectado(); Q_EMIT EnlaceCambiado(Conectado(), registrado_); });
}

void EnlaceServidor::ConectarServidor(const QString& direccion, quint16 puerto)
{
    qCInfo(lcServidor).noquote() << "conectando con" << direccion << puerto;
    socket_.connectToHost(direccion, puerto);
    pizarra_.IniciarPizarra();
    MostrarPizarra();
}

bool EnlaceServidor::Conectado() const { return socket_.state() == QAbstractSocket::ConnectedState; }

QString EnlaceServidor::Registro(const QString& equipo, const QString& ip, const QDateTime& momento)
{
    return QStringLiteral("L%") + equipo + QLatin1Char(';') + ip + QLatin1Char(';') +
           QLocale().toString(momento, QLocale::ShortFormat) + QStringLiteral(";Rovend Fiscal;Local;Rovend;");
}

void EnlaceServidor::MostrarPizarra() { Q_EMIT PizarraIniciada(pizarra_.Rtf()); }

void EnlaceServidor::MostrarLinea()
{
    // Rendering costs a line's length: skipped when nobody shows the board.
    if (isSignalConnected(QMetaMethod::fromSignal(&EnlaceServidor::PizarraLinea)))
        Q_EMIT PizarraLinea(pizarra_.HtmlLinea(pizarra_.UltimaLinea()), pizarra_.Quitadas());
}

void EnlaceServidor::Enviar(const QString& texto)
{
    if (!Conectado())
        return;
    socket_.write(CodigoPagina::ABytes(texto));
    qCInfo(lcServidor).noquote() << "enviado:" << texto;
}

void EnlaceServidor::EnviarMensaje(int, const QString& texto)
{
    const QString tipo = texto.left(2);
    if (tipo == QLatin1String("M%") || tipo == QLatin1String("D%") || tipo == QLatin1String("N%")) {
        const bool visible = VentanaVisible && VentanaVisible();
        pizarra_.Eco(texto, Hablante, visible);
        if (visible)
            MostrarLinea();
    }
    Enviar(texto);
}

void EnlaceServidor::AlLlegar()
{
    const QString mensaje = CodigoPagina::ATexto(socket_.readAll());
    qCInfo(lcServidor).noquote() << "recibido:" << mensaje;
    const DespachoServidor::Resultado r = DespachoServidor::Despachar(mensaje);
    switch (r.accion) {
    case DespachoServidor::Accion::ResponderVivo:
        Enviar(QStringLiteral("0%"));
        break;
    case DespachoServidor::Accion::Registrar:
        Enviar(Registro(nombreEquipo_, ipLocal_, QDateTime::currentDateTime()));
        registrado_ = Conectado(); Q_EMIT EnlaceCambiado(Conectado(), registrado_);
        pizarra_.IniciarPizarra();
        MostrarPizarra();
        break;
    case DespachoServidor::Accion::Cierres:
        // X first, then Z; the receiver runs each only if its button is enabled.
        for (const auto& [z, caja] : {std::pair{false, r.cierreX}, std::pair{true, r.cierreZ}}) {
            if (!caja)
                continue;
            if (*caja == numeroCaja_)
                Q_EMIT SolicitudCierre(z);
            else
                qCInfo(lcServidor).noquote()
                    << "solicitud de cierre" << (z ? "Z" : "X") << "para"
                    << (*caja == DespachoServidor::kNingunaCaja ? QStringLiteral("ninguna caja")
                                                                 : QStringLiteral("la caja %1").arg(*caja))
                    << "- esta es la caja" << numeroCaja_;
        }
        break;
    case DespachoServidor::Accion::ResponderH:
        Enviar(QStringLiteral("H%"));
        break;
    case DespachoServidor::Accion::Charla:
        pizarra_.ChatServidor(r.cuerpo);
        MostrarLinea();
        break;
    case DespachoServidor::Accion::Salir:
        socket_.abort();
        Q_EMIT OrdenSalir();
        break;
    case DespachoServidor::Accion::EsperaCorta: // a tenth of a second of nothing
    case DespachoServidor::Accion::Ignorar:
        break;
    }
}

int EnlaceServidor::NumeroError(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError: return 10061;
    case QAbstractSocket::RemoteHostClosedError: return 10054;
    case QAbstractSocket::HostNotFoundError: return 11001;
    case QAbstractSocket::SocketAccessError: return 10013;
    case QAbstractSocket::SocketResourceError: return 10055;
    case QAbstractSocket::SocketTimeoutError: return 10060;
    case QAbstractSocket::DatagramTooLargeError: return 10040;
    case QAbstractSocket::NetworkError: return 10065;
    case QAbstractSocket::AddressInUseError: return 10048;
    case QAbstractSocket::SocketAddressNotAvailableError: return 10049;
    case QAbstractSocket::UnsupportedSocketOperationError: return 10045;
    case QAbstractSocket::TemporaryError: return 10035;
    default: return 10000 + int(error) + 1000; // nothing support staff would know: out of their range
    }
}

void EnlaceServidor::AlFallar(QAbstractSocket::SocketError error)
{
    if (despidiendo_ || fallado_)
        return; // the goodbye closes the link itself; one error ends the program once
    if (error == QAbstractSocket::RemoteHostClosedError) {
        // The server closing the link is not an error of the robot's: it
        // keeps printing without the link, as it always has.
        qCWarning(lcServidor) << "el servidor cerró la conexión";
        return;
    }
    fallado_ = true;
    const int numero = NumeroError(error);
    qCWarning(lcServidor).noquote() << "error de conexión" << numero << socket_.errorString();
    if (numero == 10061) {
        Q_EMIT ConexionRechazada(QString::fromUtf8(kMensajeRechazo));
        return;
    }
    const QString mensaje = QStringLiteral("Error en la conexión: ") + QString::number(numero) + QChar(13) +
                            socket_.errorString();
    socket_.abort();
    Q_EMIT ErrorConexion(mensaje);
}

void EnlaceServidor::Despedirse()
{
    if (despidiendo_)
        return;
    despidiendo_ = true;
    if (!Conectado()) {
        socket_.abort();
        QTimer::singleShot(0, this, &EnlaceServidor::Despedido);
        return;
    }
    EnviarMensaje(0, QStringLiteral("M%Cerrando sesión"));
    QTimer::singleShot(pausaDespedidaMs, this, [this] {
        EnviarMensaje(0, QStringLiteral("I%Cerrando sesión"));
        QTimer::singleShot(pausaCierreMs, this, [this] {
            socket_.flush();
            socket_.disconnectFromHost();
            Q_EMIT Despedido();
        });
    });
}
