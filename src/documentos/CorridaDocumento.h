#pragma once

#include "documentos/ContextoImpresion.h"
#include "documentos/DocumentoArmado.h"
#include "tienda/ArchivoMarca.h"

#include <QString>
#include <optional>

// What an invoice run and a credit-note run share once their document is
// built: the printer's state read from good replies only, the check for a
// document the run did not open, the lines with their re-send and stop
// rules, the marker, the closing, the number wait, the write-back, and the
// recovery of a document whose closing went out in an earlier run.
//
// The rules that keep a document from being printed twice or numbered
// wrongly live here and nowhere else:
//  - only the printer's own refusal (a whole reply carrying "ERROR") is
//    answered by sending a line again; silence or a damaged reply after a
//    line means it may have been printed, so the run stops with the
//    document open and the operator cancels it;
//  - a closing that never reached the line restores the marker;
//  - a number is written back only from a whole, undamaged reply whose
//    field holds digits alone;
//  - a recovery marks a document printed only on the printer's evidence.
class CorridaDocumento
{
  public:
    enum class Tipo { Factura, NotaCredito };

    // How a part of the run ended, for the kind's own failure path.
    struct Fin {
        bool Ok = true;
        // With a stage: "No se pudo realizar la tarea..." and the stage;
        // without one the detail stands alone.
        bool ConEtapa = true;
        QString Detalle;
        // The printer may hold this run's document open: the operator must
        // cancel it before the document can go again.
        bool Abierto = false;

        static Fin Bien() { return {}; }
        static Fin Etapa(const QString& detalle = QString(), bool abierto = false)
        {
            return {false, true, detalle, abierto};
        }
        static Fin Aviso(const QString& detalle, bool abierto = false)
        {
            return {false, false, detalle, abierto};
        }
    };

    CorridaDocumento(ContextoImpresion& contexto, Tipo tipo);

    double Etapa() const { return etapa_; }
    void PonerEtapa(double etapa) { etapa_ = etapa; }

    // "la factura 4711" / "la nota de crédito 12", for messages; and
    // with its first letter in capitals, to begin one.
    QString Nombre(qlonglong codigo) const;
    QString Mayuscula(qlonglong codigo) const;
    QString RutaMarca() const;
    std::optional<ArchivoMarca::Marca> LeerMarca() const;

    // "8" FS "N" until the printer is not numbering a document, with
    // "Verificando estado..." and L(4), L(5) as the runs show them. False
    // when no good reply came or the wait ran out.
    Fin EsperarImpresora();
    // True when the printer holds a fiscal document open; nullopt when it
    // gave no good answer. Also reads the last number of this run's kind.
    std::optional<bool> DocumentoAbierto();
    // What the operator does about a document left open on the printer.
    QString Anular() const;
    // The document from its opening to the write-back. The printer must be
    // free and hold nothing open (EsperarImpresora, DocumentoAbierto).
    Fin Imprimir(const DocumentoArmado& documento);
    // The pending document the marker names; Ok: polling may go on (the
    // document was settled, or found never printed and left pending).
    Fin Recuperar(qlonglong codigo, const ArchivoMarca::Marca& marca);
    // After Recuperar: the document was neither open nor numbered, so it is
    // still to be printed.
    bool SinImprimir() const { return sinImprimir_; }

  private:
    // One state query, asked again while its reply is missing, damaged or
    // refused (a bounded number of times); nullopt when none was good.
    std::optional<QByteArray> Consultar(char letra, bool mostrar);
    // Sends a bare command and does the logging step.
    void Enviar(const QByteArray& comando);
    Fin EnviarLinea(const LineaDocumento& linea, int& reenvios);
    Fin Cerrar(qlonglong codigo, const ArchivoMarca::Marca& anterior);
    // The number after the closing; sets numero_ and z_.
    Fin LeerNumero(qlonglong codigo);
    Fin Anotar(qlonglong codigo, const QString& numero, qlonglong z);
    // The recovery's steps (RecuperacionDocumento.cpp): the printer still
    // holds the document open, or no longer does.
    Fin RecuperarAbierta(qlonglong codigo, const QByteArray& estadoT);
    Fin RecuperarCerrada(qlonglong codigo, const QByteArray& estadoT);
    Fin SinEstado(qlonglong codigo) const;
    bool EscribirMarca(const ArchivoMarca::Marca& marca, QString* error = nullptr);
    // The last number of this kind in a good reply (8 digits of "8" FS "N"
    // for invoices, 4 of "8" FS "T" for notes).
    static std::optional<QString> Digitos(const QString& campo);
    QString NumeroEscrito(const QString& campo) const;

    ContextoImpresion& ctx_;
    Tipo tipo_;
    double etapa_ = 0;
    // What the printer showed before this run's closing.
    QString antes_;
    std::optional<qlonglong> zAntes_;
    QString numero_;
    qlonglong z_ = 0;
    bool sinImprimir_ = false;
};
