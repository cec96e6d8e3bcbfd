#include "impresora/Leds.h"

#include "impresora/LectorRespuesta.h"

namespace
{
bool efNeutro(int i)
{
    return i == 2 || i == 9 || i == 10 || i == 14;
}
bool eiActivo(int i)
{
    return i == 2 || i == 3 || i == 14 || i == 15;
}
} // namespace

QString Leds::ObtenerCadenaHex(int ind)
{
    const int v = ind - 1;
    QString s;
    for (int bit = 3; bit >= 0; --bit)
        s.append((v >> bit) & 1 ? QLatin1Char('1') : QLatin1Char('0'));
    return s;
}

ColorLed Leds::LedUno(FilaLed fila, int indice)
{
    if (fila == FilaLed::EF) {
        if (efNeutro(indice))
            return ColorLed::Gris;
        return indice == 8 ? ColorLed::Naranja : ColorLed::Rojo;
    }
    if (indice == 2 || indice == 3)
        return ColorLed::Naranja;
    return eiActivo(indice) ? ColorLed::Rojo : ColorLed::Gris;
}

ColorLed Leds::LedCero(FilaLed fila, int indice)
{
    if (fila == FilaLed::EF)
        return efNeutro(indice) ? ColorLed::Gris : ColorLed::Verde;
    return eiActivo(indice) ? ColorLed::Verde : ColorLed::Gris;
}

Leds::Panel Leds::PongoLeds(const QByteArray& estado)
{
    QString bits;
    for (int i = 0; i < 8; ++i) {
        int digito = 0;
        if (i < estado.size()) {
            const char c = estado.at(i);
            if (c >= '0' && c <= '9')
                digito = c - '0';
            else if (c >= 'A' && c <= 'F')
                digito = c - 'A' + 10;
            else if (c >= 'a' && c <= 'f')
                digito = c - 'a' + 10;
        }
        bits += ObtenerCadenaHex(digito + 1);
    }
    Panel p = ApagoLeds();
    for (int pos = 0; pos < 32; ++pos) {
        const FilaLed fila = pos < 16 ? FilaLed::EF : FilaLed::EI;
        const int indice = pos % 16;
        p[pos] = bits.at(pos) == QLatin1Char('1') ? LedUno(fila, indice) : LedCero(fila, indice);
    }
    return p;
}

Leds::Panel Leds::ActualizoLeds(const QByteArray& respuesta)
{
    if (LectorRespuesta::Fallo(respuesta)) {
        Panel p = PongoLeds("00003600");
        ApagoLedsFiscales(p);
        return p;
    }
    return PongoLeds(LectorRespuesta::PalabrasEstado(respuesta));
}

Leds::Panel Leds::ApagoLeds()
{
    Panel p;
    p.fill(ColorLed::Gris);
    return p;
}

void Leds::ApagoLedsFiscales(Panel& panel)
{
    for (int i = 0; i < 16; ++i)
        panel[i] = ColorLed::Gris;
}

QString Leds::Tooltip(FilaLed fila, int indice)
{
    static const char* const kEF[16] = {
        "Comprobación de memoria fiscal",
        "Comprobación de memoria de trabajo",
        "No utilizado",
        "Verificación de reconocimiento de comandos",
        "Verificación de validez de campos de datos",
        "Verificación de validez de comando para estado fiscal",
        "Verificación de desbordamiento de totales",
        "Verifcación de capacidad de memoria fiscal",
        "Verificación de memoria fiscal casi llena",
        "No utilizado",
        "No utilizado",
        "Verificación de cierre de jornada / cierre de documento fiscal",
        "Verificación de documento fiscal abierto",
        "Verificación de documento no fiscal abierto",
        "No utilizado",
        "OR lógico para leds 1, 9 ,12"};
    if (indice < 0 || indice > 15)
        return QString();
    if (fila == FilaLed::EF)
        return QString::fromUtf8(kEF[indice]);
    switch (indice) {
    case 2:
        return QStringLiteral("Verificación de error o falla de la impresora");
    case 3:
        return QStringLiteral("Verificación de impresora fuera de línea");
    case 14:
        return QStringLiteral("Verificación de disponibilidad de papel de impresón");
    case 15:
        return QStringLiteral("OR lógco para leds 1, 7, 15");
    default:
        return QStringLiteral("No utilizado");
    }
}
