#include "apoyo/BancoVentana.h"
#include "comun/CodigoPagina.h"
#include "impresora/EnlaceImpresora.h"
#include "impresora/Protocolo.h"

#include <QSignalSpy>
#include <QTest>

using namespace Protocolo;

namespace
{
// List2's entry of a command: STX, the sequence byte, the command ('|' for
// FS), ETX.
bool Enmarcado(const QString& entrada, QByteArray comando)
{
    const QByteArray b = CodigoPagina::ABytes(entrada);
    return b.size() == comando.size() + 3 && b.at(0) == STX &&
           b.mid(2) == comando.replace('|', FS) + ETX;
}

// List1's entry of the printer's good answer to that command: STX, the same
// sequence byte, ..., ETX and four checksum digits.
bool Responde(const QString& respuesta, const QString& comando)
{
    const QByteArray r = CodigoPagina::ABytes(respuesta);
    return r.size() > 7 && r.at(0) == STX && r.at(1) == CodigoPagina::ABytes(comando).at(1) &&
           r.at(r.size() - 5) == ETX && !r.contains("ERROR");
}

const QString kFallo = CodigoPagina::ATexto(EnlaceImpresora::RespuestaError());
const QStringList kEnMarcha = {"Command13", "Command13556", "Command14", "Command3",
                               "Command4",  "Command5",     "Command6",  "Command7"};
} // namespace

// Each test starts a robot on the simulator, in the test's thread.
class TstOperador : public QObject
{
    Q_OBJECT
    std::unique_ptr<BancoVentana> b;
    QStringList L1() const { return b->p().Lista("List1"); }
    QStringList L2() const { return b->p().Lista("List2"); }
    // The operator buttons and "Cerrar" that are enabled, sorted.
    QStringList Habilitados() const
    {
        QStringList si = Pantalla::BotonesOperador() + QStringList{"Command10"};
        si.removeIf([this](const QString& c) { return !b->p().Habilitado(c); });
        si.sort();
        return si;
    }

  private Q_SLOTS:
    void init()
    {
        b = std::make_unique<BancoVentana>();
        QVERIFY(b->IniciarAqui());
    }
    void cleanup() { b.reset(); }

    void cierres_data()
    {
        QTest::addColumn<bool>("z");
        QTest::addColumn<bool>("silencio");
        QTest::newRow("Z") << true << false;
        QTest::newRow("Z sin respuesta") << true << true;
        QTest::newRow("X") << false << false;
    }
    void cierres()
    {
        QFETCH(bool, z);
        QFETCH(bool, silencio);
        const int antes = b->sim.contadores().z;
        QVERIFY(!silencio || b->sim.control("silencio on").ok);
        z ? b->robot->Command6_Click() : b->robot->Command13556_Click();

        QVERIFY(L1().size() == 1 && L2().size() == 1 && Enmarcado(L2()[0], z ? "9|Z" : "9|X"));
        QVERIFY(silencio ? L1()[0] == kFallo : Responde(L1()[0], L2()[0]));
        const auto tipo = z ? DocumentoImpreso::Tipo::CierreZ : DocumentoImpreso::Tipo::CierreX;
        QVERIFY(silencio || b->sim.documentos().last().tipo == tipo);
        const int despues = antes + (z && !silencio ? 1 : 0);
        QCOMPARE(b->sim.contadores().z, despues);
        QVERIFY(silencio || b->p().Etiqueta(5) == QString::number(despues).rightJustified(4, '0'));
        // The robot polls again afterwards, "Cerrar" still grey.
        QVERIFY(b->robot->TimerActivo() && b->p().Timer());
        QCOMPARE(Habilitados(), kEnMarcha);
    }

    void estado_data()
    {
        QTest::addColumn<QString>("codigo"); // empty: the printer is silent
        QTest::addColumn<QStringList>("avisos");
        QTest::addColumn<QStringList>("habilitados");
        QTest::addColumn<bool>("bloqueo");
        const QStringList cierres{"Command10", "Command13556", "Command6"};
        const QStringList critico{"Error Crítico.", "Error en formato de fecha.",
                                  "Comuníquese con servicio técnico."};
        const QStringList cerrar{"Command10"};
        // clang-format off
        QTest::newRow("00") << "00" << QStringList{"Impresora lista..."} << kEnMarcha << false;
        QTest::newRow("04") << "04" << QStringList{"Debe hacer reporte Z"} << cierres << true;
        QTest::newRow("08") << "08" << QStringList{"Equipo bloqueado.", "Debe hacer reporte Z"} << cierres << true;
        QTest::newRow("12") << "12" << critico << cerrar << true;
        QTest::newRow("sin respuesta") << "" << QStringList{kFallo} << cerrar << false;
        // clang-format on
    }
    void estado()
    {
        QFETCH(QString, codigo);
        QFETCH(QStringList, avisos);
        QFETCH(QStringList, habilitados);
        QFETCH(bool, bloqueo);
        MaquinaFiscal::Contadores c = b->sim.contadores();
        c.ultimaFactura = 4711;
        c.ultimaNotaCredito = 12;
        c.z = 33;
        b->sim.ponerContadores(c);
        QVERIFY(b->sim.control(codigo.isEmpty() ? "silencio on" : "estado " + codigo).ok);
        QSignalSpy restaurada(&b->p(), &Pantalla::VentanaRestaurada);
        b->robot->Command13_Click();

        // Silent: the second query is not even sent. A lock clears the
        // replies away; otherwise they stay above.
        QCOMPARE(L2().size(), codigo.isEmpty() ? 1 : 2);
        QCOMPARE(L1().mid(bloqueo || codigo.isEmpty() ? 0 : 2), avisos);
        if (!codigo.isEmpty()) {
            QVERIFY(Enmarcado(L2()[0], "8|N") && Enmarcado(L2()[1], "8|T"));
            QVERIFY(bloqueo || (Responde(L1()[0], L2()[0]) && Responde(L1()[1], L2()[1])));
            QCOMPARE(b->p().Etiqueta(4) + b->p().Etiqueta(5) + b->p().Etiqueta(6), "00004711"
                                                                                   "0033"
                                                                                   "00000012");
        }
        QCOMPARE(Habilitados(), habilitados);
        QCOMPARE(b->robot->TimerActivo(), codigo == "00");
        QCOMPARE(restaurada.size(), bloqueo ? 1 : 0); // the window comes back
    }

