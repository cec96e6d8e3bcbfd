// The credit note as ArmadoNotaCredito builds it from the note, its lines and
// the settings, before anything goes to the printer: every command, or the
// field that stops it while nothing is open.
#include "Tablas.h"
#include "documentos/ArmadoNotaCredito.h"

#include <QDate>
#include <QTest>

namespace
{
QVariantMap Linea(const QString& nombre, const QVariant& cantidad = 1, const QVariant& precio = 10,
                  const QVariant& exento = 0)
{
    return Campos({"Nombre", nombre, "Cantidad", cantidad, "CantDec", cantidad, "Precio", precio,
                   "ExcentoImpuesto", exento, "COD_PROD", "P001"});
}

// A note of 10.00 without lines or sale, on 80 columns without the address.
struct Caso {
    QVariantMap nota =
        Campos({"NombreCliente", "Cliente de contado", "Rif", "V-12345678", "PorcentImpuesto", 0.12,
                "Monto", 10.0, "MontoExcento", 0.0, "Dirección", "Av. Principal, Local 1"});
    QList<QVariantMap> lineas;
    bool columnas80 = true;
    ArmadoNotaCredito::Ajustes ajustes{{}, 0, false, false, 1, "SIM0000001"};
};
using Ajuste = std::function<void(Caso&)>;

Ajuste Nota(const QString& campo, const QVariant& valor)
{
    return [=](Caso& c) { c.nota[campo] = valor; };
}
Ajuste Lineas(const QList<QVariantMap>& lineas)
{
    return [=](Caso& c) { c.lineas = lineas; };
}
const Ajuste k40 = [](Caso& c) { c.columnas80 = false; };
const Ajuste kDireccion = [](Caso& c) { c.ajustes.Direccion = true; };

// The opening: the customer, the sale's invoice and date.
const QString kApertura = "@|%1|V-12345678|%2|SIM0000001|%3|1200|D";
const QString kDiez = "B|Descuento aplicado a factura|1000|1000|1200|M";
} // namespace
Q_DECLARE_METATYPE(Ajuste)

