#include "tienda/Configuracion.h"

#include "comun/CodigoPagina.h"
#include "comun/Texto.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cmath>
#include <limits>

namespace
{
// Item k of the file is only ever compared with key k.
enum Fila {
    kDatos,
    kImpresora,
    kPuerto,
    kCodProd,
    kSerial,
    kColumnas80,
    kDireccion,
    kCaja,
    kEntregaOrden,
    kMedioPago,
    kCampoTextoAdic01,
    kFilas
};

constexpr const char* kClaves[kFilas] = {
    "Datos:",     "Impresora:", "Puerto:",       "COD_PROD:",  "Serial:",          "80Columnas:",
    "Direccion:", "Caja:",      "EntregaOrden:", "MedioPago:", "CampoTextoAdic01:"};

bool EsMenosUno(const QString& valor)
{
    return valor == QLatin1String("-1");
}

bool NoCero(const QString& valor)
{
    return Texto::ValorInicial(valor) != 0;
}

// Nearest whole number, halves to the even one (2.5 -> 2, 3.5 -> 4), without
// depending on the floating-point rounding mode in force.
double RedondeoPar(double v)
{
    const double abajo = std::floor(v);
    const double resto = v - abajo;
    if (resto < 0.5)
        return abajo;
    if (resto > 0.5)
        return abajo + 1;
    return std::fmod(abajo, 2.0) == 0 ? abajo : abajo + 1;
}
} // namespace

QStringList Configuracion::Elementos(const QString& texto)
{
    QStringList elementos;
    QString actual;
    bool saltandoBlancos = true;
    const qsizetype n = texto.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = texto.at(i);
        if (c == QLatin1Char(',') || c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
            elementos.append(actual);
            actual.clear();
            saltandoBlancos = true;
            if (c == QLatin1Char('\r') && i + 1 < n && texto.at(i + 1) == QLatin1Char('\n'))
                ++i;
            continue;
        }
        if (saltandoBlancos && c == QLatin1Char(' '))
            continue;
        saltandoBlancos = false;
        actual.append(c);
    }
    // Text after the last line end is an item only when it holds something.
    if (!actual.isEmpty())
        elementos.append(actual);
    return elementos;
}

Configuracion Configuracion::LeerConfiguracion(const QByteArray& contenido)
{
    Configuracion c;
    const QStringList elementos = Elementos(CodigoPagina::ATexto(contenido));
    // The eleven positional rows; the twelfth line is read by LeerServidor.
    for (int k = 0; k < kFilas && k < elementos.size(); ++k) {
        const QString clave = QString::fromLatin1(kClaves[k]);
        const QString& elemento = elementos.at(k);
        if (!elemento.contains(clave))
            continue;
        // The value drops as many characters as the key has, wherever the key
        // was found, then loses its blanks.
        const QString valor = Texto::Recortado(elemento.mid(clave.size()));
        if (valor.isEmpty())
            continue;
        switch (k) {
        case kDatos:
            c.RutaDatos = valor;
            c.RutaBaseDatos = valor + QString::fromLatin1(NombreBaseDatos);
            break;
        case kImpresora:
            c.Impresora = valor;
            break;
        case kPuerto:
            c.Puerto = valor;
            break;
        case kCodProd:
            c.CodProd = EsMenosUno(valor);
            break;
        case kSerial:
            c.Serial = valor;
            break;
        case kColumnas80:
            c.Columnas80 = EsMenosUno(valor);
            break;
        case kDireccion:
            c.Direccion = EsMenosUno(valor);
            break;
        case kCaja: {
            // The leading numeric value, as the other number rows; but a value
            // without one ("tres") or past the tills there can be is no till
            // number, and is said rather than read as till 0.
            static const QRegularExpression numero(
                QStringLiteral("^[ \\t]*[+-]?(?:[0-9]+(?:\\.[0-9]*)?|\\.[0-9]+)"));
            const double caja = RedondeoPar(Texto::ValorInicial(valor));
            if (numero.match(valor).hasMatch() && caja >= 0 &&
                caja <= std::numeric_limits<int>::max())
                c.NumeroCaja = int(caja);
            else
                c.Problemas.append(
                    QStringLiteral("La línea %1 de %2 (\"%3\") no da un número de caja: se "
                                   "espera un número entero no negativo, por ejemplo \"Caja:3\".")
                        .arg(k + 1)
                        .arg(QLatin1String(NombreArchivo), elemento));
            break;
        }
        case kEntregaOrden:
            c.EntregaOrden = NoCero(valor);
            break;
        case kMedioPago:
            c.MedioPago = NoCero(valor);
            break;
        case kCampoTextoAdic01:
            c.CampoTextoAdic01 = NoCero(valor);
            break;
        }
    }
    if (c.Puerto.isEmpty())
        c.Puerto = QStringLiteral("COM1");
    // Items end at commas as well as at line ends: a comma in one of the
    // eleven lines moves every later value onto the wrong key.
    const QStringList lineas = CodigoPagina::ATexto(contenido.left(64 * 1024))
                                   .split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
    for (int k = 0; k < kFilas && k < lineas.size(); ++k) {
        if (!lineas.at(k).contains(QLatin1Char(',')))
            continue;
        c.Problemas.prepend(
            QStringLiteral("La línea %1 de %2 (\"%3\") tiene una coma. Cada valor termina en una "
                           "coma, así que el valor queda cortado y los valores de las líneas "
                           "siguientes no se leen con su clave. Quite la coma (una carpeta con "
                           "una coma en el nombre no sirve como carpeta de datos).")
                .arg(k + 1)
                .arg(QLatin1String(NombreArchivo), lineas.at(k)));
        break;
    }
    if (elementos.size() > kFilas)
        LeerServidor(elementos.mid(kFilas), c);
    return c;
}

