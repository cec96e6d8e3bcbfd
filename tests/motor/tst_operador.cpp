#include "apoyo/BancoVentana.h"
#include "comun/CodigoPagina.h"
#include "impresora/EnlaceImpresora.h"
#include "impresora/Protocolo.h"

#include <QSignalSpy>
#include <QTest>

using namespace Protocolo;

namespace
{
// List2's form of a command: STX, the sequence byte, the command, ETX.
bool Enmarcado(const QString& entrada, const QByteArray& comando)
{
    const QByteArray b = CodigoPagina::ABytes(entrada);
    return b.size() == comando.size() + 3 && b.at(0) == STX && b.mid(2) == comando + ETX;
}

// The printer's answer to that command: STX, the same sequence byte, ...,
// ETX and four checksum digits.
bool Responde(const QString& respuesta, const QString& comando)
{
    const QByteArray r = CodigoPagina::ABytes(respuesta);
    return r.size() > 7 && r.at(0) == STX && r.at(1) == CodigoPagina::ABytes(comando).at(1) &&
           r.at(r.size() - 5) == ETX && !r.contains("ERROR");
}

const QString kFallo = CodigoPagina::ATexto(EnlaceImpresora::RespuestaError());
} // namespace

class TstOperador : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
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
        BancoVentana b;
        QVERIFY(b.IniciarAqui());
        const int numeroZ = b.sim.contadores().z;
        QVERIFY(!silencio || b.sim.control("silencio on").ok);
        if (z)
            b.robot->Command6_Click();
        else
            b.robot->Command13556_Click();

        const QStringList l1 = b.p().Lista("List1");
        const QStringList l2 = b.p().Lista("List2");
        QVERIFY(l1.size() == 1 && l2.size() == 1);
        QVERIFY(Enmarcado(l2.at(0), QByteArray("9") + FS + (z ? "Z" : "X")));
        if (silencio) {
            QCOMPARE(l1.at(0), kFallo);
            // EF grey, EI 2 and 3 orange, EI 14 and 15 green, the rest grey.
            QString leds;
            for (ColorLed c : b.p().LedsActuales())
                leds += QStringLiteral("gvrn").at(int(c));
            QCOMPARE(leds, QStringLiteral("ggggggggggggggggggnnggggggggggvv"));
        } else {
            QVERIFY(Responde(l1.at(0), l2.at(0)));
            const auto tipo = z ? DocumentoImpreso::Tipo::CierreZ : DocumentoImpreso::Tipo::CierreX;
            QCOMPARE(b.sim.documentos().last().tipo, tipo);
        }
        const int nuevoZ = numeroZ + (z && !silencio ? 1 : 0);
        QCOMPARE(b.sim.contadores().z, nuevoZ);
        QVERIFY(silencio || b.p().Etiqueta(5) == QString::number(nuevoZ).rightJustified(4, '0'));
        // The robot runs again afterwards, all buttons usable.
        QVERIFY(b.robot->TimerActivo() && b.p().Timer());
        for (const QString& boton : Pantalla::BotonesOperador())
            QVERIFY2(b.p().Habilitado(boton), qPrintable(boton));
    }

    void estado_data()
    {
        QTest::addColumn<QString>("codigo"); // empty: the printer is silent
        QTest::addColumn<QStringList>("avisos");
        QTest::addColumn<QStringList>("habilitados");
        QTest::addColumn<bool>("bloqueo");
        QStringList enMarcha = Pantalla::BotonesOperador();
        enMarcha.sort();
        const QStringList cierres{"Command10", "Command13556", "Command6"};
        QTest::newRow("00") << "00" << QStringList{"Impresora lista..."} << enMarcha << false;
        QTest::newRow("04") << "04" << QStringList{"Debe hacer reporte Z"} << cierres << true;
        QTest::newRow("08") << "08" << QStringList{"Equipo bloqueado.", "Debe hacer reporte Z"}
                            << cierres << true;
        QTest::newRow("12") << "12"
                            << QStringList{"Error Crítico.", "Error en formato de fecha.",
                                           "Comuníquese con servicio técnico."}
                            << QStringList{"Command10"} << true;
        QTest::newRow("sin respuesta")
            << "" << QStringList{kFallo} << QStringList{"Command10"} << false;
    }
    void estado()
    {
        QFETCH(QString, codigo);
        QFETCH(QStringList, avisos);
        QFETCH(QStringList, habilitados);
        QFETCH(bool, bloqueo);
        BancoVentana b;
        QVERIFY(b.IniciarAqui());
        MaquinaFiscal::Contadores c = b.sim.contadores();
        c.ultimaFactura = 4711;
        c.ultimaNotaCredito = 12;
        c.z = 33;
        b.sim.ponerContadores(c);
        QVERIFY(b.sim.control(codigo.isEmpty() ? "silencio on" : "estado " + codigo).ok);
        QSignalSpy restaurada(&b.p(), &Pantalla::VentanaRestaurada);
        b.robot->Command13_Click();

        const QStringList l1 = b.p().Lista("List1");
        const QStringList l2 = b.p().Lista("List2");
        if (codigo.isEmpty()) { // the second query is not even sent
            QCOMPARE(l2.size(), 1);
            QCOMPARE(l1, avisos);
        } else {
            QCOMPARE(l2.size(), 2);
            QVERIFY(Enmarcado(l2.at(0), QByteArray("8") + FS + "N"));
            QVERIFY(Enmarcado(l2.at(1), QByteArray("8") + FS + "T"));
            // A lock clears the replies away; otherwise they stay above.
            QCOMPARE(l1.mid(bloqueo ? 0 : 2), avisos);
            QVERIFY(bloqueo || (Responde(l1.at(0), l2.at(0)) && Responde(l1.at(1), l2.at(1))));
            QCOMPARE(QStringList({b.p().Etiqueta(4), b.p().Etiqueta(5), b.p().Etiqueta(6)}),
                     QStringList({"00004711", "0033", "00000012"}));
        }
        QCOMPARE(b.Habilitados(), habilitados);
        QCOMPARE(b.robot->TimerActivo(), codigo == "00");
        QCOMPARE(restaurada.size(), bloqueo ? 1 : 0);
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
        BancoVentana b;
        QVERIFY(b.IniciarAqui());
        QVERIFY(!silencio || b.sim.control("silencio on").ok);
        QStringList alEnviar; // List2 when the reset went out
        b.robot->enlace().AlTerminar = [&](const QByteArray&, const QByteArray&) {
            alEnviar = b.p().Lista("List2");
        };
        b.robot->Command14_Click();
        QCOMPARE(alEnviar, QStringList{"Iniciando reset..."});
        const QStringList l1 = b.p().Lista("List1");
        const QStringList l2 = b.p().Lista("List2");
        QVERIFY(l1.size() == 2 && l2.size() == 2);
        QVERIFY(Enmarcado(l2.at(1), MaquinaFiscal::ComandoReset())); // the 17 bytes
        QVERIFY(silencio ? l1.at(0) == kFallo : Responde(l1.at(0), l2.at(1)));
        QCOMPARE(l1.at(1), silencio ? QStringLiteral("No se pudo realizar el reset.")
                                    : QStringLiteral("Reset realizado con éxito."));
        QCOMPARE(b.p().Habilitado("Command10"), silencio);
        QVERIFY(b.robot->TimerActivo());
    }

    void tareas_data()
    {
        QTest::addColumn<int>("tarea");
        QTest::addColumn<QStringList>("campos"); // Combo1, Encabezado, Combo2, Pié, Zinic, Zfinic
        QTest::addColumn<QList<QByteArray>>("comandos"); // empty: nothing is sent
        QTest::addColumn<QStringList>("antes");          // List1 above the replies
        using L = QList<QByteArray>;
        const QStringList nada{"1", "", "1", "", "", ""};
        auto fechas = [](char tipo) {
            return L{QByteArray(":") + FS + "240301" + FS + "240331" + FS + tipo};
        };
        QTest::newRow("cortar") << 0 << nada << L{"K"} << QStringList();
        QTest::newRow("avanzar") << 1 << nada << L{QByteArray("P") + FS + '\x01'} << QStringList();
        QTest::newRow("encabezado")
            << 2 << QStringList{"2", "  Café Ñandú, C.A. ", "1", "", "", ""}
            << L{QByteArray("]") + FS + "2" + FS + "Cafe Nandu, C.A." + FS} << QStringList();
        QTest::newRow("pie 3") << 3 << QStringList{"1", "", " 3", "Gracias\tvuelva", "", ""}
                               << L{QByteArray("^") + FS + "3" + FS + "Gracias vuelva" + FS}
                               << QStringList{"Configurando pie de pag en Pto 3",
                                              "Valor: Gracias vuelva"};
        QTest::newRow("fechas") << 4 << nada << fechas('D') << QStringList();
        QTest::newRow("documento de prueba")
            << 5 << nada << L{"H", QByteArray("I") + FS + "Documento no fiscal de Prueba", "J"}
            << QStringList();
        QTest::newRow("Z 7 a 12") << 6 << QStringList{"1", "", "1", "", "7", "12"}
                                  << L{QByteArray(";") + FS + "0007" + FS + "0012" + FS + DEL}
                                  << QStringList();
        QTest::newRow("Z 12345") << 6 << QStringList{"1", "", "1", "", "0", "12345"}
                                 << L{QByteArray(";") + FS + "0000" + FS + "12345" + FS + DEL}
                                 << QStringList();
        QTest::newRow("Zfinic vacio")
            << 6 << QStringList{"1", "", "1", "", "7", ""} << L() << QStringList();
        QTest::newRow("Z por fecha") << 7 << nada << fechas('C') << QStringList();
        QTest::newRow("mes") << 8 << nada << fechas('M') << QStringList();
        QTest::newRow("ninguna") << -1 << nada << L() << QStringList();
    }
    void tareas()
    {
        QFETCH(int, tarea);
        QFETCH(QStringList, campos);
        QFETCH(QList<QByteArray>, comandos);
        QFETCH(QStringList, antes);
        BancoVentana b;
        QVERIFY(b.IniciarAqui());
        b.robot->Command7_Click();
        const QStringList previo = b.p().Lista("List1");
        const int tramas = b.sim.estadisticas().tramas;
        const TareaOpciones t{tarea,        campos.at(0),      campos.at(1),       campos.at(2),
                              campos.at(3), QDate(2024, 3, 1), QDate(2024, 3, 31), campos.at(4),
                              campos.at(5)};
        QSignalSpy habilitado(&b.p(), &Pantalla::HabilitadoCambiado);
        b.robot->Command8_Click(t);

        QCOMPARE(habilitado.first(), QVariantList({"Command8", false}));
        QCOMPARE(habilitado.last(), QVariantList({"Command8", true}));
        QCOMPARE(b.sim.estadisticas().tramas, tramas + int(comandos.size()));
        if (comandos.isEmpty()) {
            QCOMPARE(b.p().Lista("List1"), previo);
            return;
        }
        const QStringList l2 = b.p().Lista("List2");
        QCOMPARE(l2.size(), comandos.size());
        const QStringList l1 = b.p().Lista("List1");
        QCOMPARE(l1.mid(0, antes.size()), antes);
        QCOMPARE(l1.size(), antes.size() + comandos.size());
        for (qsizetype i = 0; i < comandos.size(); ++i) {
            QVERIFY2(Enmarcado(l2.at(i), comandos.at(i)), qPrintable(l2.at(i)));
            QVERIFY(Responde(l1.at(antes.size() + i), l2.at(i))); // the printer took it
        }
        // Polling stays off until "Continuar" closes the panel.
        QVERIFY(b.p().Visible("Frame1") && !b.robot->TimerActivo());
    }
};

QTEST_GUILESS_MAIN(TstOperador)
#include "tst_operador.moc"
