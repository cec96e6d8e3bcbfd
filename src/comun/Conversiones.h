#pragma once

#include <QString>

// Turns database values into the texts and digit strings the printer fields
// accept. Pure functions, independent of the machine's locale; the printer
// bytes are made later by CodigoPagina::ABytes.
class Conversiones
{
  public:
    // The text without "." and "," (J-12.345.678-9 -> J-12345678-9).
    static QString LimpioRif(const QString& cadenita);

    // Accented Spanish letters made plain, every character outside codes
    // 33..125 of Windows-1252 (or outside that page) blanked, spaces trimmed.
    static QString LimpioCadena(const QString& cadenita);
    // A text from the database as the printer fields count it: one unit a
    // character. Accents stored apart are joined to their letter and a
    // character beyond 16 bits (an emoji) becomes one U+FFFD, which
    // LimpioCadena prints as one blank; so every cut counts alike.
    static QString TextoDeBase(const QString& texto);

    // The amount's digits in hundredths, no sign, no separator: 0 -> "000",
    // 0.05 -> "05", 1234.5 -> "123450", -12.5 -> "1250". Ties at two decimals
    // round away from zero on the amount as written (1.005 -> "101").
    // Empty when the amount cannot be printed (not finite, or 10^15 or more):
    // callers must treat an empty field as a failed conversion.
    static QString Cifras(double monto);

    // Pads with "0" on the left to `largo` characters; never cuts.
    static QString RellenoCeros(const QString& cadena, int largo);

    // Character 1, "-", characters 2 to 9, "-", character 10
    // (J123456789 -> J-12345678-9; J1234 -> J-1234-; "" -> "--").
    static QString Decoro_RIF(const QString& cadenita);

    // Item fields shared by invoices and credit notes. Each is empty when
    // Cifras cannot print the value.
    // Quantity in thousandths: 1 -> "1000", 2.5 -> "2500".
    static QString CampoCantidad(double cantidad);
    // Unit price in hundredths: 1234.5 -> "123450".
    static QString CampoPrecio(double precio);
    // Rate stored as a fraction, four digits in hundredths of a percent:
    // 0.12 -> "1200", 0.08 -> "0800"; "0000" for an exempt item.
    static QString CampoTasa(double tasaFraccion, bool exento);
};
