#pragma once

#include "impresora/PuertoSerie.h"
#include "apoyo/RelojFalso.h"

#include <QList>

// A scripted serial line for tests and fuzzers. Each exchange's reply is a
// list of pieces, each arriving a chosen number of milliseconds after the
// frame was written; the fake clock moves only while the exchange waits.
class PuertoFalso final : public PuertoSerie
{
  public:
    struct Trozo {
        qint64 enMs; // arrival, counted from the write
        QByteArray datos;
    };

    explicit PuertoFalso(RelojFalso& reloj);

    // Pieces of the reply to the next frame written (replaces any left over).
    void Programar(const QList<Trozo>& trozos);
    // Bytes already waiting before the next write (the exchange must drop them).
    void PonerRestos(const QByteArray& datos);
    void FallarApertura(const QString& motivo);

    QByteArray Escrito() const { return escrito_; }
    int Aperturas() const { return aperturas_; }
    int Cierres() const { return cierres_; }
    bool Abierto() const { return abierto_; }

    QString Nombre() const override;
    bool Abrir() override;
    QString Error() const override;
    bool Escribir(const QByteArray& datos, int msLimite) override;
    void Descartar() override;
    qint64 BytesEsperando() override;
    bool EsperarDatos(int ms) override;
    QByteArray LeerTodo() override;
    void Cerrar() override;

  private:
    RelojFalso& reloj_;
    QList<Trozo> programados_;
    QList<Trozo> pendientes_; // absolute arrival times once written
    QByteArray buffer_;
    QByteArray escrito_;
    QString fallo_;
    bool abierto_ = false;
    int aperturas_ = 0;
    int cierres_ = 0;
};
