#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

// One finished piece of paper: a fiscal document, a non-fiscal document, a
// closing or report, or a document cancelled by a reset. Amounts are kept in
// the printer's integer units so that totals never drift.
struct DocumentoImpreso {
    enum class Tipo { Factura, NotaCredito, NoFiscal, CierreX, CierreZ, Reporte, Anulado };

    struct Articulo {
        QString descripcion;
        qint64 cantidad = 0; // thousandths
        qint64 precio = 0;   // hundredths
        int tasa = 0;        // hundredths of a percent; 0 is exempt
    };

    // The document's body in printing order: text lines, items and the
    // point where the items were ended.
    struct Renglon {
        enum class Clase { Texto, Articulo, Subtotal };
        Clase clase = Clase::Texto;
        QString texto;
        DocumentoImpreso::Articulo articulo;
    };

    Tipo tipo = Tipo::Factura;
    Tipo anuladoDe = Tipo::Factura; // what a cancelled document was
    int numero = 0;
    QString cliente;
    QString rif;
    QString facturaAfectada;
    QString fechaFactura; // as received, mmddyyyy
    QString serial;
    QList<Renglon> renglones;
    qint64 total = 0; // hundredths, tax included
    int z = 0;        // daily period the document belongs to
    QDateTime hora;
    QStringList encabezado;
    QStringList pie;
    QString registro; // the printer's registration number

    // Taxable base and tax of one rate, as the printer sums them.
    struct Impuesto {
        int tasa = 0;
        qint64 base = 0;
        qint64 iva = 0;
    };

    QList<Articulo> articulos() const;
    QStringList lineas() const;
    bool esFiscal() const;
    // One entry per rate used, exempt first, then by rising rate.
    QList<Impuesto> impuestos() const;
    // Sum of bases and taxes of the items, in hundredths.
    qint64 sumaArticulos() const;

    // Quantity times unit price, rounded to hundredths.
    static qint64 Importe(const Articulo& a);

    static QString NombreTipo(Tipo t);
    // One journal object with the keys people and tests read.
    QJsonObject Json() const;
};
