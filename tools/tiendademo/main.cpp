// tiendademo: makes a shop folder for the robot (configuration, data folder,
// shop and local databases) filled with demo documents.
#include "TiendaDemo.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>

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
    p.addOptions(
        {puerto, caja, serial, sql, historia, servidor, servidorPuerto, vacia, reemplazar});
    p.process(app);

    QTextStream err(stderr);
    QTextStream out(stdout);
    if (p.positionalArguments().size() != 1) {
        err << "Indique la carpeta de la tienda.\n";
        return 2;
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
        << "Base de datos:        " << tienda.ArchivoBaseDatos() << '\n'
        << "Base local:           " << tienda.ArchivoBaseLocal() << '\n';
    return 0;
}
