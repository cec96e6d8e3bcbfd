#pragma once

#include "ContextoImpresion.h"
#include "DocumentoArmado.h"

#include <QByteArray>
#include <QSqlRecord>
#include <QString>
#include <optional>

// Builds every command of one invoice, before anything is sent: the header
// (EncabezadoFactura), the items and the closing lines (ArticulosFactura).
// Each command keeps the stage (Etapa) a failure on it names. A field that
// cannot be turned into printer text stops the building with its name,
// while the printer still holds nothing open.
class ArmadoFactura
{
  public:
    struct Resultado {
        std::optional<DocumentoArmado> Valor;
        double Etapa = 0;
        QString Falla; // for the operator, when there is no value
    };

    static Resultado Armar(ContextoImpresion& contexto, qlonglong codigo,
                           const QSqlRecord& venta);

    explicit ArmadoFactura(ContextoImpresion& contexto);

    ContextoImpresion& Contexto() const { return ctx_; }

    double Etapa() const { return etapa_; }
    void PonerEtapa(double etapa) { etapa_ = etapa; }

    // The "@" that opens the invoice.
    void Apertura(const QByteArray& comando);
    // A command after the opening, at the current stage.
    void Agregar(const QByteArray& comando, bool reenviable = false);
    // The text line "A" FS text FS DEL; the text is cleaned last.
    void LineaTexto(const QString& texto);
    // A field of the sale or its lines that cannot be printed.
    void Falta(const QString& campo);
    void FallaBase(const QString& detalle) { falla_ = detalle; }

  private:
    ContextoImpresion& ctx_;
    DocumentoArmado documento_;
    double etapa_ = 0;
    QString falla_;
};
