#pragma once

#include "PuertoSerie.h"

#include <QSerialPort>

// The real serial line. Used only from the thread that owns the printer.
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
    QSerialPort puerto_;
    QString error_;
};
