#include "apoyo/BancoVentana.h"
#include "servidor/DespachoServidor.h"
#include "servidor/EnlaceServidor.h"
#include "motor/EspejoControles.h"
#include "servidor/Pizarra.h"
#include "servidor/VistaPizarra.h"

#include "comun/CodigoPagina.h"

#include <QHostInfo>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

using Accion = DespachoServidor::Accion;
namespace
{
// Whether the braces of an RTF text pair up, escapes aside.
bool Equilibrada(const QString& rtf)
{
    int profundidad = 0;
    for (qsizetype i = 0; i < rtf.size(); ++i) {
        if (rtf.at(i) == QLatin1Char('\\'))
            ++i;
        else if (rtf.at(i) == QLatin1Char('{'))
            ++profundidad;
        else if (rtf.at(i) == QLatin1Char('}') && --profundidad < 0)
            return false;
    }
    return profundidad == 0;
}

QString ComoHtml(QString texto)
{
    return texto.replace(QLatin1Char('&'), QStringLiteral("&amp;"))
        .replace(QLatin1Char('<'), QStringLiteral("&lt;"))
        .replace(QLatin1Char(' '), QStringLiteral("&nbsp;"));
}

// The closing runs the simulator printed.
int Cierres(const SimuladorEnHilo& sim, DocumentoImpreso::Tipo tipo)
{
    int n = 0;
    for (const DocumentoImpreso& d : sim.documentos())
        n += d.tipo == tipo;
    return n;
}
} // namespace

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
        QTest::addColumn<int>("cierreX"); // -2: no request; -1 (kNingunaCaja): for no till
        QTest::addColumn<int>("cierreZ");
        QTest::newRow("vivo") << "0%" << Accion::ResponderVivo << -2 << -2;
        QTest::newRow("vivo con cuerpo") << "0%abc" << Accion::ResponderVivo << -2 << -2;
        QTest::newRow("saludo") << "B%hola" << Accion::Registrar << -2 << -2;
        QTest::newRow("H solo") << "H%" << Accion::ResponderH << -2 << -2;
        QTest::newRow("charla") << "H%buenas" << Accion::Charla << -2 << -2;
        QTest::newRow("salir") << "X%" << Accion::Salir << -2 << -2;
        QTest::newRow("F si") << "F%Si" << Accion::EsperaCorta << -2 << -2;
        QTest::newRow("F otro") << "F%No" << Accion::Ignorar << -2 << -2;
        QTest::newRow("I") << "I%x" << Accion::Ignorar << -2 << -2;
        QTest::newRow("N") << "N%x" << Accion::Ignorar << -2 << -2;
        QTest::newRow("minuscula") << "h%hola" << Accion::Ignorar << -2 << -2;
        QTest::newRow("x minuscula") << "x%" << Accion::Ignorar << -2 << -2;
        QTest::newRow("vacio") << "" << Accion::Ignorar << -2 << -2;
        QTest::newRow("cierre X caja 3") << "M%Se ha solicitado cierre X en la caja 3" << Accion::Cierres << 3 << -2;
        QTest::newRow("cierre z mayusculas") << "M%SE HA SOLICITADO CIERRE Z caja 12" << Accion::Cierres << -2 << 12;
        QTest::newRow("sin numero es caja 0") << "M%Se ha solicitado cierre X" << Accion::Cierres << 0 << -2;
        QTest::newRow("ultimo numero") << "M%Caja 9: Se ha solicitado cierre Z 2 de la caja 4" << Accion::Cierres << -2 << 4;
        QTest::newRow("ambos") << "M%se ha solicitado cierre x y se ha solicitado cierre z, caja 3"
                               << Accion::Cierres << 3 << 3;
        QTest::newRow("M sin cierre") << "M%hola caja 3" << Accion::Cierres << -2 << -2;
    }
    void despacho()
    {
        QFETCH(QString, mensaje);
        QFETCH(Accion, accion);
        QFETCH(int, cierreX);
        QFETCH(int, cierreZ);
        const auto r = DespachoServidor::Despachar(mensaje);
        QCOMPARE(r.accion, accion);
        QCOMPARE(r.cierreX.value_or(-2), cierreX);
        QCOMPARE(r.cierreZ.value_or(-2), cierreZ);
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

    void pizarraLimite_data()
    {
        // Lines sent one after another: the board keeps the newest within its
        // bounds, and the window's document shows exactly those.
        QTest::addColumn<int>("lineas");
        QTest::addColumn<int>("largo");
        QTest::addColumn<int>("quedan");
        QTest::newRow("pocas") << 10 << 20 << 10;
        QTest::newRow("tope de lineas") << Pizarra::kMaxLineas + 100 << 20 << Pizarra::kMaxLineas;
        // 16000 characters and the 38 of the heading each: 16 fit in 256 KB.
        QTest::newRow("tope de tamano") << 100 << 16000 << 16;
        // Cut to 16 KB each, so a few still fit.
        QTest::newRow("lineas enormes") << 5 << 300000 << 5;
    }
    void pizarraLimite()
    {
        QFETCH(int, lineas);
        QFETCH(int, largo);
        QFETCH(int, quedan);
        Pizarra p;
        QTextDocument documento;
        VistaPizarra vista(documento);
        p.IniciarPizarra();
        vista.Iniciar(p.Rtf());
        const int cabeza = documento.blockCount();
        for (int i = 0; i < lineas; ++i) {
            const QString marca = QStringLiteral("<%1>").arg(i);
            p.ChatServidor(marca + QString(largo - marca.size(), QLatin1Char('x')));
            vista.Agregar(p.HtmlLinea(p.UltimaLinea()), p.Quitadas());
        }
        QCOMPARE(p.Lineas(), quedan);
        QVERIFY(p.Rtf().size() <= p.Cabeza().size() + Pizarra::kMaxTexto + 3);
        QVERIFY(Equilibrada(p.Rtf()));
        // The oldest kept line and the newest, in the board and on the screen.
        const QString primera = QStringLiteral("<%1>").arg(lineas - quedan);
        const QString ultima = QStringLiteral("<%1>").arg(lineas - 1);
        QVERIFY(p.Rtf().contains(primera));
        QVERIFY(lineas == quedan || !p.Rtf().contains(QStringLiteral("<%1>").arg(lineas - quedan - 1)));
        QCOMPARE(documento.blockCount(), cabeza + quedan);
        QVERIFY(documento.findBlockByNumber(cabeza).text().contains(primera));
        QVERIFY(documento.lastBlock().text().contains(ultima));
        QVERIFY(documento.firstBlock().text().contains(QStringLiteral("Recibiendo")));
        QVERIFY(!documento.isUndoAvailable());
    }

    void pizarraEscapa_data()
    {
        // A chat text shows as it came, and never hides what follows it.
        QTest::addColumn<QString>("cuerpo");
        QTest::newRow("tabla de fuentes") << "{{{{\\fonttbl x";
        QTest::newRow("grupo cerrado") << "}}}} \\par \\cf3 hola";
        QTest::newRow("barra final") << "abc\\";
        QTest::newRow("documento rtf") << "{\\rtf1 {\\colortbl;\\red255;} x}";
        QTest::newRow("fuera de la pagina") << QString::fromUtf8("\u4e2d\u6587 \U0001F600 \u20ac");
    }
    void pizarraEscapa()
    {
        QFETCH(QString, cuerpo);
        Pizarra p;
        p.IniciarPizarra();
        p.ChatServidor(cuerpo);
        p.ChatServidor(QStringLiteral("siguiente"));
        QVERIFY(Equilibrada(p.Rtf()));
        const QString html = Pizarra::AHtml(p.Rtf());
        QVERIFY2(html.contains(ComoHtml(cuerpo)), qPrintable(html));
        QVERIFY2(html.contains(QStringLiteral("siguiente")), qPrintable(html));
        QCOMPARE(Pizarra::AHtml(p.Cabeza() + p.UltimaLinea() + "}").count(QStringLiteral("siguiente")), 1);
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
        QSignalSpy pizarra(&par.enlace, &EnlaceServidor::PizarraLinea);
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
        QCOMPARE(pizarra.size(), 1);
        QVERIFY(pizarra.last().at(0).toString().contains(QString::fromUtf8("Buenos&nbsp;días")));

        // (Each arrival is one message, so one request at a time here; the
        // till numbers are covered by the dispatch rows.)
        par.Decir("M%Se ha solicitado cierre Z caja 3");
        QTRY_COMPARE(cierres.size(), 1);
        QCOMPARE(cierres.at(0).at(0).toBool(), true);

        par.Decir("X%");
        QTRY_COMPARE(salir.size(), 1);
        QVERIFY(!par.recibido.contains("Cerrando"));
    }

    void rafaga_data()
    {
        // Closing requests as the link hands them over (X, Z), a wait until
        // the robot is idle (|), and the options panel opened (O), which
        // disables the closing buttons.
        QTest::addColumn<QString>("pedidos");
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("z");
        QTest::newRow("20 Z") << QString(20, QLatin1Char('Z')) << 0 << 1;
        QTest::newRow("X y Z alternados") << QStringLiteral("XZXZXZXZXZXZXZXZXZXZ") << 1 << 1;
        QTest::newRow("otra tras terminar") << QStringLiteral("ZZZZZ|ZZZZZ|X") << 1 << 2;
        QTest::newRow("botones deshabilitados") << QStringLiteral("OZZZXXX") << 0 << 0;
    }
    void rafaga()
    {
        // A burst runs one closing of each kind: the mirror of the buttons
        // lags the robot, so the requests still queued count too.
        QFETCH(QString, pedidos);
        QFETCH(int, x);
        QFETCH(int, z);
        BancoVentana b;
        EspejoControles espejo(b.p());
        QVERIFY(b.Arrancar());
        Robot* robot = b.robot.get();
        const QStringList botones = {"Command13556", "Command6", "Command7"};
        auto quieto = [&] {
            return std::none_of(botones.begin(), botones.end(),
                                [&](const QString& c) { return espejo.EnCurso(c); });
        };
        for (const QChar c : pedidos) {
            if (c == QLatin1Char('|')) {
                QTRY_VERIFY_WITH_TIMEOUT(quieto(), 20000);
            } else if (c == QLatin1Char('O')) {
                QVERIFY(espejo.Pedir(robot, "Command7", [robot] { robot->Command7_Click(); }));
                QTRY_VERIFY_WITH_TIMEOUT(quieto() && !espejo.Habilitado("Command6"), 20000);
            } else {
                const bool esZ = c == QLatin1Char('Z');
                espejo.Pedir(robot, esZ ? "Command6" : "Command13556", [robot, esZ] {
                    esZ ? robot->Command6_Click() : robot->Command13556_Click();
                });
            }
        }
        QTRY_VERIFY_WITH_TIMEOUT(quieto(), 20000);
        QCOMPARE(Cierres(b.sim, DocumentoImpreso::Tipo::CierreX), x);
        QCOMPARE(Cierres(b.sim, DocumentoImpreso::Tipo::CierreZ), z);
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

QTEST_MAIN(TstServidor)
#include "tst_servidor.moc"
