#include "apoyo/BancoVentana.h"
#include "comun/CodigoPagina.h"
#include "motor/EspejoControles.h"
#include "servidor/EnlaceServidor.h"
#include "servidor/VistaPizarra.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QtNetwork>
#include <QtTest>

using Accion = DespachoServidor::Accion;
Q_DECLARE_METATYPE(DespachoServidor::Accion)

namespace
{
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
        recibido.clear();
        lado->write(m);
    }
};
} // namespace

class TstServidor : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void despacho_data()
    {
        QTest::addColumn<QString>("mensaje");
        QTest::addColumn<Accion>("accion");
        QTest::addColumn<int>("cierreX"); // -2: no request; -1 (kNingunaCaja): for no till
        QTest::addColumn<int>("cierreZ");
        // clang-format off
        QTest::newRow("F si") << "F%Si" << Accion::EsperaCorta << -2 << -2;
        QTest::newRow("F otro") << "F%No" << Accion::Ignorar << -2 << -2;
        QTest::newRow("N") << "N%x" << Accion::Ignorar << -2 << -2;
        QTest::newRow("minuscula") << "h%hola" << Accion::Ignorar << -2 << -2;
        QTest::newRow("vacio") << "" << Accion::Ignorar << -2 << -2;
        QTest::newRow("cierre X caja 3") << "M%Se ha solicitado cierre X en la caja 3" << Accion::Cierres << 3 << -2;
        QTest::newRow("cierre z mayusculas") << "M%SE HA SOLICITADO CIERRE Z caja 12" << Accion::Cierres << -2 << 12;
        QTest::newRow("sin numero es caja 0") << "M%Se ha solicitado cierre X" << Accion::Cierres << 0 << -2;
        QTest::newRow("ultimo numero") << "M%Caja 9: Se ha solicitado cierre Z 2 de la caja 4" << Accion::Cierres << -2 << 4;
        QTest::newRow("no es un numero") << "M%Se ha solicitado cierre Z caja 3.5" << Accion::Cierres << -2 << -1;
        QTest::newRow("ambos") << "M%se ha solicitado cierre x y se ha solicitado cierre z, caja 3" << Accion::Cierres << 3 << 3;
        QTest::newRow("M sin cierre") << "M%hola caja 3" << Accion::Cierres << -2 << -2;
        // clang-format on
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
        QTextDocument doc;
        VistaPizarra vista(doc);
        p.IniciarPizarra();
        vista.Iniciar(p.Rtf());
        const int cabeza = doc.blockCount();
        auto marca = [](int i) { return QStringLiteral("<%1>").arg(i); };
        for (int i = 0; i < lineas; ++i) {
            p.ChatServidor(marca(i) + QString(largo - marca(i).size(), QLatin1Char('x')));
            vista.Agregar(p.HtmlLinea(p.UltimaLinea()), p.Quitadas());
        }
        // The oldest kept line is the first after the heading on the screen.
        QCOMPARE(p.Lineas(), quedan);
        QCOMPARE(doc.blockCount(), cabeza + quedan);
        QVERIFY(doc.findBlockByNumber(cabeza).text().contains(marca(lineas - quedan)));
        QVERIFY(doc.lastBlock().text().contains(marca(lineas - 1)));
        QVERIFY(!doc.isUndoAvailable());
        QVERIFY(p.Rtf().size() <= p.Cabeza().size() + Pizarra::kMaxTexto + 3);
    }

    void pizarraEco()
    {
        // What the robot sends shows on the board only while the window is
        // shown; an H% answer never does.
        Pizarra p;
        p.IniciarPizarra();
        p.ChatServidor(QStringLiteral("hola caja"));
        const QString antes = p.Rtf();
        p.Eco(QStringLiteral("M%Cerrando sesión"), QString(), false);
        QCOMPARE(p.Rtf(), antes);
        p.Eco(QStringLiteral("H%no"), QString(), true);
        QCOMPARE(p.Rtf(), antes);
        p.Eco(QStringLiteral("M%Cerrando sesión"), QString(), true);
        QVERIFY(p.Rtf().endsWith(
            QStringLiteral("hola caja\\cf3   dice:\\par \\cf0         Cerrando sesión}\r\n")));
    }

    void pizarraEscapa_data()
    {
        // A chat text shows as it came (in the HTML: blanks as &nbsp;), and
        // never hides what follows it.
        QTest::addColumn<QString>("cuerpo");
        QTest::newRow("grupo cerrado") << "}}}}_\\par_\\cf3_hola";
        QTest::newRow("barra final") << "abc\\";
        QTest::newRow("fuera de la pagina") << "中文_😀_€";
    }
    void pizarraEscapa()
    {
        QFETCH(QString, cuerpo);
        Pizarra p;
        p.IniciarPizarra();
        p.ChatServidor(QString(cuerpo).replace('_', ' '));
        p.ChatServidor(QStringLiteral("siguiente"));
        const QString html = Pizarra::AHtml(p.Rtf());
        QVERIFY2(html.contains(cuerpo.replace('_', "&nbsp;") + "</span>"), qPrintable(html));
        QVERIFY(html.endsWith("siguiente</span>"));
    }

    void conversacion()
    {
        // On the wire: the registration, the answer to an empty "H%", a chat
        // line in Windows-1252, the order to quit. (More in tst_dia.)
        Par par;
        QVERIFY(par.Conectar());
        QSignalSpy pizarra(&par.enlace, &EnlaceServidor::PizarraLinea);
        QSignalSpy salir(&par.enlace, &EnlaceServidor::OrdenSalir);
        par.Decir("B%");
        const QByteArray equipo = QHostInfo::localHostName().toLatin1();
        QTRY_VERIFY(par.recibido.startsWith("L%" + equipo + ";127.0.0.1;"));
        QVERIFY(par.recibido.endsWith(";Rovend Fiscal;Local;Rovend;"));
        par.Decir("H%");
        QTRY_COMPARE(par.recibido, QByteArray("H%"));
        par.Decir("H%Buenos d\xed"
                  "as");
        QTRY_COMPARE(pizarra.size(), 1);
        QVERIFY(pizarra.at(0).at(0).toString().contains(QString::fromUtf8("Buenos&nbsp;días")));
        par.Decir("X%");
        QTRY_COMPARE(salir.size(), 1);
        QVERIFY(par.recibido.isEmpty()); // no goodbye
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
        Robot* r = b.robot.get();
        const QStringList botones = {"Command13556", "Command6", "Command7"};
        const std::function<void()> clics[] = {[r] { r->Command13556_Click(); },
                                               [r] { r->Command6_Click(); },
                                               [r] { r->Command7_Click(); }};
        auto quieto = [&] {
            return !espejo.EnCurso(botones[0]) && !espejo.EnCurso(botones[1]) &&
                   !espejo.EnCurso(botones[2]);
        };
        for (const QChar c : pedidos) {
            if (const int i = QStringLiteral("XZO").indexOf(c); i >= 0)
                espejo.Pedir(r, botones[i], clics[i]);
            if (c == '|' || c == 'O')
                QTRY_VERIFY_WITH_TIMEOUT(quieto() && espejo.Habilitado("Command6") == (c == '|'),
                                         20000);
        }
        QTRY_VERIFY_WITH_TIMEOUT(quieto(), 20000);
        QList<DocumentoImpreso::Tipo> tipos;
        for (const DocumentoImpreso& d : b.sim.documentos())
            tipos << d.tipo;
        QCOMPARE(tipos.count(DocumentoImpreso::Tipo::CierreX), x);
        QCOMPARE(tipos.count(DocumentoImpreso::Tipo::CierreZ), z);
    }

    void despedidaSinEnlace()
    {
        // Nothing to say, and no wait. (The goodbye on a link: tst_dia.)
        EnlaceServidor enlace(1);
        QSignalSpy fin(&enlace, &EnlaceServidor::Despedido);
        enlace.Despedirse();
        QVERIFY(fin.wait(1000));
    }
};

QTEST_MAIN(TstServidor)
#include "tst_servidor.moc"
