#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>

#include <array>

// Exchange times of the printer link, counted into fixed buckets (seconds).
struct HistogramaIntercambios {
    static constexpr std::array<double, 9> kLimites{0.05, 0.1, 0.25, 0.5, 1, 2.5, 5, 10, 30};
    std::array<quint64, kLimites.size()> cubetas{}; // not cumulative
    quint64 cuenta = 0;
    double suma = 0;

    void Anotar(double segundos);
};

// One pending list as the status view reports it: how many documents and how
// long the oldest has waited (since this robot first saw it pending).
struct ListaPendiente {
    QString tipo; // "factura", "nota_credito", "tiquete"
    int cantidad = 0;
    double masAntiguoSeg = 0; // 0 when the list is empty
};

// A snapshot of what the status page, the API and the metrics show. Filled
// by EstadoRobot on the main thread; the reports only read it.
struct DatosEstado {
    // The robot
    bool iniciado = false; // the first activation has finished
    bool enMarcha = false;
    QString motivoDetencion; // "falla", "impresora", "operador" while stopped
    QString mensajeDetencion; // the operator message of the last stop
    QString etapaDetencion;   // its stage ("" when none was named)
    QDateTime momentoDetencion;

    // The printer
    QString puerto, registro, fechaImpresora;
    QString codigoEstado; // of the last good state query; "" unknown
    bool hayPalabras = false;
    quint16 palabra1 = 0, palabra2 = 0; // status words of the last good reply
    bool hayIntercambio = false;
    bool ultimoFallido = false;
    QString ultimaFactura, ultimoZ, ultimaNota;
    QDateTime ultimoBueno; // time of the last good exchange
    QList<int> leds;       // ColorLed values as the window shows them, EF then EI

    std::array<ListaPendiente, 3> pendientes;
    QMap<QString, quint64> impresos; // by kind
    QMap<QString, quint64> fallas;   // by stage
    quint64 intercambiosFallidos = 0;
    HistogramaIntercambios intercambios;

    // The server link
    bool conectado = false, registrado = false;
    QDateTime enlaceDesde; // last change of the link

    // Documents left waiting
    double umbralAlarmaSeg = 300;
    bool alarma = false;
    QDateTime alarmaDesde;
    QString textoAlarma;

    QString version;
    double enMarchaSeg = 0; // uptime
    QDateTime ahora;

    bool ImpresoraOk() const;
    static bool CodigoBloquea(const QString& codigo);
};