    void resetear_data()
    {
        QTest::addColumn<bool>("silencio");
        QTest::newRow("con exito") << false;
        QTest::newRow("sin respuesta") << true;
    }
    void resetear()
    {
        QFETCH(bool, silencio);
        QVERIFY(!silencio || b->sim.control("silencio on").ok);
        b->robot->Command14_Click();
        QVERIFY(L1().size() == 2 && L2().size() == 2);
        QCOMPARE(L2()[0], QStringLiteral("Iniciando reset..."));
        QVERIFY(Enmarcado(L2()[1], MaquinaFiscal::ComandoReset())); // the 17 bytes
        QVERIFY(silencio ? L1()[0] == kFallo : Responde(L1()[0], L2()[1]));
        QCOMPARE(L1()[1], silencio ? QStringLiteral("No se pudo realizar el reset.")
                                   : QStringLiteral("Reset realizado con éxito."));
        QCOMPARE(b->p().Habilitado("Command10"), silencio);
        QVERIFY(b->robot->TimerActivo());
    }

    void tareas_data()
    {
        QTest::addColumn<int>("tarea");
        QTest::addColumn<QString>("campos");      // Combo1|Encabezado|Combo2|Pié|Zinic|Zfinic
        QTest::addColumn<QByteArray>("comandos"); // one a line, '|' for FS; empty: none sent
        const QString nada = "1||1|||";
        // clang-format off
        QTest::newRow("cortar") << 0 << nada << QByteArray("K");
        QTest::newRow("avanzar") << 1 << nada << QByteArray("P|\x01");
        QTest::newRow("encabezado") << 2 << "2|  Café Ñandú, C.A. |1|||" << QByteArray("]|2|Cafe Nandu, C.A.|");
        QTest::newRow("pie 3") << 3 << "1|| 3|Gracias\tvuelva||" << QByteArray("^|3|Gracias vuelva|");
        QTest::newRow("fechas") << 4 << nada << QByteArray(":|240301|240331|D");
        QTest::newRow("documento de prueba") << 5 << nada << QByteArray("H\nI|Documento no fiscal de Prueba\nJ");
        QTest::newRow("Z 7 a 12") << 6 << "1||1||7|12" << QByteArray(";|0007|0012|\x7f");
        QTest::newRow("Z 12345") << 6 << "1||1||0|12345" << QByteArray(";|0000|12345|\x7f");
        QTest::newRow("Zfinic vacio") << 6 << "1||1||7|" << QByteArray();
        QTest::newRow("Z por fecha") << 7 << nada << QByteArray(":|240301|240331|C");
        QTest::newRow("mes") << 8 << nada << QByteArray(":|240301|240331|M");
        QTest::newRow("ninguna") << -1 << nada << QByteArray();
        // clang-format on
    }
    void tareas()
    {
        QFETCH(int, tarea);
        QFETCH(QString, campos);
        QFETCH(QByteArray, comandos);
        const QStringList c = campos.split('|');
        const auto enviados = comandos.isEmpty() ? QList<QByteArray>() : comandos.split('\n');
        b->robot->Command7_Click();
        const QStringList previo = L1();
        const int tramas = b->sim.estadisticas().tramas;
        const QDate ini(2024, 3, 1), fin(2024, 3, 31);
        b->robot->Command8_Click({tarea, c[0], c[1], c[2], c[3], ini, fin, c[4], c[5]});

        QCOMPARE(b->sim.estadisticas().tramas, tramas + int(enviados.size()));
        // The footer's two lines go above its reply.
        const QStringList pie{"Configurando pie de pag en Pto 3", "Valor: Gracias vuelva"};
        QCOMPARE(L1().mid(0, tarea == 3 ? 2 : 0), tarea == 3 ? pie : QStringList());
        const QStringList l1 = L1().mid(tarea == 3 ? 2 : 0);
        QVERIFY(enviados.isEmpty()
                    ? L1() == previo
                    : l1.size() == enviados.size() && L2().size() == enviados.size());
        for (qsizetype i = 0; i < enviados.size(); ++i) {
            QVERIFY2(Enmarcado(L2()[i], enviados[i]), qPrintable(L2()[i]));
            QVERIFY(Responde(l1[i], L2()[i])); // the printer took it
        }
        // Polling stays off until "Continuar" closes the panel.
        QVERIFY(b->p().Visible("Frame1") && !b->robot->TimerActivo());
    }
};

QTEST_GUILESS_MAIN(TstOperador)
#include "tst_operador.moc"
