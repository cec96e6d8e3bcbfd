#include "ControlSimulador.h"
#include "LectorTramas.h"
#include "MaquinaFiscal.h"
#include "SimuladorFiscal.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

namespace
{
using M = MaquinaFiscal;
using L = QList<QByteArray>;
const char FS = '\x1c';

QByteArray C(char cmd, const QList<QByteArray>& campos = {})
{
    QByteArray b(1, cmd);
    for (const QByteArray& c : campos)
        b += FS + c;
    return b;
}

const QByteArray D(1, '\x7f');
const QByteArray kFactura = C('@', {"JUAN PEREZ", "V-12345678", D, D, D, D, D, D});
const QByteArray kNota =
    C('@', {"ANA", "J-1", "00000007", "SIM0000001", "12052026", "1200", "D", D});
const QByteArray kItem = C('B', {"ARROZ", "2000", "1050", "1200", "M", D, D, D});
const QByteArray kExento = C('B', {"PAN", "1500", "200", "0000", "M", D, D, D});
const QByteArray kFinItems = C('E', {"A"});
const QByteArray kCierre = C('E');
const QByteArray kN = C('8', {"N"});
const QByteArray kT = C('8', {"T"});
const QByteArray kZ = C('9', {"Z"});
const QByteArray kReset = M::ComandoReset();

std::optional<QByteArray> Atender(SimuladorFiscal& s, char seq, const QByteArray& cmd)
{
    LectorTramas l;
    return s.atender(l.alimentar(LectorTramas::Enmarcar(seq, cmd)).at(0));
}
} // namespace

