// tiendademo: makes a shop folder for the robot (configuration, data folder,
// shop and local databases) filled with demo documents.
#include "tienda/Configuracion.h"
#include "TiendaDemo.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>
#include <QThread>

namespace
{
// The sales program of several tills: adds `n` sales for each till in turn,
// pausing between them, to the shop an existing program folder points at.
// A sale that fails (the server restarting, say) is tried again under a new
// name on a new connection, so every name stands for one row. One line per
// sale on stdout: "venta CODIGO caja N NAME".
int Escribir(const QString& carpeta, int n, const QList<int>& cajas, int pausaMs, QTextStream& out,
             QTextStream& err)
{
    TiendaDemo tienda;
    QElapsedTimer sinBase;
    sinBase.start();
    while (!tienda.Abrir(carpeta)) {
        if (sinBase.elapsed() > 60000) {
            err << "escritor: " << tienda.Error() << Qt::endl;
            return 1;
        }
        QThread::msleep(200);
    }
    int intento = 0;
    for (int k = 0; k < n; ++k) {
        for (int caja : cajas) {
            sinBase.restart();
            for (;;) {
                ++intento;
                VentaDemo v;
                v.NombreCliente = QStringLiteral("Caja %1 venta %2").arg(caja).arg(intento);
                v.Rif = QStringLiteral("V-%1").arg(20000000 + intento);
                v.MaquinaFiscal = caja;
                LineaDemo linea;
                linea.Nombre = QStringLiteral("Artículo %1").arg(intento % 7 + 1);
                linea.Precio = 1.25 * (intento % 9 + 1);
                v.Lineas = {linea};
                const qlonglong codigo = tienda.AgregarVenta(v);
                if (codigo > 0) {
                    out << "venta " << codigo << " caja " << caja << ' '
                        << v.NombreCliente.toString() << Qt::endl;
                    break;
                }
                err << "escritor: " << tienda.Error() << Qt::endl;
                if (sinBase.elapsed() > 60000)
                    return 1;
                QThread::msleep(200);
                tienda.Abrir(carpeta); // a restarted server needs a new connection
            }
            QThread::msleep(ulong(pausaMs));
        }
    }
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tiendademo"));

    QCommandLineParser p;
    p.setApplicationDescription(
        QStringLiteral("Crea una tienda de demostración para el robot de impresión."));
    p.addHelpOption();
    p.addPositionalArgument(
        QStringLiteral("carpeta"),
        QStringLiteral("Carpeta del programa (Vendrix.inf, VendrixFiscal.dba)."));
    const QCommandLineOption puerto(QStringLiteral("puerto"),
                                    QStringLiteral("Puerto de la impresora (número o ruta)."),
                                    QStringLiteral("puerto"), QStringLiteral("1"));
    const QCommandLineOption caja(QStringLiteral("caja"), QStringLiteral("Número de caja."),
                                  QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption serial(QStringLiteral("serial"),
                                    QStringLiteral("Registro de la impresora."),
                                    QStringLiteral("texto"), QStringLiteral("SIM0000001"));
    const QCommandLineOption sql(QStringLiteral("sql"),
                                 QStringLiteral("Carpeta con tienda.sql y local.sql."),
                                 QStringLiteral("carpeta"), TiendaDemo::CarpetaSqlPredeterminada());
    const QCommandLineOption historia(QStringLiteral("historia"),
                                      QStringLiteral("Agrega N ventas impresas (y N/5 notas)."),
                                      QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption servidor(QStringLiteral("servidor"),
                                      QStringLiteral("Dirección del servidor."),
                                      QStringLiteral("ip"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption servidorPuerto(QStringLiteral("servidor-puerto"),
                                            QStringLiteral("Puerto TCP del servidor."),
                                            QStringLiteral("n"), QStringLiteral("10000"));
    const QCommandLineOption vacia(QStringLiteral("vacia"),
                                   QStringLiteral("Sin documentos de demostración."));
    const QCommandLineOption reemplazar(QStringLiteral("reemplazar"),
                                        QStringLiteral("Reemplaza las bases de datos existentes."));
    const QCommandLineOption postgres(
        QStringLiteral("postgres"),
        QStringLiteral("Base de datos de la tienda en un servidor PostgreSQL (se crea): "
                       "servidor,puerto,base,usuario. La contraseña, en PGPASSWORD o ~/.pgpass."),
        QStringLiteral("conexion"));
    const QCommandLineOption mantenimiento(
        QStringLiteral("base-mantenimiento"),
        QStringLiteral("Base del servidor desde la que se crea la de la tienda."),
        QStringLiteral("base"), QStringLiteral("postgres"));
    const QCommandLineOption escribir(
        QStringLiteral("escribir"),
        QStringLiteral("Agrega N ventas por caja a la tienda existente de la carpeta, "
                       "como el programa de ventas (una línea por venta)."),
        QStringLiteral("N"));
    const QCommandLineOption cajas(QStringLiteral("cajas"),
                                   QStringLiteral("Cajas de las ventas de --escribir."),
                                   QStringLiteral("1,2,..."), QStringLiteral("1"));
    const QCommandLineOption pausa(QStringLiteral("pausa"),
                                   QStringLiteral("Pausa entre ventas de --escribir."),
                                   QStringLiteral("ms"), QStringLiteral("500"));
    p.addOptions({puerto, caja, serial, sql, historia, servidor, servidorPuerto, vacia, reemplazar,
                  postgres, mantenimiento, escribir, cajas, pausa});
    p.process(app);

    QTextStream err(stderr);
    QTextStream out(stdout);
    if (p.positionalArguments().size() != 1) {
        err << "Indique la carpeta de la tienda.\n";
        return 2;
    }
    if (p.isSet(escribir)) {
        bool okN = true, okPausa = true;
        const int n = p.value(escribir).toInt(&okN);
        const int ms = p.value(pausa).toInt(&okPausa);
        QList<int> lista;
        for (const QString& c : p.value(cajas).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            bool okCaja = true;
            lista.append(c.trimmed().toInt(&okCaja));
            okN = okN && okCaja;
        }
        if (!okN || !okPausa || n < 0 || ms < 0 || lista.isEmpty()) {
            err << "Valor numérico inválido.\n";
            return 2;
        }
        return Escribir(p.positionalArguments().first(), n, lista, ms, out, err);
    }
    bool ok = true;
    OpcionesTienda o;
    o.Puerto = p.value(puerto);
    o.Caja = p.value(caja).toInt(&ok);
    bool okHistoria = true;
    const int n = p.value(historia).toInt(&okHistoria);
    bool okServidor = true;
    o.ServidorPuerto = p.value(servidorPuerto).toInt(&okServidor);
    if (!ok || !okHistoria || n < 0 || !okServidor) {
        err << "Valor numérico inválido.\n";
        return 2;
    }
    o.Serial = p.value(serial);
    o.CarpetaSql = p.value(sql);
    o.ServidorIp = p.value(servidor);
    o.Reemplazar = p.isSet(reemplazar);
    if (p.isSet(postgres)) {
        // The same form as the "BaseDatos:" line of Vendrix.inf.
        Configuracion c;
        Configuracion::LeerServidor(
            Configuracion::Elementos(QString::fromLatin1(Configuracion::ClaveBaseDatos) +
                                     p.value(postgres)),
            c);
        if (!c.Servidor) {
            err << c.ErrorServidor << '\n';
            return 2;
        }
        o.Servidor = c.Servidor;
        o.BaseMantenimiento = p.value(mantenimiento);
    }

    TiendaDemo tienda;
    if (!tienda.Crear(p.positionalArguments().first(), o) ||
        (!p.isSet(vacia) && !tienda.LlenarDemo())) {
        err << tienda.Error() << '\n';
        return 1;
    }
    if (n > 0) {
        QElapsedTimer reloj;
        reloj.start();
        if (!tienda.AgregarHistoria(n)) {
            err << tienda.Error() << '\n';
            return 1;
        }
        out << "Historia: " << n << " ventas y " << n / 5 << " notas en " << reloj.elapsed()
            << " ms\n";
    }
    out << "Carpeta del programa: " << tienda.RutaPrograma() << '\n'
        << "Configuración:        " << tienda.ArchivoConfiguracion() << '\n'
        << "Base de datos:        "
        << (o.Servidor ? o.Servidor->Descripcion() : tienda.ArchivoBaseDatos()) << '\n'
        << "Base local:           " << tienda.ArchivoBaseLocal() << '\n';
    return 0;
}
