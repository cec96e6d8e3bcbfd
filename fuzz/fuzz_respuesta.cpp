// The reply field readers and the lamps on any bytes, as a reply of a
// printer on a noisy line may hold. The runs turn some of these fields into
// numbers (the Z label) and into text for the lists.
#include "Ayudas.h"
#include "impresora/LectorRespuesta.h"
#include "impresora/Leds.h"
#include "comun/Legible.h"
#include "comun/Texto.h"

#include <cstdlib>

namespace
{
bool Valido(ColorLed c)
{
    return c == ColorLed::Gris || c == ColorLed::Verde || c == ColorLed::Rojo ||
           c == ColorLed::Naranja;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo)
{
    const QByteArray r(reinterpret_cast<const char*>(datos), qsizetype(largo));

    const QString factura = LectorRespuesta::UltimaFactura(r);
    const QString z = LectorRespuesta::AntesDeEtx(r);
    const QString estado = LectorRespuesta::CodigoEstado(r);
    Exigir(factura.size() <= 8 && z.size() <= 4 && estado.size() <= 2);
    Exigir(LectorRespuesta::PalabrasEstado(r).size() <= 8);
    Exigir(LectorRespuesta::FechaAaMmDd(r).size() <= 6);
    Exigir(LectorRespuesta::Registro(r).size() <= 10);
    if (LectorRespuesta::NumeroOcupado(r))
        Exigir(factura.contains(QLatin1Char('N'), Qt::CaseInsensitive));

    // The Z label plus one, as the runs write it back.
    const double valor = Texto::ValorInicial(z);
    (void)Texto::NumeroConSigno(valor + 1);
    (void)Texto::Recortado(QStringLiteral("0000") + z);
    (void)Legible::Texto(r);

    for (const Leds::Panel& p : {Leds::ActualizoLeds(r), Leds::PongoLeds(r)})
        for (ColorLed c : p)
            Exigir(Valido(c));
    return 0;
}