void Configuracion::LeerServidor(const QStringList& resto, Configuracion& c)
{
    // Positional like the rows before it: an item without the key is no
    // server line (the shop database stays the SQLite file).
    const QString clave = QString::fromLatin1(ClaveBaseDatos);
    if (resto.isEmpty() || !resto.first().contains(clave))
        return;
    // Its comma-separated parts arrive as the items that follow.
    QStringList partes = {resto.first().mid(clave.size())};
    for (qsizetype i = 1; i < resto.size(); ++i)
        partes.append(resto.at(i));
    for (QString& p : partes)
        p = Texto::Recortado(p);
    while (!partes.isEmpty() && partes.last().isEmpty())
        partes.removeLast();
    const QString linea =
        QStringLiteral("La línea \"%1\" de %2").arg(clave, QLatin1String(NombreArchivo));
    if (partes.size() > 4) {
        c.ErrorServidor = linea + QStringLiteral(" lleva más de servidor, puerto, base y usuario. "
                                                 "La contraseña no va en este archivo: va en la "
                                                 "variable PGPASSWORD o en el archivo ~/.pgpass.");
        return;
    }
    partes.resize(4);
    ServidorBaseDatos s;
    s.Servidor = partes.at(0);
    s.Base = partes.at(2);
    s.Usuario = partes.at(3);
    if (s.Servidor.isEmpty()) {
        c.ErrorServidor = linea + QStringLiteral(" no indica el servidor de la base de datos.");
        return;
    }
    if (!partes.at(1).isEmpty()) {
        bool ok = false;
        const int puerto = partes.at(1).toInt(&ok);
        if (!ok || puerto < 1 || puerto > 65535 ||
            partes.at(1).contains(QRegularExpression(QStringLiteral("[^0-9]")))) {
            c.ErrorServidor =
                linea + QStringLiteral(" tiene un puerto inválido: \"%1\".").arg(partes.at(1));
            return;
        }
        s.Puerto = puerto;
    }
    if (s.Base.isEmpty()) {
        c.ErrorServidor = linea + QStringLiteral(" no indica el nombre de la base de datos.");
        return;
    }
    c.Servidor = s;
}

LecturaConfiguracion Configuracion::LeerArchivo(const QString& rutaPrograma)
{
    const QString ruta = QDir(rutaPrograma).filePath(QString::fromLatin1(NombreArchivo));
    if (!QFileInfo(ruta).isFile())
        return {std::nullopt, QStringLiteral("No se encuentra el archivo %1").arg(ruta)};
    QFile archivo(ruta);
    if (!archivo.open(QIODevice::ReadOnly))
        return {
            std::nullopt,
            QStringLiteral("No se pudo leer el archivo %1: %2").arg(ruta, archivo.errorString())};
    const QString grande = QStringLiteral("El archivo %1 mide más de %2 KB: no es un archivo de "
                                          "configuración del robot (tiene once líneas cortas).")
                               .arg(ruta)
                               .arg(kTamanoMaximo / 1024);
    if (archivo.size() > kTamanoMaximo)
        return {std::nullopt, grande};
    // Line by line, and never past the limit, whatever the size said.
    QByteArray contenido;
    while (!archivo.atEnd()) {
        const QByteArray linea = archivo.readLine(kTamanoMaximo + 1 - contenido.size());
        if (linea.isEmpty() && archivo.error() != QFileDevice::NoError)
            break;
        contenido += linea;
        if (contenido.size() > kTamanoMaximo)
            return {std::nullopt, grande};
        if (linea.isEmpty())
            break;
    }
    if (archivo.error() != QFileDevice::NoError)
        return {
            std::nullopt,
            QStringLiteral("No se pudo leer el archivo %1: %2").arg(ruta, archivo.errorString())};
    return {LeerConfiguracion(contenido), QString()};
}

QString Configuracion::RutaDelSistema(const QString& texto)
{
    QString ruta = texto;
    ruta.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return QDir::cleanPath(ruta);
}

QString Configuracion::ArchivoBaseDatos() const
{
    return RutaDelSistema(RutaBaseDatos);
}

QString Configuracion::ArchivoMarcaMantenimiento() const
{
    return RutaDelSistema(RutaDatos + QLatin1Char('/') +
                          QString::fromLatin1(NombreMarcaMantenimiento));
}
