// The invoice as ArmadoFactura builds it from the sale, its lines and the
// settings, before anything goes to the printer: every command, or the stage
// and the field that stops it while nothing is open.
#include "Tablas.h"
#include "documentos/ArmadoFactura.h"

#include <QTest>

namespace
{
QVariantMap Linea(const QVariant& nombre)
{
    return Campos({"Nombre", nombre, "Cantidad", 1, "CantDec", 1, "Precio", 10.0, "ExcentoImpuesto",
                   0, "COD_PROD", "P001"});
}

// The sale of [Consulta Ventas] (its other fields Null), one line, and a
// shop on 80 columns with the address lines.
struct Caso {
    QVariantMap venta = Campos({"NombreCliente", "Cliente de contado", "Rif", "V-12345678",
                                "Dirección", "Av. Principal, Local 1", "NombreFormaPago", "Contado",
                                "MedioPago", 0, "PorcentImpuesto", 0.12, "PlantillaAuxiliar", 0,
                                "COD_CLI", "C0001", "NombreVendedor", "Vendedor 1"});
    QList<QVariantMap> lineas{Linea("Producto")};
    ArmadoFactura::Ajustes ajustes;
};
using Ajuste = std::function<void(Caso&)>;

// A field of the sale, or of one of its lines.
Ajuste Campo(const QString& campo, const QVariant& valor, int linea = -1)
{
    return [=](Caso& c) { (linea < 0 ? c.venta : c.lineas[linea])[campo] = valor; };
}
Ajuste Con(bool Configuracion::*ajuste, bool valor = true)
{
    return [=](Caso& c) { c.ajustes.config.*ajuste = valor; };
}
Ajuste Lineas(const QStringList& nombres)
{
    return [=](Caso& c) {
        c.lineas.clear();
        for (const QString& n : nombres)
            c.lineas << Linea(n);
    };
}
// 1.5 in "CantDec", 3 in "Cantidad".
Ajuste Modo(int modo)
{
    return Campo("CantDec", 1.5, 0) + Campo("Cantidad", 3, 0) +
           [=](Caso& c) { c.ajustes.ModoCantidad = modo; };
}
QString Articulo(const QString& descripcion, const QString& resto = "1000|1000|1200")
{
    return "B|" + descripcion + "|" + resto + "|M";
}

const QString kApertura = "@|Cliente de contado|V-12345678";
const QString kArticulo = Articulo("Producto");
const QStringList kCierre = {"A|Av. Principal, Local 1", "A|Condicion: Contado"};
const QString kSeparador = Articulo("-------", "000|000|0000");
const QString kFalta = "La factura 7 no se imprimió: el campo \"%1\" está vacío (Null) o no se "
                       "puede imprimir. No se abrió nada en la impresora.";
} // namespace
Q_DECLARE_METATYPE(Ajuste)

class TstImpresionFactura : public QObject
{
    Q_OBJECT

