// What the shop's server may send, read as the link reads it: bytes in
// pieces, each piece one message for the dispatch, acted on the chat board as
// the link does, and the board rendered for the window after every change.
#include "comun/CodigoPagina.h"
#include "servidor/DespachoServidor.h"
#include "servidor/Pizarra.h"

#include <QLoggingCategory>

#include <fuzzer/FuzzedDataProvider.h>

namespace
{
QString Texto(FuzzedDataProvider& f, size_t maximo)
{
    const std::string s = f.ConsumeBytesAsString(f.ConsumeIntegralInRange<size_t>(0, maximo));
    return CodigoPagina::ATexto(QByteArray(s.data(), qsizetype(s.size())));
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    QLoggingCategory::setFilterRules(QStringLiteral("*=false"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo)
{
    FuzzedDataProvider f(datos, largo);
    Pizarra pizarra;
    pizarra.IniciarPizarra();
    const int mensajes = f.ConsumeIntegralInRange(1, 16);
    for (int i = 0; i < mensajes && f.remaining_bytes() > 0; ++i) {
        switch (f.ConsumeIntegralInRange(0, 3)) {
        case 0: // what the robot sends and echoes on the board
            pizarra.Eco(Texto(f, 64), Texto(f, 16), f.ConsumeBool());
            break;
        case 1: // a board document stored as it came
            pizarra.Guardar(Texto(f, 256));
            break;
        case 2:
            (void)pizarra.TomarPizarra();
            break;
        default: {
            const QString mensaje = Texto(f, 256);
            const DespachoServidor::Resultado r = DespachoServidor::Despachar(mensaje);
            if (r.accion == DespachoServidor::Accion::Registrar)
                pizarra.IniciarPizarra();
            else if (r.accion == DespachoServidor::Accion::Charla)
                pizarra.ChatServidor(r.cuerpo);
            (void)DespachoServidor::CajaDeSolicitud(mensaje, Texto(f, 24));
            break;
        }
        }
        (void)Pizarra::AHtml(pizarra.Rtf());
    }
    // The renderer on text that never went through the board.
    (void)Pizarra::AHtml(Texto(f, 1024));
    return 0;
}
