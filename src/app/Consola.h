#pragma once

#include <QObject>

class Pantalla;

// Headless mode's view: operator messages and the pending lists go to the
// console (the messages count as acknowledged). Lives in the main thread.
class Consola : public QObject
{
    Q_OBJECT
public:
    explicit Consola(Pantalla& pantalla, QObject* parent = nullptr);

    static void Escribir(const QString& linea);

private Q_SLOTS:
    void Mensaje(const QString& texto);
    void PendientesCambiados(const QString& lista, const QStringList& filas);
};
