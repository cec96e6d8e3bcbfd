#pragma once

#include "documentos/DocumentoArmado.h"
#include "tienda/Configuracion.h"

#include <QByteArray>
#include <QList>
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
    // What the building reads besides the records: the settings (a copy: the
    // vehicle installation switches some off for its own invoices) and the
    // printer's registration number, which tells the installation.
    struct Ajustes {
        Configuracion config;
        int ModoCantidad = 0;
        QString Registro;
    };

    struct Resultado {
        std::optional<DocumentoArmado> Valor;
        double Etapa = 0;
        QString Falla; // for the operator, when there is no value
    };

    // `venta` is the row of [Consulta Ventas], `lineas` its items in order.
    static Resultado Armar(const Ajustes& ajustes, qlonglong codigo, const QSqlRecord& venta,
                           const QList<QSqlRecord>& lineas);

    explicit ArmadoFactura(const Ajustes& ajustes);

    Ajustes& Config() { return ajustes_; }

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
    // A field the invoice cannot do without; a Null one is named by Falta.
    std::optional<QString> TextoRequerido(const QSqlRecord& registro, const QString& campo);
    std::optional<double> NumeroRequerido(const QSqlRecord& registro, const QString& campo);

  private:
    Ajustes ajustes_;
    DocumentoArmado documento_;
    double etapa_ = 0;
    QString falla_;
};
