#pragma once

#include "tienda/BaseDatos.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

struct LecturaConfiguracion;

// The settings of the positional file Vendrix.inf in the program's folder.
// Nothing is ever written back to it.
class Configuracion
{
  public:
    static constexpr char NombreArchivo[] = "Vendrix.inf";
    static constexpr char NombreBaseDatos[] = "Base de Datos.dba";
    static constexpr char NombreMarcaMantenimiento[] = "ActualizadorTalomaTerminal.inf";
    static constexpr char NombreBaseLocal[] = "VendrixFiscal.dba";

    QString RutaDatos;     // the data folder as configured (shown as is)
    QString RutaBaseDatos; // RutaDatos glued to "Base de Datos.dba", no separator added
    QString Impresora;
    QString Puerto;
    bool CodProd = false;
    QString Serial;
    bool Columnas80 = false;
    bool Direccion = false;
    int NumeroCaja = 0;
    bool EntregaOrden = false;
    bool MedioPago = false;
    bool CampoTextoAdic01 = false;

    // The optional twelfth line "BaseDatos:" puts the shop database on a
    // PostgreSQL server: "BaseDatos:servidor,puerto,base,usuario" (port empty:
    // 5432; user empty: libpq's default). Without it the shop database is the
    // SQLite file RutaBaseDatos. The password never goes in this file.
    static constexpr char ClaveBaseDatos[] = "BaseDatos:";
    std::optional<ServidorBaseDatos> Servidor;
    // The line is there but cannot be used: why (start-up stops with it).
    QString ErrorServidor;

    // Lines that read as something else than what they say, each named in a
    // message for the operator; start-up stops on them. Reading itself goes
    // on by position as always.
    QStringList Problemas;

    // A Vendrix.inf longer than this is no configuration file.
    static constexpr qint64 kTamanoMaximo = 1024 * 1024;

    // Pure: the settings that the bytes of a Vendrix.inf give (Windows-1252).
    static Configuracion LeerConfiguracion(const QByteArray& contenido);
    // Reads `rutaPrograma`/Vendrix.inf line by line; a missing, unreadable
    // or oversized file is an error that names the file.
    static LecturaConfiguracion LeerArchivo(const QString& rutaPrograma);

    // Reads the "BaseDatos:" line from the items that follow the eleventh:
    // the one carrying the key, then port, database and user.
    static void LeerServidor(const QStringList& resto, Configuracion& c);

    // The file's items: each ends at a comma or a line end (CR, LF or CRLF);
    // leading blanks are skipped; an empty line is an empty item.
    static QStringList Elementos(const QString& texto);

    // A configured path as a path of this system: the data folder may be
    // written with backslashes.
    static QString RutaDelSistema(const QString& texto);
    QString ArchivoBaseDatos() const;
    // The maintenance marker: the data folder, a separator, the marker's name.
    QString ArchivoMarcaMantenimiento() const;
};

struct LecturaConfiguracion {
    std::optional<Configuracion> Valor;
    QString Error;
};
