#pragma once

#include <QString>
#include <optional>

// How the robot answers one message of the shop's server. Pure: the link
// acts on the result. A message is its first two characters (the type,
// case-sensitive) and a body.
class DespachoServidor
{
public:
    enum class Accion {
        Ignorar,            // unknown types, "N%", "D%", "I%", "F%" other than "Si"
        EsperaCorta,        // "F%Si": a tenth of a second, nothing else
        ResponderVivo,      // "0%": answer "0%"
        Registrar,          // "B%": send the registration, restart the board
        Cierres,            // "M%": closing requests (see CierreX/CierreZ)
        ResponderH,         // a bare "H%": answer "H%"
        Charla,             // "H%" with a body: a chat line on the board
        Salir,              // "X%": close and end at once
    };

    struct Resultado {
        Accion accion = Accion::Ignorar;
        QString cuerpo;              // from the third character on
        std::optional<int> cierreX;  // till named by a "cierre X" request (kNingunaCaja: none)
        std::optional<int> cierreZ;  // till named by a "cierre Z" request
    };

    static Resultado Despachar(const QString& mensaje);

    // The till a closing request addresses: the last number in the message
    // after the request's text; 0 when there is none. A number with a sign,
    // a decimal part or letters glued to it ("-1", "3.5", "0x1", "nº3") is no
    // till number: when it comes last the request addresses no till
    // (kNingunaCaja), rather than one read out of it.
    static int CajaDeSolicitud(const QString& mensaje, const QString& solicitud);
    static constexpr int kNingunaCaja = -1;
};
