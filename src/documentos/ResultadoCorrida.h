#pragma once

#include <QString>

// How one printing run ended. The engine owns the timer and the lists: it
// polls on after "Impreso" and "NadaQueHacer", and after "Detenido" it shows
// the message and stays stopped until the operator starts it again.
struct ResultadoCorrida {
    enum class Fin { Impreso, NadaQueHacer, Detenido };
    Fin fin = Fin::NadaQueHacer;
    QString Mensaje;       // for the operator, when stopped
    double Etapa = 0;      // the stage it stopped at
    bool ConEtapa = false; // the message names a stage

    static ResultadoCorrida Nada() { return {}; }
    static ResultadoCorrida Listo() { return {Fin::Impreso, {}, 0, false}; }
    static ResultadoCorrida Parada(const QString& mensaje, double etapa, bool conEtapa)
    {
        return {Fin::Detenido, mensaje, etapa, conEtapa};
    }
};