class TstNotaCredito : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void Armado_data()
    {
        QTest::addColumn<Ajuste>("ajuste");
        QTest::addColumn<QStringList>("comandos"); // or the operator's text
        const auto fila = [](const char* nombre, const Ajuste& a, const QStringList& resto,
                             const QString& apertura =
                                 kApertura.arg("Cliente de contado", "", "")) {
            QTest::newRow(nombre) << a << (QStringList{apertura} << resto);
        };
        const auto falla = [](const char* nombre, const Ajuste& a, const QString& campo,
                              const QString& texto = "de la nota 7 está vacío") {
            QTest::newRow(nombre) << a << QStringList{"El campo \"" + campo + "\" " + texto + "."};
        };
        // Without lines: a discount on the whole invoice, one item per amount.
        fila("discount, 80 columns", Nota("Monto", 100.0),
             {"B|Descuento aplicado a factura|1000|10000|1200|M"});
        fila("taxed and exempt, 40 columns",
             k40 + Nota("Monto", 100.0) + Nota("MontoExcento", 50.5),
             {"B|Descuento aplicado|1000|10000|1200|M", "B|Descuento aplicado|1000|5050|0000|M"});
        fila("no amounts", Nota("Monto", 0.0), {});
        // With lines the amounts are not printed; a Null exempt flag is exempt.
        fila("lines, product code",
             Nota("Monto", 999.0) + [](Caso& c) { c.ajustes.CodProd = true; } +
                 Lineas({Linea("Arroz blanco", 2, 10), Linea("Harina de maíz", 1, 5.5, -1),
                         Linea("Azúcar", 3, 2.25, QVariant())}),
             {"B|P001 Arroz blanco|2000|1000|1200|M", "B|P001 Harina de maiz|1000|550|0000|M",
              "B|P001 Azucar|3000|225|0000|M"});
        // Cut to the width, no continuation lines: 39 on 80 columns, 19 on 40.
        const QString d45 = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcdefghi";
        fila("80 columns, cut at 39", Lineas({Linea(d45)}),
             {"B|" + d45.left(39) + "|1000|1000|1200|M"});
        fila("40 columns, cut at 19 and trimmed",
             k40 + Lineas({Linea("Detergente liquido concentrado 1")}),
             {"B|Detergente liquido|1000|1000|1200|M"});
        const auto queso = [](int modo) {
            return Lineas({Linea("Queso", 2.5)}) + [modo](Caso& c) {
                c.ajustes.ModoCantidad = modo;
                c.lineas[0]["Cantidad"] = 3;
            };
        };
        fila("quantity 2.5 in mode 2", queso(2), {"B|Queso|2500|1000|1200|M"});
        fila("mode 0 reads Cantidad", queso(0), {"B|Queso|3000|1000|1200|M"});
        // The address after the items: 28 characters after its label, then 39.
        const QString d40 = "Avenida Francisco de Miranda Torre Delta";
        fila("address of 40", kDireccion + Nota("Dirección", d40),
             {kDiez, "A|DIRECCION: Avenida Francisco de Miranda", "A|Torre Delta"});
        fila("short address", kDireccion + Nota("Dirección", " Calle Ñ "),
             {kDiez, "A|DIRECCION: Calle N"});
        fila("address off", Nota("Dirección", d40), {kDiez});

        // A note of a sale: the opening carries its invoice and date (month
        // first), 38 characters of the name (all of it goes on lines of its
        // own when longer) and the RIF cleaned.
        const QString n38 = "Inversiones Agropecuarias La Esperanza";
        const auto venta = [](const QString& nombre, const QVariant& fecha,
                              const QVariant& factura = "00000456") {
            return Nota("NombreCliente", nombre) + Nota("factura", factura) +
                   Nota("FechaVenta", fecha) + Nota("Rif", " V-12.345.678 ");
        };
        fila("name of 38", venta(n38, "2026-03-03"), {kDiez},
             kApertura.arg(n38, "00000456", "03032026"));
        fila("name of 50, 5 December",
             venta("Comercializadora Internacional Los Andes del Sur C", "2026-12-05 10:30:00"),
             {"A|Comercializadora Internacional Los Ande", "A|s del Sur C", kDiez},
             kApertura.arg("Comercializadora Internacional Los And", "00000456", "12052026"));
        fila("date as a date", venta(n38, QDate(2026, 12, 5)), {kDiez},
             kApertura.arg(n38, "00000456", "12052026"));
        fila("Null invoice and date", venta(n38, QVariant(), QVariant()), {kDiez},
             kApertura.arg(n38, "", ""));

        falla("Null name", Nota("NombreCliente", QVariant()), "NombreCliente");
        falla("Null amount", Nota("Monto", QVariant()), "Monto");
        falla("amount not a number", Nota("MontoExcento", "diez"), "MontoExcento",
              "de la nota 7 no tiene un valor que se pueda imprimir");
        falla("date not a date", Nota("FechaVenta", "05/12/2026"), "FechaVenta",
              "de la nota 7 no tiene un valor que se pueda imprimir");
        falla("Null address", Nota("Dirección", QVariant()), "Dirección");
        falla("Null price", Lineas({Linea("Arroz"), Linea("Harina", 1, QVariant())}), "Precio",
              "de la línea 2 de la nota 7 está vacío");
        falla("Null quantity", Lineas({Linea("Arroz", QVariant())}), "Cantidad",
              "de la línea 1 de la nota 7 está vacío");
    }
    void Armado()
    {
        QFETCH(Ajuste, ajuste);
        QFETCH(QStringList, comandos);
        Caso c;
        ajuste(c);
        c.ajustes.TextoDescuento = ArmadoNotaCredito::TextoDescuento(c.columnas80);
        c.ajustes.AnchoNota = ArmadoNotaCredito::AnchoNota(c.columnas80);
        QList<QSqlRecord> lineas;
        for (const QVariantMap& l : c.lineas)
            lineas << Registro(l);
        const auto r = ArmadoNotaCredito::Armar(c.ajustes, 7, Registro(c.nota), lineas);
        QStringList t;
        if (!r.Valor)
            t << r.Falla;
        else
            for (const QByteArray& b : QList<QByteArray>{r.Valor->Apertura} + r.Valor->Nombre +
                                           r.Valor->Articulos + r.Valor->Direccion)
                t << Legible(b);
        QCOMPARE(t, comandos);
    }
};

QTEST_GUILESS_MAIN(TstNotaCredito)
#include "tst_notacredito.moc"
