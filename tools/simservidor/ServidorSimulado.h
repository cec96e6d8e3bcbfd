#pragma once

#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

// Plays the shop's server program for one robot: greets it ("B%"), takes its
// registration, sends keep-alive probes, and on command chat lines, closing
// requests and the order to quit. Logs every message both ways.
class ServidorSimulado : public QObject
{
    Q_OBJECT
public:
    explicit ServidorSimulado(QObject* parent = nullptr);

    bool Escuchar(quint16 puerto);
    quint16 Puerto() const { return servidor_.serverPort(); }
    // Seconds between keep-alive probes; 0 sends none.
    void PonerVivo(int segundos);
    // One control line: chat TEXT | cierre x|z N | salir | cerrar | enviar TEXT | vivo | H
    // Returns false for a line it does not know.
    bool Orden(const QString& linea);
    bool Conectado() const { return cliente_ && cliente_->state() == QAbstractSocket::ConnectedState; }

Q_SIGNALS:
    // Every message, "<" received and ">" sent, for the log.
    void Registro(const QString& linea);
    void Recibido(const QString& mensaje);
    void ClienteConectado();
    void ClienteDesconectado();

private:
    void Enviar(const QString& mensaje);

    QTcpServer servidor_;
    QPointer<QTcpSocket> cliente_;
    QTimer vivo_;
};
