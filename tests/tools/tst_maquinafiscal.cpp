#include "ControlSimulador.h"
#include "LectorTramas.h"
#include "MaquinaFiscal.h"
#include "Papel.h"
#include "SimuladorFiscal.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

namespace
{
using M = MaquinaFiscal;
using L = QList<QByteArray>;
const char FS = '\x1c';
const char DEL = '\x7f';
const QDateTime kAhora(QDate(2026, 12, 5), QTime(10, 30, 15));

QByteArray C(char cmd, const QList<QByteArray>& campos = {})
{
    QByteArray b(1, cmd);
    for (const QByteArray& c : campos)
        b += FS + c;
    return b;
}

const QByteArray D(1, DEL);
const QByteArray kFactura = C('@', {"JUAN PEREZ", "V-12345678", D, D, D, D, D, D});
const QByteArray kNota =
    C('@', {"ANA", "J-1", "00000007", "SIM0000001", "12052026", "1200", "D", D});
const QByteArray kItem = C('B', {"ARROZ", "2000", "1050", "1200", "M", D, D, D});
const QByteArray kExento = C('B', {"PAN", "1500", "200", "0000", "M", D, D, D});
const QByteArray kFinItems = C('E', {"A"});
const QByteArray kCierre = C('E');
const QByteArray kN = C('8', {"N"});
const QByteArray kT = C('8', {"T"});

M::Resultado Guion(M& m, const QList<QByteArray>& comandos)
{
    M::Resultado r;
    for (const QByteArray& c : comandos)
        r = m.ejecutar(c, kAhora);
    return r;
}

std::optional<QByteArray> Atender(SimuladorFiscal& s, char seq, const QByteArray& cmd)
{
    LectorTramas l;
    const auto ts = l.alimentar(LectorTramas::Enmarcar(seq, cmd));
    return s.atender(ts.at(0));
}
} // namespace

