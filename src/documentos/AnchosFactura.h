#pragma once

// The invoice's line widths and counts, in characters, as the printer's
// 40- and 80-column layouts take them.
namespace AnchosFactura
{
// The header: the opening's name and RIF fields, a text line, the order
// line, the warranty line, the second address line, at most three lines.
constexpr int kNombre = 38;
constexpr int kRif = 13;
constexpr int kLinea = 39;
constexpr int kOrden = 70;
constexpr int kGarantia = 50;
constexpr int kDireccion2 = 49;
constexpr int kLineasEncabezado = 3;
// An item's description: 80 columns, 40 columns, the vehicle installation;
// continuation lines after the item line (longer descriptions are cut).
constexpr int kArticulo80 = 38;
constexpr int kArticulo40 = 19;
constexpr int kArticuloVehiculos = 50;
constexpr int kContinuaciones = 3;
// The closing lines: the phone and the payment condition after their labels.
constexpr int kTelefono = 33;
constexpr int kCondicion = 28;
} // namespace AnchosFactura
