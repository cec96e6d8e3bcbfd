#pragma once

#include <QString>
#include <QStringList>

class SimuladorFiscal;

// The simulator's control language: one line, a word and its arguments
// ("silencio on", "rechazar B 2", "numero-ocupado 3", "estado 04", "normal").
// The program reads these lines on stdin and turns its fault options into
// them, so both paths share one parser.
class ControlSimulador
{
  public:
    struct Resultado {
        bool ok = false;
        QString texto; // "ok", the answer to a query, or why the line was refused
    };

    static Resultado Aplicar(SimuladorFiscal& s, const QString& linea);
    static QStringList Ayuda();
};
