#include "DespachoServidor.h"
#include "EnlaceServidor.h"
#include "Pizarra.h"

#include "CodigoPagina.h"

#include <QHostInfo>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using Accion = DespachoServidor::Accion;
Q_DECLARE_METATYPE(DespachoServidor::Accion)

class TstServidor : public QObject
{
    Q_OBJECT

    // A server on loopback and the robot's link connected to it.
    struct Par {
        QTcpServer servidor;
        EnlaceServidor enlace{3};
        QTcpSocket* lado = nullptr;
        QByteArray recibido;

        bool Conectar()
        {
            if (!servidor.listen(QHostAddress::LocalHost))
                return false;
            enlace.ConectarServidor(QStringLiteral("127.0.0.1"), servidor.serverPort());
            if (!servidor.waitForNewConnection(5000))
                return false;
            lado = servidor.nextPendingConnection();
            QObject::connect(lado, &QTcpSocket::readyRead, [this] { recibido += lado->readAll(); });
            return QTest::qWaitFor([this] { return enlace.Conectado(); }, 5000);
        }
        void Decir(const QByteArray& m)
        {
            lado->write(m);
            lado->flush();
        }
    };

private Q_SLOTS:
    void despacho_data()
    {
        QTest::addColumn<QString>("mensaje");
        QTest::addColumn<Accion>("accion");
        QTest::addColumn<int>("cierreX"); // -1: no request
        QTest::addColumn<int>("cierreZ");
        QTest::newRow("vivo") << "0%" << Accion::ResponderVivo << -1 << -1;
        QTest::newRow("vivo con cuerpo") << "0%abc" << Accion::ResponderVivo << -1 << -1;
        QTest::newRow("saludo") << "B%hola" << Accion::Registrar << -1 << -1;
        QTest::newRow("H solo") << "H%" << Accion::ResponderH << -1 << -1;
        QTest::newRow("charla") << "H%buenas" << Accion::Charla << -1 << -1;
        QTest::newRow("salir") << "X%" << Accion::Salir << -1 << -1;
        QTest::newRow("F si") << "F%Si" << Accion::EsperaCorta << -1 << -1;
        QTest::newRow("F otro") << "F%No" << Accion::Ignorar << -1 << -1;
        QTest::newRow("I") << "I%x" << Accion::Ignorar << -1 << -1;
        QTest::newRow("N") << "N%x" << Accion::Ignorar << -1 << -1;
        QTest::newRow("minuscula") << "h%hola" << Accion::Ignorar << -1 << -1;
        QTest::newRow("x minuscula") << "x%" << Accion::Ignorar << -1 << -1;
        QTest::newRow("vacio") << "" << Accion::Ignorar << -1 << -1;
        QTest::newRow("cierre X caja 3") << "M%Se ha solicitado cierre X en la caja 3" << Accion::Cierres << 3 << -1;
        QTest::newRow("cierre z mayusculas") << "M%SE HA SOLICITADO CIERRE Z caja 12" << Accion::Cierres << -1 << 12;
        QTest::newRow("sin numero es caja 0") << "M%Se ha solicitado cierre X" << Accion::Cierres << 0 << -1;
        QTest::newRow("ultimo numero") << "M%Caja 9: Se ha solicitado cierre Z 2 de la caja 4" << Accion::Cierres << -1 << 4;
        QTest::newRow("ambos") << "M%se ha solicitado cierre x y se ha solicitado cierre z, caja 3"
                               << Accion::Cierres << 3 << 3;
        QTest::newRow("M sin cierre") << "M%hola caja 3" << Accion::Cierres << -1 << -1;
    }
    void despacho()
    {
        QFETCH(QString, mensaje);
        QFETCH(Accion, accion);
        QFETCH(int, cierreX);
        QFETCH(int, cierreZ);
        const auto r = DespachoServidor::Despachar(mensaje);
        QCOMPARE(r.accion, accion);
        QCOMPARE(r.cierreX.value_or(-1), cierreX);
        QCOMPARE(r.cierreZ.value_or(-1), cierreZ);
    }

    void pizarra()
    {
        Pizarra p;
        p.IniciarPizarra();
        QVERIFY(p.Rtf().startsWith("{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang3082{\\fonttbl"));
        QVERIFY(p.Rtf().endsWith("\\cf3 .\\cf4 .\\cf5 .\\cf1 .\\cf0 .\\cf6 .}\r\n"));
        p.ChatServidor("hola caja");
        QVERIFY(p.Rtf().endsWith("\\cf6 .\\cf1  Servidor dice:\\par \\cf2         hola caja}\r\n"));
        const QString antes = p.Rtf();
        p.Eco("M%Cerrando sesión", QString(), false); // window hidden: no echo, board kept
        QCOMPARE(p.Rtf(), antes);
        p.Eco("M%Cerrando sesión", QString(), true);
        QVERIFY(p.Rtf().endsWith("hola caja\\cf3   dice:\\par \\cf0         Cerrando sesión}\r\n"));
        p.Eco("H%no", QString(), true); // never echoed
        QVERIFY(p.Rtf().endsWith("Cerrando sesión}\r\n"));

        const QString html = Pizarra::AHtml(p.Rtf());
        QVERIFY2(html.contains("<span style=\"color:#646400\">&nbsp;Servidor&nbsp;dice:<br></span>"
                               "<span style=\"color:#646464\">&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;hola"),
                 qPrintable(html));
        QVERIFY(html.contains("<br>"));
        QVERIFY(html.contains("hola&nbsp;caja"));
        QVERIFY(!html.contains("Sans")); // the font table is not text
        QVERIFY(!html.contains("rtf"));
    }