class TstMaquinaFiscal : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    // Commands sent one after another, each in a new frame, after a control line. The
    // expectations are for the last replies; every earlier one is a good frame without
    // "ERROR". An expectation is a text a good frame holds ('|' for FS), "@N=TEXT" for
    // TEXT at 1-based position N (where the program reads it), "-TEXT" for a text it
    // lacks, "" for no reply at all, "!" for a reply that is not a good frame, or
    // "{...}" for keys of the last document's journal line.
    void guion_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<L>("guion");
        QTest::addColumn<QStringList>("esperado");
        const auto fila = [](const char* nombre, const char* control, const L& guion,
                             const QStringList& esperado) {
            QTest::newRow(nombre) << QString::fromLatin1(control) << guion << esperado;
        };

        // 2 x 10.50 at 12 % = 21.00 + 2.52; 1.5 x 2.00 exempt = 3.00.
        fila("invoice", "fecha 2026-12-05T10:30:15",
             {kFactura, C('A', {"NOMBRE LARGO", D}), kItem, kExento, kFinItems,
              C('A', {"Condicion: Contado", D}), kCierre},
             {R"({"tipo": "factura", "numero": 1, "cliente": "JUAN PEREZ", "rif": "V-12345678",
                  "total": 26.52, "z": 1, "hora": "2026-12-05T10:30:15",
                  "lineas": ["NOMBRE LARGO", "Condicion: Contado"],
                  "items": [{"descripcion": "ARROZ", "cantidad": 2, "precio": 10.5, "tasa": 12},
                            {"descripcion": "PAN", "cantidad": 1.5, "precio": 2, "tasa": 0}]})"});
        fila("credit note", "normal", {kNota, kItem, kFinItems, kCierre},
             {R"({"tipo": "nota_credito", "numero": 1, "total": 23.52, "serial": "SIM0000001",
                  "factura_afectada": "00000007", "fecha_factura": "12052026"})"});
        fila(
            "non-fiscal", "normal", {C('H'), C('I', {"Documento no fiscal de Prueba"}), C('J')},
            {R"({"tipo": "no_fiscal", "numero": 1, "lineas": ["Documento no fiscal de Prueba"]})"});
        fila("reset cancels", "normal", {kFactura, kItem, kReset},
             {R"({"tipo": "anulado", "documento_anulado": "factura", "numero": 0})"});
        fila("reset does not spend a number", "normal", {kFactura, kReset, kFactura, kCierre},
             {R"({"tipo": "factura", "numero": 1})"});
        fila("Z closes the day", "normal", {kFactura, kItem, kCierre, kZ},
             {R"({"tipo": "cierre_z", "numero": 1, "total": 23.52})"});
        fila("X leaves the day open", "normal", {kFactura, kItem, kCierre, C('9', {"X"})},
             {R"({"tipo": "cierre_x", "z": 1, "total": 23.52})"});
        fila("Z range report", "normal",
             {kFactura, kItem, kCierre, kZ, C(';', {"0001", "0001", D})},
             {R"({"tipo": "reporte", "total": 23.52})"});

        // The reply fields the program reads; the ETX's place holds the rest of the layout.
        const L dos{kFactura, kCierre, kFactura, kCierre, C('H'), C('J'), kZ};
        fila("N: last invoice 48-55", "normal", dos + L{kN}, {"@48=00000002|"});
        fila("N: Z before the ETX", "normal", dos + L{kN}, {"@66=0001\x03"});
        fila("T: idle 18-19", "normal", {kT}, {"@18=00|"});
        fila("T: credit note before the ETX", "normal", {kNota, kCierre, kT}, {"@39=0001\x03"});
        fila("Y: date 15-20", "fecha 2026-12-05T10:30:15", {C('Y')}, {"@15=261205|"});
        fila("registration 15-24", "normal", {"\x80"}, {"@15=SIM0000001\x03"});
        fila("status words with an invoice open", "normal", {kFactura, kItem}, {"@5=0008|0000|"});
        fila("status words of a refusal", "normal", {kFactura, kFactura}, {"@5=0409|0000|"});
        fila("Z reply: new Z before the ETX", "normal", dos + L{kZ}, {"@15=0002\x03"});

        // Refusals the program's recovery meets: the error bit and its summary bit.
        fila("item without document", "normal", {kItem}, {"@5=0401|"});
        fila("opening twice, still open", "normal", {kFactura, kFactura, kT},
             {"@5=0409|", "@18=01|"});
        fila("item after end of items", "normal", {kFactura, kFinItems, kItem}, {"@5=0409|"});
        fila("Z with a document open", "normal", {kFactura, kZ}, {"@5=0409|"});
        fila("fiscal item in a non-fiscal", "normal", {C('H'), kItem}, {"@5=0405|"});
        fila("field glued to command", "normal", {"8N"}, {"@5=1001|"});
        fila("quantity with a point", "normal",
             {kFactura, C('B', {"X", "1.5", "100", "1200", "M"})}, {"@5=0809|"});
        fila("rate of 2 digits", "normal", {kFactura, C('B', {"X", "1000", "100", "12", "M"})},
             {"@5=0809|"});
        fila("credit note with a bad date", "normal",
             {C('@', {"A", "B", "1", "S", "13452026", "1200", "D", D})}, {"@5=0801|"});
        fila("Z range of 3 digits", "normal", {C(';', {"007", "0012", D})}, {"@5=0801|"});

        // The switches other tests and the demo turn on.
        fila("refuse the 2nd", "rechazar-enesimo 2", {kN, kN, kN}, {"-ERROR", "ERROR", "-ERROR"});
        fila("refuse B once", "rechazar B 1", {kFactura, kItem, kItem}, {"ERROR", "-ERROR"});
        fila("number busy twice", "numero-ocupado 2", {kFactura, kCierre, kN, kN, kN},
             {"@48=NNNNNNNN", "@48=NNNNNNNN", "@48=00000001"});
        fila("number busy until a reset", "numero-ocupado -1",
             {kFactura, kCierre, kN, kN, kReset, kN}, {"@48=NNNNNNNN", "-ERROR", "@48=00000001"});
        fila("state 04 until a Z", "estado 04", {kFactura, kT, kZ, kT, kFactura},
             {"@5=0411|", "@18=04|", "-ERROR", "@18=00|", "-ERROR"});
        fila("state 12 refuses a non-fiscal", "estado 12", {C('H')}, {"@5=4001|2001|"});
        fila("state 10 answers queries only", "estado 10", {kN, C('Y'), C('K'), kReset},
             {"ERROR", "ERROR"});
        // Lost on the line: neither done nor answered; the document stays open.
        fila("frame lost", "perder E", {kFactura, kCierre, kT}, {"", "@18=01|"});
        // Done, but the reply is lost: the invoice is closed and numbered.
        fila("reply lost", "perder-respuesta 2", {kFactura, kCierre, kT}, {"", "|00|00000001"});
        fila("wrong checksum once", "corromper suma 1", {kN, kN}, {"!", "-ERROR"});
        // The field before the ETX damaged, the checksum made to match.
        fila("damaged field once", "corromper campo 1", {kN, kN}, {"9e99\x03", "-9e99"});
        fila("reply without its end once", "sin-etx 50", {kN, kN}, {"!", "-ERROR"});
    }

    void guion()
    {
        QFETCH(QString, control);
        QFETCH(L, guion);
        QFETCH(QStringList, esperado);
        SimuladorFiscal s;
        QVERIFY(ControlSimulador::Aplicar(s, control).ok);
        char seq = 32;
        for (qsizetype i = 0; i < guion.size(); ++i) {
            const auto r = Atender(s, seq++, guion.at(i));
            const qsizetype k = i - (guion.size() - esperado.size());
            QByteArray e = k < 0 ? QByteArray("-ERROR") : esperado.at(k).toLatin1();
            if (e.startsWith('{')) {
                const QJsonObject j = s.papel().documentos().constLast().Json();
                const QJsonObject claves = QJsonDocument::fromJson(e).object();
                QVERIFY(!claves.isEmpty());
                for (auto it = claves.begin(); it != claves.end(); ++it)
                    QVERIFY2(j.value(it.key()) == it.value(), qPrintable(it.key()));
                e = "-ERROR";
            }
            QCOMPARE(r.has_value(), !e.isEmpty());
            if (!r)
                continue;
            LectorTramas l;
            const auto tramas = l.alimentar(*r);
            QVERIFY2((tramas.size() == 1 && tramas.at(0).valida) == (e != "!"), r->constData());
            // "ERROR", which the program looks for, comes exactly with the summary error bit.
            if (e != "!")
                QCOMPARE(r->contains("ERROR"),
                         bool(r->mid(4, 4).toInt(nullptr, 16) & M::kOrErrores));
            e.replace('|', FS);
            if (e.startsWith('@')) {
                const qsizetype igual = e.indexOf('=');
                QCOMPARE(r->mid(e.mid(1, igual - 1).toInt() - 1, e.size() - igual - 1),
                         e.mid(igual + 1));
            } else if (e.startsWith('-')) {
                QVERIFY2(!r->contains(e.mid(1)), r->constData());
            } else if (e != "!") {
                QVERIFY2(r->contains(e), r->constData());
            }
        }
        QVERIFY(ControlSimulador::Aplicar(s, QStringLiteral("normal")).ok);
        QVERIFY(!Atender(s, seq, kN)->contains("ERROR"));
    }

    // A frame sent again with the same sequence byte is answered again, never run twice.
    void retransmision()
    {
        SimuladorFiscal s;
        const auto primera = Atender(s, '(', kZ);
        QCOMPARE(Atender(s, '(', kZ), primera);
        QCOMPARE(s.papel().documentos().size(), 1);
        Atender(s, ')', kZ); // same command, new sequence: a new closing
        QCOMPARE(s.maquina().contadores().z, 2);

        // A frame met with silence was not run, so repeating it runs it.
        QVERIFY(ControlSimulador::Aplicar(s, QStringLiteral("silencio on")).ok);
        QVERIFY(!Atender(s, '*', kZ));
        QVERIFY(ControlSimulador::Aplicar(s, QStringLiteral("silencio off")).ok);
        QVERIFY(Atender(s, '*', kZ));
        QCOMPARE(s.maquina().contadores().z, 3);
    }

    // The state file keeps the numbering, the set-up and the day across a restart.
    void persistencia()
    {
        QTemporaryDir dir;
        SimuladorFiscal::Opciones o;
        o.estadoArchivo = dir.filePath(QStringLiteral("estado.json"));
        {
            SimuladorFiscal s(o);
            char seq = 32;
            for (const QByteArray& c : {C(']', {"1", "MI TIENDA", ""}), kFactura, kItem, kCierre,
                                        kZ, kNota, kCierre, C('H'), C('J')})
                QVERIFY(!Atender(s, seq++, c)->contains("ERROR"));
        }
        SimuladorFiscal s(o);
        const auto c = s.maquina().contadores();
        QCOMPARE(QList<int>({c.ultimaFactura, c.ultimaNotaCredito, c.ultimoNoFiscal, c.z}),
                 QList<int>({1, 1, 1, 1}));
        QCOMPARE(s.maquina().encabezado().at(0), QStringLiteral("MI TIENDA"));

        QFile roto(o.estadoArchivo);
        QVERIFY(roto.open(QIODevice::WriteOnly) && roto.write("{no es json") > 0);
        roto.close();
        QCOMPARE(SimuladorFiscal(o).maquina().contadores().ultimaFactura, 0);
    }
};

QTEST_GUILESS_MAIN(TstMaquinaFiscal)
#include "tst_maquinafiscal.moc"
