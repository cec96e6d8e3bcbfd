#include "tienda/Configuracion.h"

#include "comun/CodigoPagina.h"
#include "comun/Texto.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cmath>
#include <iterator>
#include <limits>

namespace
{
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

// One of the eleven rows as read: its line number, the whole item, and the
// value after the key without its blanks (never empty).
struct Renglon {
    int Numero = 0;
    QString Elemento;
    QString Valor;
};

template <QString Configuracion::*Campo> void LeerTexto(Configuracion& c, const Renglon& r)
{
    c.*Campo = r.Valor;
}

template <bool Configuracion::*Campo> void LeerMenosUno(Configuracion& c, const Renglon& r)
{
    c.*Campo = EsMenosUno(r.Valor);
}

template <bool Configuracion::*Campo> void LeerNoCero(Configuracion& c, const Renglon& r)
{
    c.*Campo = NoCero(r.Valor);
}

void LeerDatos(Configuracion& c, const Renglon& r)
{
    c.RutaDatos = r.Valor;
    c.RutaBaseDatos = r.Valor + QString::fromLatin1(Configuracion::NombreBaseDatos);
}

void LeerCaja(Configuracion& c, const Renglon& r)
{
    // The leading numeric value, as the other number rows; but a value
    // without one ("tres") or past the tills there can be is no till
    // number, and is said rather than read as till 0.
    static const QRegularExpression numero(
        QStringLiteral("^[ \\t]*[+-]?(?:[0-9]+(?:\\.[0-9]*)?|\\.[0-9]+)"));
    const double caja = RedondeoPar(Texto::ValorInicial(r.Valor));
    if (numero.match(r.Valor).hasMatch() && caja >= 0 && caja <= std::numeric_limits<int>::max())
        c.NumeroCaja = int(caja);
    else
        c.Problemas.append(
            QStringLiteral("La línea %1 de %2 (\"%3\") no da un número de caja: se "
                           "espera un número entero no negativo, por ejemplo \"Caja:3\".")
                .arg(r.Numero)
                .arg(QLatin1String(Configuracion::NombreArchivo), r.Elemento));
}

// The eleven positional rows, in the file's order: item k of the file is only
// ever compared with key k.
struct Fila {
    const char* Clave;
    void (*Leer)(Configuracion&, const Renglon&);
};

constexpr Fila kFilas[] = {
    {"Datos:", &LeerDatos},
    {"Impresora:", &LeerTexto<&Configuracion::Impresora>},
    {"Puerto:", &LeerTexto<&Configuracion::Puerto>},
    {"COD_PROD:", &LeerMenosUno<&Configuracion::CodProd>},
    {"Serial:", &LeerTexto<&Configuracion::Serial>},
    {"80Columnas:", &LeerMenosUno<&Configuracion::Columnas80>},
    {"Direccion:", &LeerMenosUno<&Configuracion::Direccion>},
    {"Caja:", &LeerCaja},
    {"EntregaOrden:", &LeerNoCero<&Configuracion::EntregaOrden>},
    {"MedioPago:", &LeerNoCero<&Configuracion::MedioPago>},
    {"CampoTextoAdic01:", &LeerNoCero<&Configuracion::CampoTextoAdic01>},
};
constexpr int kNumeroFilas = int(std::size(kFilas));

// Items end at commas as well as at line ends: a comma in one of the eleven
// lines moves every later value onto the wrong key. The message for the first
// line with one; empty when none has.
QString LineaConComa(const QByteArray& contenido)
{
    const QStringList lineas = CodigoPagina::ATexto(contenido.left(64 * 1024))
                                   .split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
    for (int k = 0; k < kNumeroFilas && k < lineas.size(); ++k) {
        if (!lineas.at(k).contains(QLatin1Char(',')))
            continue;
        return QStringLiteral(
                   "La línea %1 de %2 (\"%3\") tiene una coma. Cada valor termina en una "
                   "coma, así que el valor queda cortado y los valores de las líneas "
                   "siguientes no se leen con su clave. Quite la coma (una carpeta con "
                   "una coma en el nombre no sirve como carpeta de datos).")
            .arg(k + 1)
            .arg(QLatin1String(Configuracion::NombreArchivo), lineas.at(k));
    }
    return QString();
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
    for (int k = 0; k < kNumeroFilas && k < elementos.size(); ++k) {
        const QString clave = QString::fromLatin1(kFilas[k].Clave);
        const QString& elemento = elementos.at(k);
        if (!elemento.contains(clave))
            continue;
        // The value drops as many characters as the key has, wherever the key
        // was found, then loses its blanks.
        const QString valor = Texto::Recortado(elemento.mid(clave.size()));
        if (valor.isEmpty())
            continue;
        kFilas[k].Leer(c, Renglon{k + 1, elemento, valor});
    }
    if (c.Puerto.isEmpty())
        c.Puerto = QStringLiteral("COM1");
    const QString coma = LineaConComa(contenido);
    if (!coma.isEmpty())
        c.Problemas.prepend(coma);
    if (elementos.size() > kNumeroFilas)
        LeerServidor(elementos.mid(kNumeroFilas), c);
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
