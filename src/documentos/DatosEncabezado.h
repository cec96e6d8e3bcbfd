#pragma once

#include <QString>

#include <array>

// Installations with a layout of their own, told by the printer's
// registration number (shown in L(1)).
enum class VarianteInstalacion { Comun, Vehiculos, ClienteVendedor, Telefono };

// What the header reads from the sale and the items and closing lines use.
struct DatosEncabezado {
    VarianteInstalacion variante = VarianteInstalacion::Comun;
    double tasa = 0;                 // "PorcentImpuesto", a fraction (0.12)
    QString telefono;                // " " when the sale has none
    QString direccion;               // cleaned; in the vehicle layout with phone and condition
    QString formaPago;               // "NombreFormaPago", trimmed
    QString textoMedioPago;          // the words for "MedioPago"; empty for an unknown code
    bool plantillaAuxiliar = false;  // items described by their "Especificación" alone
    QString placa;                   // the vehicle's plate ("ORD_COMP")
    std::array<QString, 3> vehiculo; // VIN, engine serial, colour
};
