#pragma once

#include <QByteArray>
#include <QString>
#include <array>

enum class ColorLed { Gris, Verde, Rojo, Naranja };
enum class FilaLed { EF, EI };

// The two rows of 16 lamps that show a reply's status words: EF for the
// first word, EI for the second; lamp k shows bit 15 - k.
class Leds
{
  public:
    using Panel = std::array<ColorLed, 32>; // EF(0..15), then EI(0..15)

    // The 4-character binary text of Ind - 1: 1 -> "0000", 16 -> "1111".
    static QString ObtenerCadenaHex(int ind);
    static ColorLed LedUno(FilaLed fila, int indice);
    static ColorLed LedCero(FilaLed fila, int indice);
    // Estado: 8 hex digits, first word then second; other characters count as 0.
    static Panel PongoLeds(const QByteArray& estado);
    // The lamps for a reply: its status words, or for a failed reply the
    // fixed pair 00003600 with the EF row grey.
    static Panel ActualizoLeds(const QByteArray& respuesta);
    static Panel ApagoLeds();
    static void ApagoLedsFiscales(Panel& panel);
    static QString Tooltip(FilaLed fila, int indice);
};
