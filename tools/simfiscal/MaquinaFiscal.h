#pragma once

#include "DocumentoImpreso.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QStringList>

#include <optional>

// The printer's side of the protocol as a pure state machine: one bare
// command in (the bytes between the sequence byte and the ETX), the reply
// fields or a refusal out. No I/O and no clock of its own, so every rule can
// be tested and fuzzed directly.
class MaquinaFiscal
{
  public:
    // Status word 1.
    static constexpr quint16 kErrorMemoriaFiscal = 1u << 15;
    static constexpr quint16 kErrorMemoriaTrabajo = 1u << 14;
    static constexpr quint16 kComandoDesconocido = 1u << 12;
    static constexpr quint16 kCampoInvalido = 1u << 11;
    static constexpr quint16 kComandoInvalidoEstado = 1u << 10;
    static constexpr quint16 kDesbordamiento = 1u << 9;
    static constexpr quint16 kMemoriaLlena = 1u << 8;
    static constexpr quint16 kMemoriaCasiLlena = 1u << 7;
    static constexpr quint16 kCierreNecesario = 1u << 4;
    static constexpr quint16 kFiscalAbierto = 1u << 3;
    static constexpr quint16 kNoFiscalAbierto = 1u << 2;
    static constexpr quint16 kOrErrores = 1u << 0;
    static constexpr quint16 kBitsError = kErrorMemoriaFiscal | kErrorMemoriaTrabajo |
                                          kComandoDesconocido | kCampoInvalido |
                                          kComandoInvalidoEstado | kDesbordamiento | kMemoriaLlena;
    // Status word 2.
    static constexpr quint16 kFallaImpresora = 1u << 13;
    static constexpr quint16 kFueraDeLinea = 1u << 12;
    static constexpr quint16 kSinPapel = 1u << 1;
    static constexpr quint16 kOrImpresora = 1u << 0;

    // The reset command: the bytes 7 to 23 in ascending order.
    static QByteArray ComandoReset();

    struct Contadores {
        int ultimaFactura = 0;
        int ultimaNotaCredito = 0;
        int ultimoNoFiscal = 0;
        int z = 0;
        int documentosDesdeZ = 0;
        qint64 ventasDia = 0; // hundredths
        qint64 notasDia = 0;  // hundredths
    };

    // What one command did and what the printer answers.
    struct Resultado {
        bool aceptado = true;
        char eco = 0; // the command byte echoed in the reply
        quint16 estado1 = 0;
        quint16 estado2 = 0;
        QList<QByteArray> campos; // fields after the two status words
        std::optional<DocumentoImpreso> impreso;
        int avance = 0; // lines fed
        bool corte = false;
        bool guardar = false; // counters or set-up changed

        // The reply between the sequence byte and the ETX:
        // command byte, FS, status 1, FS, status 2, FS, fields joined by FS.
        QByteArray Contenido() const;
        QByteArray Motivo() const; // the text after "ERROR", empty when accepted
    };

    MaquinaFiscal();

    Resultado ejecutar(QByteArrayView comando, const QDateTime& ahora);

    // Faults. Counts below 0 mean "every time from now on".
    void rechazarEnesimo(int n); // 1 = the next command; 0 = off
    void rechazarComando(char comando, int veces);
    void numeroOcupado(int consultas);           // after each fiscal closing
    void forzarEstado(const QByteArray& codigo); // empty or "00": no forcing
    void limpiarFallas();
    int rechazoEnesimo() const { return rechazoEnesimo_; }
    QMap<char, int> rechazosComando() const { return rechazosComando_; }
    int numeroOcupadoConfigurado() const { return numeroOcupado_; }
    QByteArray estadoForzado() const { return estadoForzado_; }

    Contadores contadores() const { return c_; }
    void ponerContadores(const Contadores& c);
    QByteArray registro() const { return registro_; }
    void ponerRegistro(const QByteArray& r) { registro_ = r; }
    QStringList encabezado() const { return encabezado_; }
    QStringList pie() const { return pie_; }
    bool documentoAbierto() const { return doc_.has_value(); }
    // The code "8" FS "T" reports: "00" idle, "01" fiscal, "02" non-fiscal, or the forced one.
    QByteArray codigoEstado() const;

    // Counters, set-up and closing history, for a simulator that restarts.
    QJsonObject Estado() const;
    bool cargarEstado(const QJsonObject& o);

  private:
    struct ResumenZ {
        int numero = 0;
        QDateTime hora;
        int documentos = 0;
        qint64 ventas = 0;
        qint64 notas = 0;
        int primeraFactura = 0;
        int ultimaFactura = 0;
    };

    Resultado despachar(char cmd, const QList<QByteArray>& campos, const QDateTime& ahora);
    Resultado estadoConsulta(const QByteArray& que, const QDateTime& ahora);
    Resultado cierre(const QByteArray& que, const QDateTime& ahora);
    Resultado abrirFiscal(const QList<QByteArray>& campos, const QDateTime& ahora);
    Resultado articulo(const QList<QByteArray>& campos);
    Resultado finFiscal(const QList<QByteArray>& campos, const QDateTime& ahora);
    Resultado lineaProgramada(char cmd, const QList<QByteArray>& campos);
    Resultado reportePorFechas(const QList<QByteArray>& campos, const QDateTime& ahora);
    Resultado reportePorZ(const QList<QByteArray>& campos, const QDateTime& ahora);
    Resultado reset(const QDateTime& ahora);
    Resultado reporte(const QString& titulo, const QList<ResumenZ>& cierres, bool agruparMes,
                      const QDateTime& ahora);

    DocumentoImpreso nuevo(DocumentoImpreso::Tipo t, const QDateTime& ahora) const;
    void terminar(Resultado& r) const;
    static Resultado Rechazo(quint16 bits, const char* motivo);
    bool rechazoPorFalla(char cmd);

    Contadores c_;
    QByteArray registro_ = "SIM0000001";
    QStringList encabezado_;
    QStringList pie_;
    QList<ResumenZ> historial_;
    int facturaAlZ_ = 0; // last invoice number at the last Z
    int cierresX_ = 0;   // X reports since the last Z

    std::optional<DocumentoImpreso> doc_;
    bool subtotal_ = false;

    int rechazoEnesimo_ = 0;
    QMap<char, int> rechazosComando_;
    int numeroOcupado_ = 0;
    int consultasOcupadas_ = 0;
    QByteArray estadoForzado_;
};
