#pragma once

#include <QByteArray>
#include <QList>
#include <QSqlRecord>
#include <QString>

#include <optional>

// Turns a credit note's header and lines into the printer commands of the
// document, all of them before the first one is sent: a value that cannot be
// printed stops the run while the printer still holds nothing open.
class ArmadoNotaCredito
{
  public:
    struct Ajustes {
        QString TextoDescuento;
        int AnchoNota = 39;
        bool CodProd = false;
        bool Direccion = false;
        int ModoCantidad = 0;
        QString Serial;
    };

    // Bare commands, in printing order.
    struct Comandos {
        QByteArray Apertura;         // "@": opens the note against its invoice
        QList<QByteArray> Nombre;    // "A": the rest of a long customer name
        QList<QByteArray> Articulos; // "B": the discounts, or one per line of the note
        QList<QByteArray> Direccion; // "A": the address, after the end of items
    };

    struct Resultado {
        std::optional<Comandos> Valor;
        QString Falla; // for the operator, when there is no value
    };

    // "Descuento aplicado a factura" on 80 columns, "Descuento aplicado" on 40.
    static QString TextoDescuento(bool columnas80);
    // Description characters of an item line: 39 on 80 columns, 19 on 40.
    static int AnchoNota(bool columnas80);

    // `nota` is the row of [Consulta NotaCréditoVenta], `lineas` its detail
    // rows in printing order.
    static Resultado Armar(const Ajustes& ajustes, qlonglong codigo, const QSqlRecord& nota,
                           const QList<QSqlRecord>& lineas);
};