class TstMaquinaFiscal : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void documentos_data()
    {
        QTest::addColumn<L>("guion");
        QTest::addColumn<QString>("esperado"); // keys that must match in the last document

        // 2 x 10.50 at 12 % = 21.00 + 2.52; 1.5 x 2.00 exempt = 3.00.
        const char* factura = R"({"tipo": "factura", "numero": 1, "cliente": "JUAN PEREZ",
            "rif": "V-12345678", "total": 26.52, "z": 1,
            "lineas": ["NOMBRE LARGO", "Condicion: Contado"],
            "items": [{"descripcion": "ARROZ", "cantidad": 2, "precio": 10.5, "tasa": 12},
                      {"descripcion": "PAN", "cantidad": 1.5, "precio": 2, "tasa": 0}]})";
        const char* nota = R"({"tipo": "nota_credito", "numero": 1, "total": 23.52,
            "factura_afectada": "00000007", "fecha_factura": "12052026", "serial": "SIM0000001"})";
        QTest::newRow("invoice") << L{kFactura,  C('A', {"NOMBRE LARGO", D}),       kItem,  kExento,
                                      kFinItems, C('A', {"Condicion: Contado", D}), kCierre}
                                 << factura;
        QTest::newRow("credit note") << L{kNota, kItem, kFinItems, kCierre} << nota;
        QTest::newRow("credit note, empty invoice fields")
            << L{C('@', {"ANA", "J-1", "", "SIM0000001", "", "1200", "D", D}), kFinItems, kCierre}
            << R"({"tipo": "nota_credito", "factura_afectada": "", "total": 0})";
        QTest::newRow("invoice after a credit note keeps its own counter")
            << L{kNota, kCierre, kFactura, kCierre} << R"({"tipo": "factura", "numero": 1})";
        QTest::newRow("non-fiscal")
            << L{C('H'), C('I', {"Documento no fiscal de Prueba"}), C('J')}
            << R"({"tipo": "no_fiscal", "numero": 1, "lineas": ["Documento no fiscal de Prueba"]})";
        QTest::newRow("reset cancels")
            << L{kFactura, kItem, M::ComandoReset()}
            << R"({"tipo": "anulado", "documento_anulado": "factura", "numero": 0})";
        QTest::newRow("reset does not spend a number")
            << L{kFactura, M::ComandoReset(), kFactura, kCierre}
            << R"({"tipo": "factura", "numero": 1})";
        QTest::newRow("Z closes the day")
            << L{kFactura, kItem, kCierre, C('9', {"Z"})}
            << R"({"tipo": "cierre_z", "numero": 1, "z": 1, "total": 23.52})";
        QTest::newRow("documents after a Z belong to the next period")
            << L{C('9', {"Z"}), kFactura, kCierre} << R"({"tipo": "factura", "numero": 1, "z": 2})";
        QTest::newRow("X leaves the day open") << L{kFactura, kItem, kCierre, C('9', {"X"})}
                                               << R"({"tipo": "cierre_x", "z": 1, "total": 23.52})";
        QTest::newRow("Z range report")
            << L{kFactura, kItem, kCierre, C('9', {"Z"}), C(';', {"0001", "0001", D})}
            << R"({"tipo": "reporte", "total": 23.52})";
        QTest::newRow("date report") << L{C('9', {"Z"}), C(':', {"261201", "261231", "M"})}
                                     << R"({"tipo": "reporte", "total": 0})";
    }

    void documentos()
    {
        QFETCH(L, guion);
        QFETCH(QString, esperado);
        const QJsonObject e = QJsonDocument::fromJson(esperado.toUtf8()).object();
        QVERIFY(!e.isEmpty());
        M m;
        std::optional<DocumentoImpreso> ultimo;
        for (const QByteArray& c : guion) {
            const M::Resultado r = m.ejecutar(c, kAhora);
            QVERIFY2(r.aceptado, r.Motivo().constData());
            if (r.impreso)
                ultimo = r.impreso;
        }
        QVERIFY(ultimo);
        const QJsonObject j = ultimo->Json();
        for (auto it = e.begin(); it != e.end(); ++it)
            QVERIFY2(
                j.value(it.key()) == it.value(),
                qPrintable(it.key() + QStringLiteral(": ") +
                           QString::fromUtf8(QJsonDocument(j).toJson(QJsonDocument::Compact))));
        QCOMPARE(j.value("hora").toString(), QStringLiteral("2026-12-05T10:30:15"));
        QVERIFY(!m.documentoAbierto());
    }

    void rechazos_data()
    {
        QTest::addColumn<L>("antes");
        QTest::addColumn<QByteArray>("comando");
        QTest::addColumn<int>("bit");

        const int estado = M::kComandoInvalidoEstado;
        const int campo = M::kCampoInvalido;
        QTest::newRow("item without document") << L{} << kItem << estado;
        QTest::newRow("text without document") << L{} << C('A', {"x", D}) << estado;
        QTest::newRow("opening twice") << L{kFactura} << kFactura << estado;
        QTest::newRow("end of items twice") << L{kFactura, kFinItems} << kFinItems << estado;
        QTest::newRow("item after end of items") << L{kFactura, kFinItems} << kItem << estado;
        QTest::newRow("closing without document") << L{} << kCierre << estado;
        QTest::newRow("Z with a document open") << L{kFactura} << C('9', {"Z"}) << estado;
        QTest::newRow("X with a non-fiscal open") << L{C('H')} << C('9', {"X"}) << estado;
        QTest::newRow("fiscal item in a non-fiscal") << L{C('H')} << kItem << estado;
        QTest::newRow("J without non-fiscal") << L{kFactura} << C('J') << estado;
        QTest::newRow("header with a document open")
            << L{kFactura} << C(']', {"1", "TIENDA", ""}) << estado;
        QTest::newRow("unknown command") << L{} << C('Q') << int(M::kComandoDesconocido);
        QTest::newRow("field glued to command")
            << L{} << QByteArray("8N") << int(M::kComandoDesconocido);
        QTest::newRow("unknown status query") << L{} << C('8', {"Q"}) << campo;
        QTest::newRow("closing kind") << L{} << C('9', {"W"}) << campo;
        QTest::newRow("quantity with a point")
            << L{kFactura} << C('B', {"X", "1.5", "100", "1200", "M"}) << campo;
        QTest::newRow("empty quantity")
            << L{kFactura} << C('B', {"X", "", "100", "1200", "M"}) << campo;
        QTest::newRow("negative price")
            << L{kFactura} << C('B', {"X", "1000", "-100", "1200", "M"}) << campo;
        QTest::newRow("rate of 2 digits")
            << L{kFactura} << C('B', {"X", "1000", "100", "12", "M"}) << campo;
        QTest::newRow("missing fields") << L{kFactura} << C('B', {"X", "1000"}) << campo;
        QTest::newRow("credit note with a bad date")
            << L{} << C('@', {"A", "B", "1", "S", "13452026", "1200", "D", D}) << campo;
        QTest::newRow("header line 6") << L{} << C(']', {"6", "X", ""}) << campo;
        QTest::newRow("report with a bad date")
            << L{} << C(':', {"240230", "240301", "D"}) << campo;
        QTest::newRow("Z range of 3 digits") << L{} << C(';', {"007", "0012", D}) << campo;
        QTest::newRow("state 04 refuses an invoice") << L{} << kFactura << estado;
        QTest::newRow("state 12 refuses a non-fiscal")
            << L{} << C('H') << int(M::kErrorMemoriaTrabajo);
    }

    void rechazos()
    {
        QFETCH(L, antes);
        QFETCH(QByteArray, comando);
        QFETCH(int, bit);
        M m;
        const QString fila = QString::fromLatin1(QTest::currentDataTag());
        if (fila.startsWith(QLatin1String("state ")))
            m.forzarEstado(fila.mid(6, 2).toLatin1());
        for (const QByteArray& c : antes)
            QVERIFY(m.ejecutar(c, kAhora).aceptado);
        const bool abierto = m.documentoAbierto();
        const auto contadores = m.contadores();

        // The error summary bit and the word ERROR of every refusal: see azar().
        const M::Resultado r = m.ejecutar(comando, kAhora);
        QVERIFY(!r.aceptado);
        QVERIFY(r.estado1 & bit);
        QVERIFY(!r.impreso);
        // A refusal changes nothing.
        QCOMPARE(m.documentoAbierto(), abierto);
        QCOMPARE(m.contadores().ultimaFactura, contadores.ultimaFactura);
        QCOMPARE(m.contadores().z, contadores.z);
        if (fila.startsWith(QLatin1String("state 04")))
            QVERIFY(r.estado1 & M::kCierreNecesario);
    }

    void posiciones_data()
    {
        QTest::addColumn<L>("antes");
        QTest::addColumn<QByteArray>("comando");
        QTest::addColumn<int>("desde");           // 1-based, as the robot counts
        QTest::addColumn<QByteArray>("esperado"); // '|' stands for FS
        QTest::addColumn<int>("etx");             // where the ETX must be; 0: not checked

        const L dos{kFactura, kCierre, kFactura, kCierre, C('H'), C('J'), C('9', {"Z"})};
        // The fields the robot reads; the ETX's place holds the rest of the layout.
        QTest::newRow("N: last invoice 48-55") << dos << kN << 48 << QByteArray("00000002") << 70;
        QTest::newRow("N: Z before the ETX") << dos << kN << 66 << QByteArray("0001") << 70;
        QTest::newRow("N: number busy 48-55")
            << L{kFactura, kCierre} << kN << 48 << QByteArray("NNNNNNNN") << 70;
        QTest::newRow("T: idle 18-19") << L{} << kT << 18 << QByteArray("00") << 43;
        QTest::newRow("T: fiscal open") << L{kFactura} << kT << 18 << QByteArray("01") << 43;
        QTest::newRow("T: non-fiscal open") << L{C('H')} << kT << 18 << QByteArray("02") << 43;
        QTest::newRow("T: forced code") << L{} << kT << 18 << QByteArray("04") << 43;
        QTest::newRow("T: credit note before the ETX")
            << L{kNota, kCierre} << kT << 39 << QByteArray("0124") << 43;
        QTest::newRow("Y: date 15-20") << L{} << C('Y') << 15 << QByteArray("261205") << 28;
        QTest::newRow("registration 15-24")
            << L{} << QByteArray("\x80") << 15 << QByteArray("SIM0000001") << 25;
        QTest::newRow("status words with an invoice open")
            << L{kFactura} << kItem << 5 << QByteArray("0008|0000") << 0;
        QTest::newRow("status words of a refusal")
            << L{kFactura} << kFactura << 5 << QByteArray("0409|0000") << 0;
        QTest::newRow("status words, non-fiscal open")
            << L{C('H')} << C('I', {"x"}) << 5 << QByteArray("0004") << 0;
        QTest::newRow("Z reply: new Z before the ETX")
            << dos << C('9', {"Z"}) << 15 << QByteArray("0002") << 19;
    }

    void posiciones()
    {
        QFETCH(L, antes);
        QFETCH(QByteArray, comando);
        QFETCH(int, desde);
        QFETCH(QByteArray, esperado);
        QFETCH(int, etx);
        esperado.replace('|', FS);
        M m;
        if (QByteArray(QTest::currentDataTag()) == "T: forced code")
            m.forzarEstado("04");
        if (QByteArray(QTest::currentDataTag()) == "N: number busy 48-55")
            m.numeroOcupado(1);
        if (QByteArray(QTest::currentDataTag()).startsWith("T: credit note")) {
            auto c = m.contadores();
            c.ultimaNotaCredito = 10123; // only its last four digits fit
            m.ponerContadores(c);
        }
        Guion(m, antes);
        const M::Resultado r = m.ejecutar(comando, kAhora);
        const QByteArray t = LectorTramas::Enmarcar(' ', r.Contenido());
        QCOMPARE(t.mid(desde - 1, esperado.size()), esperado);
        QCOMPARE(t.at(2), comando.at(0));
        if (etx > 0)
            QCOMPARE(t.indexOf('\x03') + 1, qsizetype(etx));
    }

    void fallas_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<L>("guion");
        // Per reply: a text it must contain ('|' for FS), or "-ERROR" for "accepted".
        QTest::addColumn<QStringList>("esperado");

        QTest::newRow("refuse the 2nd")
            << "rechazar-enesimo 2" << L{kN, kN, kN} << QStringList{"-ERROR", "ERROR", "-ERROR"};
        QTest::newRow("refuse B once") << "rechazar B 1" << L{kFactura, kItem, kItem}
                                       << QStringList{"-ERROR", "ERROR", "-ERROR"};
        QTest::newRow("refuse B always")
            << "rechazar B" << L{kFactura, kItem, kItem} << QStringList{"-ERROR", "ERROR", "ERROR"};
        QTest::newRow("refuse the registration query")
            << "rechazar 0x80 1" << L{QByteArray("\x80"), QByteArray("\x80")}
            << QStringList{"ERROR", "SIM0000001"};
        QTest::newRow("number busy twice")
            << "numero-ocupado 2" << L{kFactura, kCierre, kN, kN, kN}
            << QStringList{"-ERROR", "-ERROR", "NNNNNNNN", "NNNNNNNN", "00000001"};
        QTest::newRow("number busy until a reset")
            << "numero-ocupado -1" << L{kFactura, kCierre, kN, kN, M::ComandoReset(), kN}
            << QStringList{"-ERROR", "-ERROR", "NNNNNNNN", "NNNNNNNN", "-ERROR", "00000001"};
        QTest::newRow("state 04 until a Z")
            << "estado 04" << L{kFactura, kT, C('9', {"Z"}), kT, kFactura}
            << QStringList{"DEBE HACER CIERRE Z", "|04|00000000", "-ERROR", "|00|00000000",
                           "-ERROR"};
        QTest::newRow("state 10 answers queries only")
            << "estado 10" << L{kN, C('Y'), C('K'), M::ComandoReset()}
            << QStringList{"-ERROR", "-ERROR", "ERROR", "ERROR"};
    }

    void fallas()
    {
        QFETCH(QString, control);
        QFETCH(L, guion);
        QFETCH(QStringList, esperado);
        SimuladorFiscal s;
        s.ponerFecha(kAhora);
        QVERIFY(ControlSimulador::Aplicar(s, control).ok);
        char seq = 32;
        for (qsizetype i = 0; i < guion.size(); ++i) {
            const auto r = Atender(s, seq++, guion.at(i));
            QVERIFY(r);
            const QString e = QString(esperado.at(i)).replace(QLatin1Char('|'), QLatin1Char(FS));
            if (e.startsWith(QLatin1Char('-')))
                QVERIFY2(!r->contains(e.mid(1).toLatin1()), r->constData());
            else
                QVERIFY2(r->contains(e.toLatin1()), r->constData());
        }
        QVERIFY(ControlSimulador::Aplicar(s, QStringLiteral("normal")).ok);
        QVERIFY(!Atender(s, seq, kN)->contains("ERROR"));
    }

    void retransmision()
    {
        SimuladorFiscal s;
        const auto primera = Atender(s, '(', C('9', {"Z"}));
        const auto repetida = Atender(s, '(', C('9', {"Z"}));
        QVERIFY(primera && repetida);
        QCOMPARE(*repetida, *primera);
        QCOMPARE(s.maquina().contadores().z, 1);
        QCOMPARE(s.estadisticas().retransmisiones, 1);
        QCOMPARE(s.papel().documentos().size(), 1);
        // Same command, new sequence: a new closing.
        Atender(s, ')', C('9', {"Z"}));
        QCOMPARE(s.maquina().contadores().z, 2);

        // A frame met with silence was not run, so repeating it runs it.
        QVERIFY(ControlSimulador::Aplicar(s, QStringLiteral("silencio on")).ok);
        QVERIFY(!Atender(s, '*', C('9', {"Z"})));
        QCOMPARE(s.maquina().contadores().z, 2);
        QVERIFY(ControlSimulador::Aplicar(s, QStringLiteral("silencio off")).ok);
        QVERIFY(Atender(s, '*', C('9', {"Z"})));
        QCOMPARE(s.maquina().contadores().z, 3);
    }

    void persistencia()
    {
        QTemporaryDir dir;
        SimuladorFiscal::Opciones o;
        o.estadoArchivo = dir.filePath(QStringLiteral("estado.json"));
        {
            SimuladorFiscal s(o);
            char seq = 32;
            for (const QByteArray& c : {C(']', {"1", "MI TIENDA", ""}), kFactura, kItem, kCierre,
                                        C('9', {"Z"}), kNota, kCierre, C('H'), C('J')})
                QVERIFY(!Atender(s, seq++, c)->contains("ERROR"));
        }
        SimuladorFiscal s(o);
        const auto c = s.maquina().contadores();
        QCOMPARE(c.ultimaFactura, 1);
        QCOMPARE(c.ultimaNotaCredito, 1);
        QCOMPARE(c.ultimoNoFiscal, 1);
        QCOMPARE(c.z, 1);
        QCOMPARE(s.maquina().encabezado().at(0), QStringLiteral("MI TIENDA"));
        Atender(s, ' ', kFactura);
        const auto r = Atender(s, '!', kCierre);
        QVERIFY(r->contains("00000002"));
        // The closing history survives too: a report over Z 1 finds its sales.
        Atender(s, '"', C(';', {"0001", "0001", D}));
        QCOMPARE(s.papel().documentos().constLast().total, 2352);

        QFile roto(o.estadoArchivo);
        QVERIFY(roto.open(QIODevice::WriteOnly));
        roto.write("{no es json");
        roto.close();
        SimuladorFiscal limpio(o);
        QCOMPARE(limpio.maquina().contadores().ultimaFactura, 0);
    }

    void papel()
    {
        QTemporaryDir dir;
        Papel p(dir.filePath(QStringLiteral("rollo.txt")),
                dir.filePath(QStringLiteral("diario.jsonl")));
        M m;
        Guion(m, {C(']', {"1", "MI TIENDA", ""}), C('^', {"2", "GRACIAS", ""})});
        const L factura{kFactura, kItem, kExento, kFinItems, kCierre};
        for (int i = 0; i < 2; ++i)
            for (const QByteArray& c : factura)
                if (auto r = m.ejecutar(c, kAhora); r.impreso)
                    QVERIFY(p.imprimir(*r.impreso));

        QFile diario(dir.filePath(QStringLiteral("diario.jsonl")));
        QVERIFY(diario.open(QIODevice::ReadOnly));
        const QList<QByteArray> lineas = diario.readAll().split('\n');
        QCOMPARE(lineas.size(), 3); // two lines and the empty tail
        const QJsonObject j = QJsonDocument::fromJson(lineas.at(1)).object();
        QCOMPARE(j.value("numero").toInt(), 2);
        QCOMPARE(j.value("items").toArray().at(1).toObject().value("cantidad").toDouble(), 1.5);

        QFile rollo(dir.filePath(QStringLiteral("rollo.txt")));
        QVERIFY(rollo.open(QIODevice::ReadOnly));
        const QString texto = QString::fromUtf8(rollo.readAll());
        for (const char* parte :
             {"MI TIENDA", "GRACIAS", "FACTURA", "N. 00000001", "N. 00000002",
              "RAZON SOCIAL: JUAN PEREZ", "RIF/C.I.: V-12345678", "2.000 x 10.50", "IVA G (12.00%)",
              "26.52", "05-12-2026", "10:30:15", "SIM0000001"})
            QVERIFY2(texto.contains(QLatin1String(parte)), parte);
        QVERIFY(texto.indexOf(QLatin1String("N. 00000001")) <
                texto.indexOf(QLatin1String("N. 00000002")));
    }

    void azar()
    {
        // Valid commands, mangled ones and random bytes in random order: the
        // machine never crashes, every reply keeps its layout, and a refusal is
        // exactly a reply with the error bit and the word ERROR.
        L base{kFactura, kNota, kItem, kExento, kFinItems, kCierre, kN, kT};
        base << C('A', {"x", D}) << C('H') << C('I', {"y"}) << C('J') << C('9', {"Z"})
             << C('9', {"X"}) << C('Y') << QByteArray("\x80") << M::ComandoReset()
             << C(']', {"2", "T", ""}) << C(':', {"261201", "261231", "C"})
             << C(';', {"0001", "0009", D}) << C('P', {"\x01"}) << C('K');
        QRandomGenerator g(5122026);
        M m;
        int ultimaFactura = 0;
        for (int i = 0; i < 30000; ++i) {
            QByteArray c = base.at(g.bounded(base.size()));
            switch (g.bounded(6)) {
            case 0:
                c[g.bounded(c.size())] = char(g.bounded(256));
                break;
            case 1:
                c.truncate(g.bounded(c.size() + 1));
                break;
            case 2:
                c = QByteArray(g.bounded(12), 0);
                for (char& b : c)
                    b = char(g.bounded(256));
                break;
            default:
                break;
            }
            const M::Resultado r = m.ejecutar(c, kAhora);
            const QByteArray t = r.Contenido();
            QVERIFY(t.size() >= 12);
            QCOMPARE(t.at(1), FS);
            QCOMPARE(t.at(6), FS);
            QCOMPARE(t.at(11), FS);
            QCOMPARE(bool(r.estado1 & M::kOrErrores), !r.aceptado);
            QCOMPARE(t.toUpper().contains("ERROR"), !r.aceptado);
            QCOMPARE(bool(r.estado1 & (M::kFiscalAbierto | M::kNoFiscalAbierto)),
                     m.documentoAbierto());
            QVERIFY(m.contadores().ultimaFactura >= ultimaFactura);
            ultimaFactura = m.contadores().ultimaFactura;
        }
    }
};

QTEST_GUILESS_MAIN(TstMaquinaFiscal)
#include "tst_maquinafiscal.moc"
