#pragma once

#include "impresora/PuertoSerie.h"

#include <QSerialPort>
#include <memory>

// The real serial line. Used only from the thread that owns the printer; the
// QSerialPort is made on first use, in that thread.
class PuertoQt final : public PuertoSerie
{
  public:
    explicit PuertoQt(const QString& dispositivo);

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
    QSerialPort& Puerto();

    QString dispositivo_;
    std::unique_ptr<QSerialPort> puerto_;
    QString error_;
};
