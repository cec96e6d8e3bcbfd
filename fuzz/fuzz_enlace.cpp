// The exchange's reading loop fed a reply of random bytes that arrives in
// random pieces at random moments, with leftovers waiting before the frame.
// Checks what every caller relies on: the port is closed again, and the reply
// is either the synthetic error reply or starts at an STX.
#include "Ayudas.h"
#include "impresora/EnlaceImpresora.h"
#include "impresora/LectorRespuesta.h"
#include "impresora/Leds.h"
#include "impresora/Protocolo.h"
#include "apoyo/PuertoFalso.h"
#include "apoyo/RelojFalso.h"

#include <QLoggingCategory>

#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    QLoggingCategory::setFilterRules(QStringLiteral("*=false"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo)
{
    FuzzedDataProvider f(datos, largo);
    RelojFalso reloj;
    PuertoFalso puerto(reloj);
    EnlaceImpresora enlace(puerto, reloj);
    // The deadlines scaled down, so that a silent exchange costs a few turns
    // of the loop instead of hundreds; their arithmetic is the same.
    enlace.tiempos.esperaCortaMs = 200;
    enlace.tiempos.esperaLargaMs = 600;
    enlace.tiempos.extensionDc2Ms = 600;
    enlace.tiempos.rebanadaMs = 50;
    enlace.Secuencia = f.ConsumeIntegral<qint16>();
    int avisos = 0;
    enlace.AvisoOperador = [&avisos](const QString&) { ++avisos; };

    const int intercambios = f.ConsumeIntegralInRange(1, 3);
    for (int i = 0; i < intercambios; ++i) {
        enlace.EsperaCorta = f.ConsumeBool();
        enlace.PrimeraActivacion = f.ConsumeBool();
        puerto.PonerRestos(Bytes(f, 8));
        QList<PuertoFalso::Trozo> trozos;
        qint64 en = 0;
        const int piezas = f.ConsumeIntegralInRange(0, 12);
        for (int k = 0; k < piezas; ++k) {
            en += f.ConsumeIntegralInRange<qint64>(0, 1000);
            trozos.append({en, Bytes(f, 48)});
        }
        puerto.Programar(trozos);
        enlace.Comando = Bytes(f, 16);
        const QByteArray desnudo = enlace.Comando;
        const int antes = avisos;
        enlace.EnviarComando();

        Exigir(!puerto.Abierto());
        Exigir(puerto.Aperturas() == puerto.Cierres());
        Exigir(enlace.Secuencia >= 32 && enlace.Secuencia <= 70);
        Exigir(enlace.Comando.size() == desnudo.size() + 3);
        const QByteArray& r = enlace.Respuesta;
        if (r == EnlaceImpresora::RespuestaError()) {
            Exigir(avisos == antes + (enlace.PrimeraActivacion ? 1 : 0));
        } else {
            Exigir(avisos == antes);
            Exigir(!r.isEmpty() && r.front() == Protocolo::STX);
            // Nothing survives past the fourth character after the first ETX.
            const qsizetype etx = r.indexOf(Protocolo::ETX);
            Exigir(etx < 0 || r.size() - etx - 1 <= 4);
        }
        // What the callers read from it.
        (void)LectorRespuesta::Fallo(r);
        (void)LectorRespuesta::UltimaFactura(r);
        (void)LectorRespuesta::NumeroOcupado(r);
        (void)LectorRespuesta::AntesDeEtx(r);
        (void)LectorRespuesta::CodigoEstado(r);
        (void)Leds::ActualizoLeds(r);
    }
    return 0;
}
