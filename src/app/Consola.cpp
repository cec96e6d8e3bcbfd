#include "app/Consola.h"

#include "motor/Pantalla.h"

#include <QMap>
#include <cstdio>

Consola::Consola(Pantalla& pantalla, QObject* parent) : QObject(parent)
{
    connect(&pantalla, &Pantalla::Mensaje, this, &Consola::Mensaje);
    connect(&pantalla, &Pantalla::PendientesCambiados, this, &Consola::PendientesCambiados);
}

void Consola::Escribir(const QString& linea)
{
    std::fprintf(stdout, "%s\n", linea.toLocal8Bit().constData());
    std::fflush(stdout);
}

void Consola::Mensaje(const QString& texto)
{
    Escribir(QStringLiteral("Rovend: ") + QString(texto).replace(QLatin1Char('\r'), QLatin1Char('\n')));
}

void Consola::PendientesCambiados(const QString& lista, const QStringList& filas)
{
    static const QMap<QString, QString> titulos{
        {"DBList1", "Listado de Notas pendientes por impresión"},
        {"DBList2", "Listado de Facturas pendientes por impresión"},
        {"DBList3", "Listado de Documentos No Fiscales pendientes por Impresión"}};
    Escribir(QStringLiteral("%1 (%2):").arg(titulos.value(lista, lista)).arg(filas.size()));
    for (const QString& f : filas)
        Escribir(QStringLiteral("  ") + f);
}