    void pizarraNoSeRompe_data()
    {
        QTest::addColumn<QString>("rtf");
        QTest::newRow("vacio") << "";
        QTest::newRow("llaves sueltas") << "}}}{{{";
        QTest::newRow("barra final") << "abc\\";
        QTest::newRow("escape corto") << "\\'";
        QTest::newRow("color inexistente") << "{\\colortbl ;}\\cf99 x\\cf-3 y";
        QTest::newRow("tabla sin cerrar") << "{\\colortbl ;\\red999999999999\\green-5;";
    }
    void pizarraNoSeRompe()
    {
        QFETCH(QString, rtf);
        Pizarra::AHtml(rtf); // must simply return
        Pizarra p;
        p.Guardar(rtf);
        p.TomarPizarra();
        QCOMPARE(p.Rtf(), QString());
    }

    void conversacion()
    {
        Par par;
        QVERIFY(par.Conectar());
        QSignalSpy pizarra(&par.enlace, &EnlaceServidor::PizarraCambiada);
        QSignalSpy cierres(&par.enlace, &EnlaceServidor::SolicitudCierre);
        QSignalSpy salir(&par.enlace, &EnlaceServidor::OrdenSalir);

        par.Decir("B%");
        QTRY_VERIFY(par.recibido.startsWith("L%" + QHostInfo::localHostName().toLatin1() + ";127.0.0.1;"));
        QVERIFY(par.recibido.endsWith(";Rovend Fiscal;Local;Rovend;"));
        par.recibido.clear();

        par.Decir("0%sigues?");
        QTRY_COMPARE(par.recibido, QByteArray("0%"));
        par.recibido.clear();
        par.Decir("H%");
        QTRY_COMPARE(par.recibido, QByteArray("H%"));
        par.recibido.clear();

        par.Decir("H%Buenos d\xed" "as"); // Windows-1252 on the wire
        QTRY_VERIFY(par.enlace.pizarra().Rtf().contains(QString::fromUtf8("Buenos días}")));
        QCOMPARE(pizarra.last().at(0).toString(), par.enlace.pizarra().Rtf());

        // (Each arrival is one message, so one request at a time here; the
        // till numbers are covered by the dispatch rows.)
        par.Decir("M%Se ha solicitado cierre Z caja 3");
        QTRY_COMPARE(cierres.size(), 1);
        QCOMPARE(cierres.at(0).at(0).toBool(), true);

        par.Decir("X%");
        QTRY_COMPARE(salir.size(), 1);
        QVERIFY(!par.recibido.contains("Cerrando"));
    }

    void despedida()
    {
        Par par;
        QVERIFY(par.Conectar());
        par.enlace.pausaDespedidaMs = 50;
        QSignalSpy fin(&par.enlace, &EnlaceServidor::Despedido);
        par.enlace.Despedirse();
        QTRY_COMPARE(fin.size(), 1);
        QTRY_COMPARE(par.recibido, CodigoPagina::ABytes(QString::fromUtf8("M%Cerrando sesiónI%Cerrando sesión")));
        QTRY_VERIFY(par.lado->state() != QAbstractSocket::ConnectedState ||
                    par.enlace.Conectado() == false);
    }

    void despedidaSinEnlace()
    {
        EnlaceServidor enlace(1);
        QSignalSpy fin(&enlace, &EnlaceServidor::Despedido);
        enlace.Despedirse(); // nothing to say, and no wait
        QVERIFY(fin.wait(1000));
    }

    void rechazo()
    {
        QTcpServer libre;
        QVERIFY(libre.listen(QHostAddress::LocalHost));
        const quint16 puerto = libre.serverPort();
        libre.close(); // nobody listens there now
        EnlaceServidor enlace(1);
        QSignalSpy rechazada(&enlace, &EnlaceServidor::ConexionRechazada);
        enlace.ConectarServidor("127.0.0.1", puerto);
        QVERIFY(rechazada.wait(5000));
        QCOMPARE(rechazada.at(0).at(0).toString(), QString::fromUtf8(EnlaceServidor::kMensajeRechazo));
    }

    void servidorCierra()
    {
        // A server that drops the link: no message, no shutdown.
        Par par;
        QVERIFY(par.Conectar());
        QSignalSpy error(&par.enlace, &EnlaceServidor::ErrorConexion);
        par.lado->disconnectFromHost();
        QTRY_VERIFY(!par.enlace.Conectado());
        QCOMPARE(error.size(), 0);
    }

    void numerosDeError()
    {
        QCOMPARE(EnlaceServidor::NumeroError(QAbstractSocket::ConnectionRefusedError), 10061);
        QCOMPARE(EnlaceServidor::NumeroError(QAbstractSocket::SocketTimeoutError), 10060);
        QCOMPARE(EnlaceServidor::NumeroError(QAbstractSocket::RemoteHostClosedError), 10054);
        QCOMPARE(EnlaceServidor::NumeroError(QAbstractSocket::HostNotFoundError), 11001);
    }
};

QTEST_GUILESS_MAIN(TstServidor)
#include "tst_servidor.moc"
