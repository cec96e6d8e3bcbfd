// The exchange over a real pseudo-terminal against the printer simulator,
// with QSerialPort opened and closed on every exchange as in the program.
#include "impresora/ComandosFiscales.h"
#include "impresora/EnlaceImpresora.h"
#include "impresora/LectorRespuesta.h"
#include "impresora/Protocolo.h"
#include "impresora/PuertoQt.h"
#include "SimuladorEnHilo.h"

#include <QElapsedTimer>
#include <QTest>

using namespace Protocolo;

class TstEnlaceSimulador : public QObject
{
    Q_OBJECT

    std::unique_ptr<SimuladorEnHilo> sim_;
    std::unique_ptr<PuertoQt> puerto_;
    std::unique_ptr<EnlaceImpresora> enlace_;

    void Enviar(const QByteArray& comando)
    {
        enlace_->Comando = comando;
        enlace_->EnviarComando();
    }

private Q_SLOTS:
    void init()
    {
        SimuladorFiscal::Opciones o;
        o.ritmo = false;
        o.registro = "SIM0000042";
        sim_ = std::make_unique<SimuladorEnHilo>(o);
        QVERIFY2(sim_->iniciar(), qPrintable(sim_->error()));
        puerto_ = std::make_unique<PuertoQt>(sim_->ruta());
        enlace_ = std::make_unique<EnlaceImpresora>(*puerto_);
        enlace_->tiempos.esperaCortaMs = 1500;
        enlace_->tiempos.esperaLargaMs = 1500;
        enlace_->tiempos.extensionDc2Ms = 1500;
    }
    void cleanup()
    {
        enlace_.reset();
        puerto_.reset();
        sim_.reset();
    }

    void consultasYDocumento()
    {
        ComandosFiscales c(*enlace_);
        c.PidoEstadoN();
        QVERIFY(!LectorRespuesta::Fallo(enlace_->Respuesta));
        QCOMPARE(enlace_->Respuesta.at(0), STX);
        QCOMPARE(enlace_->Respuesta.at(enlace_->Respuesta.size() - 5), ETX);
        QCOMPARE(LectorRespuesta::UltimaFactura(enlace_->Respuesta), QString("00000000"));
        QCOMPARE(LectorRespuesta::AntesDeEtx(enlace_->Respuesta), QString("0000"));
        c.PidoEstadoT();
        QCOMPARE(LectorRespuesta::CodigoEstado(enlace_->Respuesta), QString("00"));
        Enviar(QByteArray(1, char(0x80)));
        QCOMPARE(LectorRespuesta::Registro(enlace_->Respuesta), QString("SIM0000042"));

        // A whole invoice: opened, one item, items ended, closed; the printer numbers it.
        Enviar(ComandosFiscales::Armar('@', {"Cliente", "J-1", QByteArray(1, DEL), QByteArray(1, DEL),
                                             QByteArray(1, DEL), QByteArray(1, DEL), QByteArray(1, DEL),
                                             QByteArray(1, DEL)}));
        QVERIFY2(!LectorRespuesta::Fallo(enlace_->Respuesta), enlace_->Respuesta.constData());
        c.PidoEstadoT();
        QCOMPARE(LectorRespuesta::CodigoEstado(enlace_->Respuesta), QString("01"));
        Enviar(ComandosFiscales::Armar('B', {"Pan", "2000", "150", "1200", "M", QByteArray(1, DEL),
                                             QByteArray(1, DEL), QByteArray(1, DEL)}));
        QVERIFY(!LectorRespuesta::Fallo(enlace_->Respuesta));
        Enviar(ComandosFiscales::Armar('E', {"A"}));
        Enviar("E");
        QVERIFY(!LectorRespuesta::Fallo(enlace_->Respuesta));
        c.PidoEstadoN();
        QCOMPARE(LectorRespuesta::UltimaFactura(enlace_->Respuesta), QString("00000001"));
        const QList<DocumentoImpreso> docs = sim_->documentos();
        QCOMPARE(docs.size(), 1);
    }

    void rechazo()
    {
        sim_->control(QStringLiteral("rechazar K 1"));
        ComandosFiscales c(*enlace_);
        c.CortoPapel();
        QVERIFY(LectorRespuesta::Fallo(enlace_->Respuesta));
        QVERIFY(enlace_->Respuesta != EnlaceImpresora::RespuestaError()); // a real reply
        c.CortoPapel();
        QVERIFY(!LectorRespuesta::Fallo(enlace_->Respuesta));
        // An item without an open document is refused by the printer's state.
        Enviar(ComandosFiscales::Armar('B', {"x", "1000", "100", "0000", "M"}));
        QVERIFY(LectorRespuesta::Fallo(enlace_->Respuesta));
    }

    void respuestaEntorpecida_data()
    {
        QTest::addColumn<QString>("falla");
        QTest::newRow("en trozos") << "trozos 1,2,3,5,40 30";
        QTest::newRow("basura antes") << "basura 7";
        QTest::newRow("ocupada con DC2") << "ocupado 3 400";
    }
    void respuestaEntorpecida()
    {
        QFETCH(QString, falla);
        ComandosFiscales c(*enlace_);
        c.PidoEstadoN();
        const QByteArray limpia = enlace_->Respuesta;
        QVERIFY(!LectorRespuesta::Fallo(limpia));
        QCOMPARE(sim_->control(falla).texto, QString("ok"));
        c.PidoEstadoN();
        // The same reply (the sequence byte and the clock aside) arrives whole.
        QVERIFY2(!LectorRespuesta::Fallo(enlace_->Respuesta), enlace_->Respuesta.constData());
        QCOMPARE(enlace_->Respuesta.size(), limpia.size());
        QCOMPARE(enlace_->Respuesta.at(0), STX);
        QCOMPARE(LectorRespuesta::UltimaFactura(enlace_->Respuesta), LectorRespuesta::UltimaFactura(limpia));
    }

    void dc2ExtiendeMasAllaDelPlazoCorto()
    {
        // Busy bytes for 2.4 s: longer than the 1.5 s short deadline, yet the
        // reply is taken because each DC2 piece moves the deadline.
        sim_->control(QStringLiteral("ocupado 6 400"));
        ComandosFiscales c(*enlace_);
        QElapsedTimer t;
        t.start();
        c.PidoEstadoN();
        QVERIFY2(!LectorRespuesta::Fallo(enlace_->Respuesta), enlace_->Respuesta.constData());
        QVERIFY(t.elapsed() >= 2000);
    }

    void silencio()
    {
        sim_->control(QStringLiteral("silencio on"));
        ComandosFiscales c(*enlace_);
        QElapsedTimer t;
        t.start();
        c.PidoEstadoN();
        QCOMPARE(enlace_->Respuesta, EnlaceImpresora::RespuestaError());
        QVERIFY(t.elapsed() >= 1400 && t.elapsed() < 5000);
        sim_->control(QStringLiteral("silencio off"));
        c.PidoEstadoN(); // the port was closed and opens again
        QVERIFY(!LectorRespuesta::Fallo(enlace_->Respuesta));
    }

    void puertoInexistente()
    {
        PuertoQt malo(QStringLiteral("/dev/no-existe-rovend"));
        EnlaceImpresora e(malo);
        QElapsedTimer t;
        t.start();
        e.Comando = "K";
        e.EnviarComando();
        QCOMPARE(e.Respuesta, EnlaceImpresora::RespuestaError());
        QVERIFY(t.elapsed() < 1000); // at once, not after the deadline
    }
};

QTEST_GUILESS_MAIN(TstEnlaceSimulador)
#include "tst_enlacesimulador.moc"
