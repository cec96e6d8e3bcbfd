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
    bool Recuperar(qlonglong codigo);
    void VerificarEstado();
    bool EsperarImpresora();
    bool EscribirMarca(qlonglong codigo, QString* error = nullptr);
    // False when the printer refused the closing (the invoice stays open on it).
    bool Cerrar(CorridaFactura& corrida);
    bool EsperarNumero(CorridaFactura& corrida);
    bool Anotar(CorridaFactura& corrida, qlonglong codigo);
    void PonerEstado();
    qlonglong ZSiguiente() const;
    void Falla(const CorridaFactura& corrida, const QString& aviso = QString());
    static QString AvisoCerrada(qlonglong codigo);

    ContextoImpresion& ctx_;
};
