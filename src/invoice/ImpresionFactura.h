#pragma once

#include "ContextoImpresion.h"

#include <QString>
#include <optional>

class CorridaFactura;

// Prints the first pending invoice and writes the printer's numbers back.
class ImpresionFactura
{
  public:
    explicit ImpresionFactura(ContextoImpresion& contexto);
    void ImprimirFactura();

    static constexpr char kArchivoMarca[] = "Log.log";

  private:
    std::optional<qlonglong> PrimeraPendiente();
    qlonglong CodigoMarca() const;
    // True when the run may go on polling; false after stopping the robot.
    bool Recuperar(qlonglong codigo);
    // Recovery of an invoice the printer still holds open: close and number it.
    bool CerrarAbierta(qlonglong codigo);
    // "8" FS "T" reports a fiscal document in progress (one this run did not open).
    bool DocumentoAjeno();
    void VerificarEstado();
    bool EsperarImpresora();
    bool EscribirMarca(qlonglong codigo, QString* error = nullptr);
    // False when the printer refused the closing (the invoice stays open on it).
    bool Cerrar(CorridaFactura& corrida);
    bool EsperarNumero(CorridaFactura& corrida);
    // The invoice number moved past the one seen before the document.
    bool CierreConfirmado(CorridaFactura& corrida);
    bool Anotar(CorridaFactura& corrida, qlonglong codigo);
    void PonerEstado();
    qlonglong ZSiguiente() const;
    void Falla(const CorridaFactura& corrida, const QString& aviso = QString());
    // The failure path with a message of its own (no stage).
    void Detener(const QString& texto);
    static QString AvisoCerrada(qlonglong codigo);
    static QString AvisoSinCierre(qlonglong codigo);

    ContextoImpresion& ctx_;
    // The printer's last invoice number before this run's closing.
    QString facturaAntes_;
};
