// The exchange over a real pseudo-terminal against the printer simulator,
// with QSerialPort opened and closed on every exchange as in the program.
#include "SimuladorEnHilo.h"
#include "impresora/ComandosFiscales.h"
#include "impresora/EnlaceImpresora.h"
#include "impresora/LectorRespuesta.h"
#include "impresora/PuertoQt.h"

#include <QTest>

using L = LectorRespuesta;

class TstEnlaceSimulador : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void consultasYDocumento()
    {
        SimuladorFiscal::Opciones o;
        o.ritmo = false;
        o.registro = "SIM0000042";
        SimuladorEnHilo sim(o);
        QVERIFY2(sim.iniciar(), qPrintable(sim.error()));
        PuertoQt puerto(sim.ruta());
        EnlaceImpresora enlace(puerto);
        enlace.tiempos.esperaCortaMs = enlace.tiempos.esperaLargaMs = 2000;
        ComandosFiscales c(enlace);
        const auto enviar = [&](const QByteArray& comando) {
            enlace.Comando = comando;
            enlace.EnviarComando();
            return enlace.Respuesta;
        };
        c.PidoEstadoN();
        QCOMPARE(L::UltimaFactura(enlace.Respuesta), QString("00000000"));
        QCOMPARE(L::Registro(enviar("\x80")), QString("SIM0000042"));

        // A refusal is the printer's own reply, told apart from the synthetic one.
        sim.control(QStringLiteral("rechazar K 1"));
        c.CortoPapel();
        QVERIFY(L::Fallo(enlace.Respuesta));
        QCOMPARE(enlace.UltimaEntrega, EnlaceImpresora::Entrega::Buena);

        // A whole invoice: opened, one item, items ended, closed; the printer numbers it.
        const QByteArray d(1, '\x7f');
        const QByteArray factura =
            ComandosFiscales::Armar('@', {"Cliente", "J-1", d, d, d, d, d, d});
        QVERIFY(!L::Fallo(enviar(factura)));
        c.PidoEstadoT();
        QCOMPARE(L::CodigoEstado(enlace.Respuesta), QString("01"));
        QVERIFY(
            !L::Fallo(enviar(ComandosFiscales::Armar('B', {"Pan", "2000", "150", "1200", "M"}))));
        QVERIFY(!L::Fallo(enviar(ComandosFiscales::Armar('E', {"A"}))));
        QVERIFY(!L::Fallo(enviar("E")));
        c.PidoEstadoN();
        QCOMPARE(L::UltimaFactura(enlace.Respuesta), QString("00000001"));
        QCOMPARE(sim.documentos().size(), 1);

        // The program's reset is the one the printer knows: it cancels an open document.
        enviar(factura);
        c.Resetear();
        c.PidoEstadoT();
        QCOMPARE(L::CodigoEstado(enlace.Respuesta), QString("00"));
    }
};

QTEST_GUILESS_MAIN(TstEnlaceSimulador)
#include "tst_enlacesimulador.moc"
