// The simulator's line over a real pseudo-terminal, read through the program's
// own port and link: what each switch puts on the line, and that the program
// still gets its reply, or gives up as it should.

#include "SimuladorEnHilo.h"
#include "impresora/EnlaceImpresora.h"
#include "impresora/PuertoQt.h"

#include <QTemporaryDir>
#include <QTest>

namespace
{
using Entrega = EnlaceImpresora::Entrega;

// The program's port, keeping every read as it came.
struct PuertoEspia final : PuertoSerie {
    explicit PuertoEspia(const QString& ruta) : real(ruta) {}
    QString Nombre() const override { return real.Nombre(); }
    bool Abrir() override { return real.Abrir(); }
    QString Error() const override { return real.Error(); }
    bool Escribir(const QByteArray& d, int ms) override { return real.Escribir(d, ms); }
    void Descartar() override { real.Descartar(); }
    qint64 BytesEsperando() override { return real.BytesEsperando(); }
    bool EsperarDatos(int ms) override { return real.EsperarDatos(ms); }
    QByteArray LeerTodo() override { return lecturas.emplace_back(real.LeerTodo()); }
    void Cerrar() override { real.Cerrar(); }
    PuertoQt real;
    QList<QByteArray> lecturas;
};
} // namespace

class TstSimuladorPty : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    // The switches really reach the line, or the tests that rely on them test nothing.
    void linea_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("entrega");
        QTest::addColumn<int>("antesDelStx"); // bytes before the reply's STX; -1: no STX
        QTest::addColumn<int>("lecturas");    // at least this many reads
        QTest::addColumn<int>("minimoMs");    // the exchange lasts at least this long
        const int buena = int(Entrega::Buena);
        QTest::newRow("split 5,10") << "trozos 5,10 60" << buena << 0 << 3 << 120;
        QTest::newRow("garbage") << "basura 6" << buena << 6 << 1 << 0;
        // The reply comes after the 800 ms deadline: only the busy bytes' extension lets it in.
        QTest::newRow("busy bytes") << "ocupado 6 150" << buena << 6 << 2 << 900;
        QTest::newRow("slow command") << "demora 80" << buena << 0 << 1 << 80;
        // Busy for ever: the program gives up at its limit, having read nothing but DC2.
        QTest::newRow("busy for ever")
            << "ocupado-siempre on" << int(Entrega::SinRespuesta) << -1 << 2 << 1500;
        // Switched off, the printer's link is gone: the port does not even open.
        QTest::newRow("switched off") << "apagar on" << int(Entrega::NoEscrita) << -1 << 0 << 0;
        // 7 bytes in and 74 out at about 1.04 ms each; paced bytes cannot come in one read.
        QTest::newRow("paced at 9600 baud") << "ritmo on" << buena << 0 << 2 << 60;
    }

    void linea()
    {
        QFETCH(QString, control);
        QFETCH(int, antesDelStx);
        QFETCH(int, lecturas);
        QFETCH(int, minimoMs);
        QTemporaryDir dir;
        SimuladorFiscal::Opciones o;
        o.ritmo = false;
        o.enlace = dir.filePath(QStringLiteral("impresora"));
        SimuladorEnHilo sim(o);
        QVERIFY(sim.iniciar() && sim.control(control).ok);
        PuertoEspia puerto(o.enlace);
        EnlaceImpresora enlace(puerto);
        enlace.tiempos = {.esperaCortaMs = 800, .extensionDc2Ms = 800, .limiteOcupadoMs = 1500};
        enlace.EsperaCorta = true;
        enlace.Comando = "8\x1cN";
        QTEST(int(enlace.EnviarComando()), "entrega");
        QVERIFY2(enlace.DuracionMs() >= minimoMs, qPrintable(QString::number(enlace.DuracionMs())));
        QVERIFY(puerto.lecturas.size() >= lecturas);
        const QByteArray crudo = puerto.lecturas.join();
        const qsizetype stx = crudo.indexOf('\x02');
        QCOMPARE(int(stx), antesDelStx);
        const qsizetype antes = stx < 0 ? crudo.size() : stx;
        if (control.startsWith(QLatin1String("ocupado")))
            QCOMPARE(crudo.left(antes), QByteArray(antes, '\x12'));
        // "normal" clears the switch: the next frame is answered.
        QVERIFY(sim.control(QStringLiteral("normal")).ok);
        enlace.Comando = "8\x1cN";
        QCOMPARE(enlace.EnviarComando(), Entrega::Buena);
    }
};

QTEST_GUILESS_MAIN(TstSimuladorPty)
#include "tst_simuladorpty.moc"
