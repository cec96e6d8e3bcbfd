#pragma once

// The crash campaign: the real robot prints a stream of invoices and credit
// notes on the printer simulator (a separate process that outlives every
// robot) and is killed with SIGKILL at moments chosen by the simulator's
// exchange count, then started again. Where the robot stops with a message
// the campaign does what an operator would: it reads the message, for a
// document left open on the printer it resets the printer by hand, and it
// starts the robot again. Verificar() then checks that no sale or note was
// printed twice, every row is written back (with the printer's number, or
// marked printed by recovery) or pending with a message, the marker files
// were never found empty or half-written, and the database is intact.
#include "ArnesTienda.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <optional>

namespace campana
{
enum class Tipo { Factura, Nota };

QString NombreTipo(Tipo t);

struct Documento {
    Tipo tipo = Tipo::Factura;
    qlonglong codigo = 0;
    QString cliente; // unique: the name the journal shows
};

// What sets a kill off, counted on the simulator's exchange lines.
struct Disparo {
    enum class Clase {
        Intercambio,    // the n-th exchange since the robot started
        Apertura,       // n frames after the opening "@" of a document
        AntesDelCierre, // the last text line before the closing, plus a pause
        Marca,          // the marker names the open document: its closing is next
        Cierre,         // the closing "E", plus a pause
        // Faults, each followed by the kill after a pause:
        RespuestaPerdida, // the reply to a line of the document is lost
        ApagadaAlCierre,  // the printer is switched off just before the closing
        BaseBloqueada,    // another program locks the shop database at the closing
    };
    Clase clase = Clase::Intercambio;
    Tipo tipo = Tipo::Factura;
    int n = 0;
    int demoraMs = 0;

    QString Texto() const;
};

// One exchange line of the simulator: "hh:mm:ss.zzz <STX>s<command><ETX>dddd  ->  <reply>".
struct Linea {
    QString comando; // readable, as the simulator writes it: "8<FS>N", "@<FS>Venta 3<FS>..."
    bool rechazada = false;
};

std::optional<Linea> LeerLinea(const QString& texto);

// A marker is one signed number and a line end, then what the printer showed
// (key=digits lines), as the durable write leaves it. *contenido: its first line.
bool MarcaEntera(const QString& ruta, QString* contenido);

class Campana
{
  public:
    struct Caida {
        int numero = 0;
        int intercambio = 0; // exchanges since the robot started, at the kill
        QString disparo;
        QString momento;
        QString documento; // what was in progress on the printer, if anything
        QString marcas;
        QString resultado;
    };

    // `traza`: a file for every exchange line and robot output seen (none if empty).
    Campana(ArnesTienda& a, int caidas, quint32 semilla, const QString& traza = {});
    // The harness outlives the campaign: it must not call back into it.
    ~Campana()
    {
        a_.AlIntercambio({});
        if (traza_)
            std::fclose(traza_);
    }
    Campana(const Campana&) = delete;
    Campana& operator=(const Campana&) = delete;

    // Runs the kills and the final drain; false and Error() when the campaign
    // itself could not go on (not when an invariant fails: see Verificar).
    bool Correr();
    QString Error() const { return error_; }
    // The end checks; an empty list when all hold.
    QStringList Verificar();
    QStringList Tabla() const;
    QStringList Resumen() const;

  private:
    enum class Estado { Pendiente, Anotado, Recuperado };

    void AlIntercambio(const QString& texto);
    void AlCambiarCarpeta();
    void RevisarSalida(const QString& quien, const QString& texto);
    void Disparar();
    void Matar();
    // The fault of a kill's trigger, and its end once the robot is dead.
    void Fallar();
    bool Reparar();
    bool Arrancar();
    // New operator messages since the robot started; acts on them. False when
    // the robot cannot be brought back.
    bool Operador();
    Disparo Planear(int i, bool nota);
    bool Reponer(bool nota);
    Documento* EnCurso();
    Estado EstadoDe(const Documento& d, QString* numero = nullptr);
    QString Cerrar();
    int Pendientes(Tipo t);

    ArnesTienda& a_;
    QObject contexto_; // pending kills end with the campaign
    int caidas_;
    QRandomGenerator azar_;
    quint32 semilla_;
    QString error_;
    QList<Documento> documentos_;
    QMap<QString, int> porCliente_;
    QMap<QString, std::pair<Estado, QString>> resueltos_;
    FILE* traza_ = nullptr;
    QList<Caida> registro_;
    QStringList marcasRotas_;
    QStringList sanitizador_;
    int reseteos_ = 0;
    int temporales_ = 0; // temporary marker files a kill left behind
    int ventas_ = 0;
    int notas_ = 0;

    // What the simulator's lines tell, live.
    int intercambios_ = 0;     // since the robot last started
    QString abierto_;          // customer of the fiscal document open on the printer
    bool abiertoAqui_ = false; // ... opened by the robot now running
    QString ultimoCerrado_;    // customer of the last document closed
    int desdeApertura_ = -1;   // frames since the opening of the open document
    int desdeFin_ = -1;        // frames since its "E" FS "A"
    int desdeCierre_ = -1;     // frames since the last closing
    QString ultimo_;           // last command

    Disparo disparo_;
    bool armado_ = false;
    bool muerto_ = false;
    bool fallaPuesta_ = false;            // the trigger's fault is on
    std::optional<QSqlDatabase> bloqueo_; // another program's write lock

    // Facts about the document of the last kill, gathered after the restart.
    QString interes_; // its customer; empty: none
    Estado estadoAlCaer_ = Estado::Pendiente;
    bool reabierto_ = false; // its "@" went out again
    bool cerradoAlRecuperar_ = false;
    QStringList avisos_;
    int reseteosDesde_ = 0;
    qsizetype leidoRobot_ = 0;
};
} // namespace campana
