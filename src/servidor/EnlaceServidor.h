#pragma once

#include "servidor/DespachoServidor.h"
#include "servidor/Pizarra.h"

#include <QObject>
#include <QTcpSocket>
#include <functional>

// The link to the shop's server program, on the main thread and driven by
// the socket's events: registration, keep-alive answers, chat lines on the
// board, closing requests for this till, the server's order to quit, and
// the goodbye when the robot closes. Each arrival of data is one message
// and each send is one message, as the server expects.
class EnlaceServidor : public QObject
{
    Q_OBJECT
public:
    explicit EnlaceServidor(int numeroCaja, QObject* parent = nullptr);

    void ConectarServidor(const QString& direccion, quint16 puerto);
    // Sends one message (the socket index is kept for the old callers' sake;
    // there is one socket). Echoes "M%", "D%" and "N%" on the board first.
    void EnviarMensaje(int indice, const QString& texto);
    // "M%Cerrando sesión", two seconds later "I%Cerrando sesión", a moment
    // later the socket closes; then Despedido. Messages go out only while
    // the link is connected; without a link Despedido comes at once.
    void Despedirse();

    bool Conectado() const;
    // Connected and answered the server's greeting with the registration.
    bool Registrado() const { return registrado_; }
    Pizarra& pizarra() { return pizarra_; }
    QString NombreEquipo() const { return nombreEquipo_; }
    QString IpLocal() const { return ipLocal_; }
    // Told whether the window shows itself (the board's echo needs it).
    std::function<bool()> VentanaVisible;
    // The speaker named in the echo of sent messages (no setting assigns it).
    QString Hablante;
    // Pause lengths of the goodbye (tests shorten them).
    int pausaDespedidaMs = 2000;
    int pausaCierreMs = 10;

    // The error number support staff know from the till's usual platform.
    static int NumeroError(QAbstractSocket::SocketError error);
    static QString Registro(const QString& equipo, const QString& ip, const QDateTime& momento);
    static constexpr char kMensajeRechazo[] =
        "No se pudo establecer conexión con el servidor. Por favor verifique. Si el problema "
        "persiste, por favor comuníquese con Corvena.";

Q_SIGNALS:
    // The board began again: its whole document.
    void PizarraIniciada(const QString& rtf);
    // A line was added to the board: the line as HTML, and how many of the
    // oldest lines it pushed out.
    void PizarraLinea(const QString& html, int quitadas);
    // A closing request for this till: false for X, true for Z.
    void SolicitudCierre(bool z);
    // The server refused the connection: the message, then the program ends at once.
    void ConexionRechazada(const QString& mensaje);
    // Any other socket error: the message, then the normal shutdown.
    void ErrorConexion(const QString& mensaje);
    // "X%": end at once, no goodbye.
    void OrdenSalir();
    void Despedido();
    // The link was made, lost or registered (for the status view).
    void EnlaceCambiado(bool conectado, bool registrado);

private:
    void AlLlegar();
    void AlFallar(QAbstractSocket::SocketError error);
    void Enviar(const QString& texto);
    void MostrarPizarra();
    void MostrarLinea();

    QTcpSocket socket_;
    Pizarra pizarra_;
    int numeroCaja_;
    QString nombreEquipo_;
    QString ipLocal_;
    bool despidiendo_ = false;
    bool fallado_ = false;
    bool registrado_ = false;
};
