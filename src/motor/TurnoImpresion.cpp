#include "motor/TurnoImpresion.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcTurno, "rovend.robot")

TurnoImpresion::TurnoImpresion(ControlRobot& control, Pantalla& pantalla, ImpresionFactura& factura,
                               ImpresionNotaCredito& nota)
    : control_(control), pantalla_(pantalla), factura_(factura), nota_(nota)
{
}

void TurnoImpresion::Factura()
{
    control_.PonerTimer(false);
    const auto pendientes = control_.RefrescarFacturas();
    if (!pendientes)
        qCWarning(lcTurno) << "no se pudo leer la lista de facturas pendientes";
    if (!pendientes || pendientes->isEmpty())
        return control_.PonerTimer(true);
    Terminar(factura_.ImprimirFactura(pendientes->first().Codigo));
}

void TurnoImpresion::Nota()
{
    control_.PonerTimer(false);
    const auto pendientes = control_.RefrescarNotas();
    if (!pendientes)
        return Terminar(ResultadoCorrida::Parada(
            QStringLiteral("No se pudo realizar la tarea. Por favor verifique la etapa  0.") +
                QChar(13) + QStringLiteral("No se pudieron leer las notas de crédito pendientes."),
            0, true));
    Terminar(nota_.ImprimirNotaCredito(
        pendientes->isEmpty() ? std::nullopt : std::optional(pendientes->first().Codigo)));
}

void TurnoImpresion::Terminar(const ResultadoCorrida& r)
{
    if (r.fin != ResultadoCorrida::Fin::Detenido)
        return control_.PonerTimer(true);
    pantalla_.MostrarMensaje(r.Mensaje);
    if (r.ConEtapa)
        pantalla_.AnotarFalla(r.Etapa, r.Mensaje);
    control_.DetenerPorFalla();
}
