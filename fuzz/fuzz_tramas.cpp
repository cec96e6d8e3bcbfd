// The simulator's side of the line: the frame parser fed a byte stream in
// random pieces, each complete frame answered by SimuladorFiscal::atender and
// so by the printer's state machine. The stream is either raw bytes or
// commands framed correctly (so the state machine sees real documents), with
// some of them damaged. Every reply must itself be one valid frame echoing
// the sequence byte and the command byte.
#include "Ayudas.h"
#include "LectorTramas.h"
#include "impresora/Protocolo.h"
#include "SimuladorFiscal.h"

#include <QCoreApplication>
#include <QLoggingCategory>

#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>

namespace
{
// A command whose fields are separated by FS, often starting with a command
// byte the printer knows.
QByteArray Comando(FuzzedDataProvider& f)
{
    static const char kConocidos[] = "89@ABEHIJKPY]^:;";
    QByteArray c;
    if (f.ConsumeBool())
        c.append(kConocidos[f.ConsumeIntegralInRange<size_t>(0, sizeof kConocidos - 2)]);
    const int campos = f.ConsumeIntegralInRange(0, 9);
    for (int i = 0; i < campos; ++i)
        c.append(Protocolo::FS).append(Bytes(f, 24));
    if (f.ConsumeIntegralInRange(0, 15) == 0)
        c = QByteArray("\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f\x10\x11\x12\x13\x14\x15\x16\x17");
    // The frame cannot carry STX or ETX inside the command.
    c.replace(Protocolo::STX, '?').replace(Protocolo::ETX, '?');
    return c;
}

void Revisar(const LectorTramas::Trama& t, const QByteArray& respuesta)
{
    LectorTramas lector;
    const QList<LectorTramas::Trama> r = lector.alimentar(respuesta);
    Exigir(r.size() == 1 && r.front().valida);
    Exigir(r.front().secuencia == t.secuencia);
    Exigir(!r.front().comando.isEmpty());
    Exigir(t.comando.isEmpty() || r.front().comando.front() == t.comando.front());
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication app(*argc, *argv);
    QLoggingCategory::setFilterRules(QStringLiteral("*=false"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo)
{
    FuzzedDataProvider f(datos, largo);
    SimuladorFiscal::Opciones o;
    o.ritmo = false;
    o.fecha = QDateTime(QDate(2026, 12, 5), QTime(10, 30));
    SimuladorFiscal sim(o);
    if (f.ConsumeIntegralInRange(0, 7) == 0) {
        FallasSimulador fallas;
        fallas.numeroOcupado = f.ConsumeIntegralInRange(-1, 3);
        fallas.rechazarEnesimo = f.ConsumeIntegralInRange(0, 5);
        // As the control line "estado CC" allows: two digits.
        fallas.estado = QByteArray::number(f.ConsumeIntegralInRange(0, 15)).rightJustified(2, '0');
        sim.ponerFallas(fallas);
    }

    QByteArray flujo;
    if (f.ConsumeBool()) {
        flujo = Bytes(f, 4096);
    } else {
        const int tramas = f.ConsumeIntegralInRange(1, 24);
        for (int i = 0; i < tramas && f.remaining_bytes() > 0; ++i) {
            const char secuencia = char(f.ConsumeIntegralInRange(30, 72));
            QByteArray trama = LectorTramas::Enmarcar(secuencia, Comando(f));
            if (f.ConsumeIntegralInRange(0, 9) == 0 && !trama.isEmpty())
                trama[f.ConsumeIntegralInRange<qsizetype>(0, trama.size() - 1)] =
                    char(f.ConsumeIntegral<quint8>());
            flujo.append(Bytes(f, 2)).append(trama);
        }
    }

    LectorTramas lector;
    qint64 instante = 0;
    for (qsizetype hecho = 0; hecho < flujo.size();) {
        const qsizetype trozo =
            qMin<qsizetype>(flujo.size() - hecho, f.ConsumeIntegralInRange(1, 64));
        instante += 1'000'000;
        for (const LectorTramas::Trama& t :
             lector.alimentar(QByteArrayView(flujo).sliced(hecho, trozo), instante)) {
            Exigir(!t.valida || (t.bruta.size() >= 7 && t.bruta.front() == Protocolo::STX));
            if (const std::optional<QByteArray> r = sim.atender(t))
                Revisar(t, *r);
            else
                Exigir(!t.valida || sim.fallas().silencio);
        }
        hecho += trozo;
    }
    return 0;
}
