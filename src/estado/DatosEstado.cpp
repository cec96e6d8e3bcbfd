#include "estado/DatosEstado.h"

void HistogramaIntercambios::Anotar(double segundos)
{
    ++cuenta;
    suma += segundos;
    for (size_t i = 0; i < kLimites.size(); ++i) {
        if (segundos <= kLimites[i]) {
            ++cubetas[i];
            return;
        }
    }
}

bool DatosEstado::CodigoBloquea(const QString& codigo)
{
    // The codes that leave the robot stopped: a Z is due, or a critical error.
    static const QStringList bloqueos{"04", "08", "10", "11", "12", "13", "14"};
    return bloqueos.contains(codigo);
}

bool DatosEstado::ImpresoraOk() const
{
    return hayIntercambio && !ultimoFallido && !CodigoBloquea(codigoEstado);
}