  private Q_SLOTS:
    void Armado_data()
    {
        QTest::addColumn<Ajuste>("ajuste");
        QTest::addColumn<QStringList>("comandos");
        // `medio`: the commands after the opening up to the end of items.
        const auto fila = [](const char* nombre, const Ajuste& a, const QStringList& medio,
                             const QStringList& cierre = kCierre,
                             const QString& apertura = kApertura) {
            QTest::newRow(nombre) << a << (QStringList{apertura} << medio << "E|A" << cierre);
        };
        // A field that cannot be printed: the stage and the operator's text.
        const auto falta = [](const char* nombre, const Ajuste& a, const QString& etapa,
                              const QString& campo) {
            QTest::newRow(nombre) << a << QStringList{"etapa " + etapa + ": " + kFalta.arg(campo)};
        };
        fila("customer cleaned, two items",
             Campo("NombreCliente", "José Pérez") + Campo("Rif", "V-12.345.678") +
                 Lineas({"Harina", "Aceite"}) + Campo("Cantidad", 2, 0) + Campo("Precio", 10.5, 0) +
                 Campo("Cantidad", 1.5, 1) + Campo("ExcentoImpuesto", -1, 1),
             {Articulo("Harina", "2000|1050|1200"), Articulo("Aceite", "1500|1000|0000")}, kCierre,
             "@|Jose Perez|V-12345678");

        // The opening holds 38 characters of the name; a longer one also goes,
        // whole, on lines after it, and the optional header lines are three.
        const QString n60 = "Distribuidora Nacional de Alimentos del Centro Oeste, C.A.xy";
        const QStringList nombre60{"A|" + n60.left(39), "A|" + n60.mid(39).trimmed()};
        const QString abre60 = "@|" + n60.left(38) + "|V-12345678";
        fila("name 38", Campo("NombreCliente", QString(38, 'n')), {kArticulo}, kCierre,
             "@|" + QString(38, 'n') + "|V-12345678");
        fila("name 60", Campo("NombreCliente", n60), QStringList(nombre60) << kArticulo, kCierre,
             abre60);
        const auto orden = Con(&Configuracion::EntregaOrden) + Campo("ORD_COMP", "OC-77");
        const auto libre = Con(&Configuracion::CampoTextoAdic01);
        fila("order and note", orden + Campo("NotaEntrega", "NE-5"), {"A|OC-77 NE-5", kArticulo});
        fila("note S/N", orden + Campo("NotaEntrega", "S/N"), {"A|OC-77", kArticulo});
        fila("note empty", orden + Campo("NotaEntrega", ""), {"A|OC-77", kArticulo});
        fila("note without order", Con(&Configuracion::EntregaOrden) + Campo("NotaEntrega", "NE-5"),
             {kArticulo});
        fila("free text", libre + Campo("CampoTextoAdic01", "Entregar en almacén"),
             {"A|Entregar en almacen", kArticulo});
        fila("three lines at most",
             orden + Campo("NombreCliente", n60) + libre + Campo("CampoTextoAdic01", "Libre"),
             QStringList(nombre60) << "A|OC-77" << kArticulo, kCierre, abre60);

        // The installations of their own, told by the printer's registration.
        for (const char* registro : {"EOC0015112", "EOC0003310", "EOC0011095"})
            fila(registro,
                 Campo("registro", registro) + orden + Campo("Especificación", "Talla M", 0),
                 {"A|Cli: C0001 Vend: Vendedor 1", Articulo("Talla M Producto")});
        fila("customer code too long",
             Campo("registro", "EOC0015112") + Campo("COD_CLI", QString(40, 'c')),
             {"A|Cli: " + QString(34, 'c'), kArticulo});
        fila("phone", Campo("registro", "EOC0008906") + Campo("Teléfono", "0241-555"), {kArticulo},
             {kCierre[0], "A|Telf 0241-555", kCierre[1]});
        fila("vehicles",
             Campo("registro", "EOC0012553") + orden + libre + Campo("Teléfono", "0414-1234567") +
                 Campo("ORD_COMP", "ABC123") + Campo("NotaEntrega", "6 meses") +
                 Campo("CampoTextoAdic01", "VIN1") + Campo("CampoTextoAdic03", "Rojo") +
                 Campo("Especificación", "Talla M", 0),
             {"A|DIRECCION: Av. Principal, Local 1 tlf:0414-1234567", "A|Cond:Contado",
              "A|Garantia: 6 meses", Articulo("Producto Placa:ABC123")},
             {"A|VIN: VIN1", "A|Color: Rojo"});

        // The payment condition: the means' words after a form that is not cash.
        const auto credito = Campo("NombreFormaPago", "Credito");
        fila("payment means 3", credito + Campo("MedioPago", 3), {kArticulo},
             {kCierre[0], "A|Condicion: Credito T. Credito"});
        fila("payment means 9", credito + Campo("MedioPago", 9), {kArticulo},
             {kCierre[0], "A|Condicion: Credito Otros"});
        for (const char* medio : {"10", "2.5", "-1"})
            fila(qPrintable(QString("payment means ") + medio),
                 credito + Campo("MedioPago", QString(medio).toDouble()), {kArticulo},
                 {kCierre[0], "A|Condicion: Credito"});
        fila("cash", Campo("MedioPago", 3), {kArticulo});

        // A description longer than the item's width goes on up to three text
        // lines after it, each trimmed, and a separator item follows when the
        // last item had any: 38 characters on 80 columns, 19 on 40.
        const QString d45 = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcdefghi";
        const QString d90 = d45 + d45.toLower();
        const auto c40 = Con(&Configuracion::Columnas80, false);
        fila("40: 45 characters", c40 + Lineas({d45}),
             {Articulo(d45.left(19)), "A|" + d45.mid(19, 19), "A|" + d45.mid(38), kSeparador});
        fila("40: over 76 characters", c40 + Lineas({d90}),
             {Articulo(d90.left(19)), "A|" + d90.mid(19, 19), "A|" + d90.mid(38, 19),
              "A|" + d90.mid(57, 19), kSeparador});
        fila("80: 38 characters", Lineas({d45.left(38)}), {Articulo(d45.left(38))});
        fila("80: 39 characters", Lineas({d45.left(39)}),
             {Articulo(d45.left(38)), "A|" + d45.mid(38, 1), kSeparador});
        fila("80: continued, then short", Lineas({d90, "Corto"}),
             {Articulo(d90.left(38)), "A|" + d90.mid(38, 38), "A|" + d90.mid(76),
              Articulo("Corto")});
        fila("80: code, name and Especificacion",
             Con(&Configuracion::CodProd) +
                 Campo("Nombre", " Harina de maiz precocida blanca ", 0) +
                 Campo("Especificación", "   Paquete de un kilogramo", 0),
             {Articulo("P001 Harina de maiz precocida blanca"), "A|Paquete de un kilogramo",
              kSeparador});

        fila("exempt", Campo("ExcentoImpuesto", -1, 0), {Articulo("Producto", "1000|1000|0000")});
        fila("exempt Null", Campo("ExcentoImpuesto", QVariant(), 0),
             {Articulo("Producto", "1000|1000|0000")});
        fila("quantity 1.5 in mode 2", Modo(2), {Articulo("Producto", "1500|1000|1200")});
        fila("mode 0 reads Cantidad", Modo(0), {Articulo("Producto", "3000|1000|1200")});
        fila("product code", Con(&Configuracion::CodProd), {Articulo("P001 Producto")});
        fila("with Especificacion", Campo("Especificación", "Talla M", 0),
             {Articulo("Producto Talla M")});
        fila("template",
             Campo("PlantillaAuxiliar", -1) + Lineas({"Producto", "Producto"}) +
                 Campo("Especificación", "Talla M", 0) + Campo("Especificación", "-", 1),
             {Articulo("Talla M"), kArticulo});
        fila("no items", Lineas({}), {});

        falta("Null name", Campo("NombreCliente", QVariant()), "2", "NombreCliente");
        falta("Null rate", Campo("PorcentImpuesto", QVariant()), "2.2", "PorcentImpuesto");
        falta("Null address", Campo("Dirección", QVariant()), "2.3", "Dirección");
        falta("Null template flag", Campo("PlantillaAuxiliar", QVariant()), "2.4",
              "PlantillaAuxiliar");
        falta("Null price", Campo("Precio", QVariant(), 0), "4", "Precio");
        falta("price too large", Campo("Precio", 1e15, 0), "4", "Precio");
        falta("Null product name", Campo("Nombre", QVariant(), 0), "4", "Nombre");
        falta("Null CantDec in mode 3", Modo(3) + Campo("CantDec", QVariant(), 0), "4", "CantDec");
    }
    void Armado()
    {
        QFETCH(Ajuste, ajuste);
        QFETCH(QStringList, comandos);
        Caso c;
        c.ajustes.config.Columnas80 = c.ajustes.config.Direccion = true;
        ajuste(c);
        c.ajustes.Registro = c.venta.take("registro").toString(); // the printer's, in L(1)
        QList<QSqlRecord> lineas;
        for (const QVariantMap& l : c.lineas)
            lineas << Registro(l);
        const auto r = ArmadoFactura::Armar(c.ajustes, 7, Registro(c.venta), lineas);
        QStringList t{r.Valor ? Legible(r.Valor->Apertura)
                              : "etapa " + QString::number(r.Etapa) + ": " + r.Falla};
        for (const LineaDocumento& l : r.Valor ? r.Valor->Lineas : QList<LineaDocumento>())
            t << Legible(l.Comando);
        QCOMPARE(t, comandos);
    }
};

QTEST_GUILESS_MAIN(TstImpresionFactura)
#include "tst_impresionfactura.moc"
