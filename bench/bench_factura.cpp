// Measures invoices of 20 items printed at 9600 baud on the in-process
// simulator with pacing and no printer delay: each run's wall time over the
// line time of every byte it exchanged (10 bits a byte) plus the pauses the
// run makes itself. Several runs, so that a busy machine shows as spread;
// the median is held to the target of 1.10.
//
//     bench_factura [items=20] [runs=5]
#include "apoyo/BancoImpresion.h"
#include "documentos/ImpresionFactura.h"
#include "impresora/LectorRespuesta.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>

namespace
{
constexpr double kSegundosPorByte = 10.0 / 9600.0;
constexpr double kMeta = 1.10;

VentaDemo VentaDePrueba(int articulos)
{
    VentaDemo venta;
    venta.NombreCliente = QStringLiteral("Inversiones El Buen Precio, C.A.");
    for (int i = 0; i < articulos; ++i) {
        LineaDemo l;
        l.Nombre = QStringLiteral("Articulo de prueba %1").arg(i + 1);
        l.Cantidad = 1 + i % 3;
        l.Precio = 12.5 + i;
        l.Exento = i % 4 == 0 ? -1 : 0;
        venta.Lineas << l;
    }
    return venta;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int articulos = argc > 1 ? std::max(1, atoi(argv[1])) : 20;
    const int corridas = argc > 2 ? std::max(1, atoi(argv[2])) : 5;

    BancoImpresion banco;
    if (!banco.Crear()) {
        std::fprintf(stderr, "no se pudo preparar el banco: %s\n", qPrintable(banco.Error()));
        return 2;
    }
    banco.sim->ponerRitmo(true);
    banco.enlace->tiempos = Tiempos(); // the real deadlines and pauses

    qint64 bytes = 0;
    int intercambios = 0;
    int fallidos = 0;
    int consultasNumero = 0;
    banco.enlace->AlTerminar = [&](const QByteArray& comando, const QByteArray& respuesta) {
        // The framed command, its four checksum digits, the whole reply.
        bytes += comando.size() + 4 + respuesta.size();
        ++intercambios;
        fallidos += LectorRespuesta::Fallo(respuesta);
        consultasNumero += comando.mid(2, 3) == "8\x1cN";
    };

    std::printf("factura de %d artículos a 9600 baudios, %d corridas\n", articulos, corridas);
    QList<double> razones;
    bool correctas = true;
    for (int c = 0; c < corridas; ++c) {
        if (banco.tienda.AgregarVenta(VentaDePrueba(articulos)) <= 0) {
            std::fprintf(stderr, "no se pudo crear la venta: %s\n",
                         qPrintable(banco.tienda.Error()));
            return 2;
        }
        bytes = intercambios = fallidos = consultasNumero = 0;
        const qsizetype impresos = banco.sim->documentos().size();

        QElapsedTimer reloj;
        reloj.start();
        banco.TurnoFactura();
        const double pared = reloj.nsecsElapsed() / 1e9;

        // The run pauses 0.1 s at its end and 0.2 s before each repeated
        // state query (the two it always sends are not repeats).
        const int centesimas = 10 + 20 * std::max(0, consultasNumero - 2);
        const double pausas = centesimas * banco.enlace->tiempos.centesimaMs / 1000.0;
        const double linea = bytes * kSegundosPorByte;
        const double razon = pared / (linea + pausas);
        const auto docs = banco.sim->documentos();
        const bool impresa = docs.size() == impresos + 1 &&
                             docs.last().articulos().size() == articulos &&
                             banco.pantalla.Mensajes().isEmpty() && fallidos == 0;
        correctas = correctas && impresa;
        razones << razon;
        std::printf("  %d: %d intercambios, %lld bytes, línea %.3f s + pausas %.3f s, real %.3f s, "
                    "%.1f ms más por intercambio, razón %.3f%s\n",
                    c + 1, intercambios, static_cast<long long>(bytes), linea, pausas, pared,
                    1000.0 * (pared - linea - pausas) / std::max(1, intercambios), razon,
                    impresa ? "" : "  (NO IMPRESA)");
    }
    std::sort(razones.begin(), razones.end());
    const double mediana = razones.at(razones.size() / 2);
    std::printf("razón: mediana %.3f, mejor %.3f, peor %.3f (meta <= %.2f)\n", mediana,
                razones.first(), razones.last(), kMeta);
    return correctas && mediana <= kMeta ? 0 : 1;
}
