// bench_listas: how long the robot's three pending queries take on a shop
// with a long history. Builds the shop, runs the queries, prints medians.
// With --postgres the shop database is made on that PostgreSQL server (its
// password from PGPASSWORD or ~/.pgpass); the local database stays SQLite.
#include "tienda/BaseLocal.h"
#include "tienda/BaseTienda.h"
#include "tienda/Configuracion.h"
#include "TiendaDemo.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <vector>

namespace
{
double Mediana(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double Percentil(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size())))];
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser p;
    p.addHelpOption();
    const QCommandLineOption ventasOpt(QStringLiteral("ventas"), QStringLiteral("Ventas impresas."),
                                       QStringLiteral("n"), QStringLiteral("1000000"));
    const QCommandLineOption vueltasOpt(QStringLiteral("vueltas"),
                                        QStringLiteral("Repeticiones de las consultas."),
                                        QStringLiteral("n"), QStringLiteral("200"));
    const QCommandLineOption carpetaOpt(QStringLiteral("carpeta"),
                                        QStringLiteral("Carpeta de la tienda (se conserva)."),
                                        QStringLiteral("carpeta"));
    const QCommandLineOption postgresOpt(
        QStringLiteral("postgres"),
        QStringLiteral("Tienda en un servidor PostgreSQL: servidor,puerto,base,usuario "
                       "(la base se crea de nuevo)."),
        QStringLiteral("conexion"));
    const QCommandLineOption mantenimientoOpt(
        QStringLiteral("base-mantenimiento"),
        QStringLiteral("Base del servidor desde la que se crea la de la tienda."),
        QStringLiteral("base"), QStringLiteral("postgres"));
    p.addOptions({ventasOpt, vueltasOpt, carpetaOpt, postgresOpt, mantenimientoOpt});
    p.process(app);
    QTextStream out(stdout);

    const int ventas = p.value(ventasOpt).toInt();
    const int vueltas = std::max(1, p.value(vueltasOpt).toInt());
    QTemporaryDir temporal;
    const QString carpeta = p.isSet(carpetaOpt) ? p.value(carpetaOpt) : temporal.path();
    const int caja = 1;

    TiendaDemo tienda;
    OpcionesTienda opciones;
    opciones.Caja = caja;
    opciones.Reemplazar = true;
    if (p.isSet(postgresOpt)) {
        Configuracion c;
        Configuracion::LeerServidor(
            Configuracion::Elementos(QString::fromLatin1(Configuracion::ClaveBaseDatos) +
                                     p.value(postgresOpt)),
            c);
        if (!c.Servidor) {
            out << c.ErrorServidor << '\n';
            return 2;
        }
        opciones.Servidor = c.Servidor;
        opciones.BaseMantenimiento = p.value(mantenimientoOpt);
    }
    QElapsedTimer reloj;
    reloj.start();
    if (!tienda.Crear(carpeta, opciones) || !tienda.AgregarHistoria(ventas)) {
        out << tienda.Error() << '\n';
        return 1;
    }
    out << "Historia: " << ventas << " ventas y " << ventas / 5 << " notas impresas en "
        << reloj.elapsed() << " ms\n";

    // 50 pending documents for the till, and a few for another one.
    LineaDemo linea;
    VentaDemo venta;
    venta.Lineas = {linea, linea};
    NotaDemo nota;
    nota.Monto = 10.0;
    TiketDemo tiket;
    bool ok = true;
    for (int i = 0; i < 30; ++i)
        ok = ok && tienda.AgregarVenta(venta) != 0;
    for (int i = 0; i < 10; ++i)
        ok = ok && tienda.AgregarNota(nota) != 0 && tienda.AgregarTiket(tiket) != 0;
    venta.MaquinaFiscal = caja + 1;
    for (int i = 0; i < 10; ++i)
        ok = ok && tienda.AgregarVenta(venta) != 0;
    if (!ok) {
        out << tienda.Error() << '\n';
        return 1;
    }
    tienda.Cerrar();

    BaseTienda baseTienda(QStringLiteral("bench.tienda"));
    BaseLocal baseLocal(QStringLiteral("bench.local"));
    if (!tienda.AbrirEn(baseTienda) || !baseLocal.Abrir(tienda.ArchivoBaseLocal())) {
        out << baseTienda.UltimoError() << baseLocal.UltimoError() << '\n';
        return 1;
    }
    out << "Plan:\n";
    for (const QString& l : baseTienda.PlanPendientes(caja) + baseLocal.PlanPendientes(caja))
        out << "  " << l << '\n';

    out << "Motor: "
        << (opciones.Servidor ? QStringLiteral("PostgreSQL, ") + opciones.Servidor->Descripcion()
                              : QStringLiteral("SQLite"))
        << '\n';
    std::vector<double> total, tienda2, facturas, notas, tikets;
    for (int i = 0; i < vueltas + 5; ++i) {
        QElapsedTimer t;
        t.start();
        const auto f = baseTienda.FacturasPendientes(caja);
        const qint64 t1 = t.nsecsElapsed();
        const auto n = baseTienda.NotasPendientes(caja);
        const qint64 t2 = t.nsecsElapsed();
        const auto k = baseLocal.TiketsPendientes(caja);
        const qint64 t3 = t.nsecsElapsed();
        if (!f || !n || !k || f->size() != 30 || n->size() != 10 || k->size() != 10) {
            out << "Resultado inesperado: " << baseTienda.UltimoError() << baseLocal.UltimoError()
                << '\n';
            return 1;
        }
        if (i < 5)
            continue; // warm-up: first reads of the pages
        facturas.push_back(t1 / 1e6);
        tienda2.push_back(t2 / 1e6);
        notas.push_back((t2 - t1) / 1e6);
        tikets.push_back((t3 - t2) / 1e6);
        total.push_back(t3 / 1e6);
    }
    out.setRealNumberNotation(QTextStream::FixedNotation);
    out.setRealNumberPrecision(3);
    out << "Vueltas: " << vueltas << "\n"
        << "Mediana de las tres consultas: " << Mediana(total) << " ms (p95 "
        << Percentil(total, 0.95) << " ms)\n"
        << "  facturas " << Mediana(facturas) << " ms, notas " << Mediana(notas) << " ms, tikets "
        << Mediana(tikets) << " ms\n"
        << "  las dos de la tienda: mediana " << Mediana(tienda2) << " ms (p95 "
        << Percentil(tienda2, 0.95) << " ms)\n";
    if (!opciones.Servidor)
        out << "Base de datos: " << QFileInfo(tienda.ArchivoBaseDatos()).size() / (1024.0 * 1024.0)
            << " MiB, ";
    out << "base local: " << QFileInfo(tienda.ArchivoBaseLocal()).size() / 1024.0 << " KiB\n";
    const double mediana = Mediana(total);
    // A server database is dropped like the temporary folder, unless kept.
    baseTienda.Cerrar();
    if (!p.isSet(carpetaOpt))
        tienda.BorrarBase();
    return mediana < 5.0 ? 0 : 3;
}
