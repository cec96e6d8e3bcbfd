#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>

// Faults a person or a test can switch on, all at once or one by one.
// Counts below 0 mean "every time from now on".
struct FallasSimulador {
    bool silencio = false;           // frames are read and logged, nothing is done or answered
    int rechazarEnesimo = 0;         // refuse the n-th command from now (1 = the next one)
    QMap<char, int> rechazarComando; // command byte -> how many more times to refuse it
    QMap<QByteArray, int> perder;    // whole command -> how many more times it is lost on
                                     // the line (neither done nor answered)
    int basura = 0;                  // garbage bytes before the reply's STX
    int ocupado = 0;                 // DC2 bytes before the reply
    int ocupadoPausaMs = 100;        // ... spaced by this many milliseconds
    int demoraMs = 0;                // time the printer takes for each command
    QList<int> trozos;               // the reply goes out in pieces of these sizes
    int trozosPausaMs = 20;          // ... with these pauses between them
    int numeroOcupado = 0;           // "8" FS "N" queries with a busy number after a closing
    QByteArray estado;               // state code forced into "8" FS "T"; empty: none
    // Faults of the line and of the power:
    int perderRespuestaEnesima = 0;     // the n-th frame from now is done, its reply lost
    QMap<QByteArray, int> perderRespuesta; // whole command -> times it is done unanswered
    int corromperSuma = 0;     // the next k replies carry a wrong checksum
    int corromperCampo = 0;    // ... the field before the ETX reads "9e99" (checksum right)
    int sinEtx = 0;            // the next reply is this many bytes without an ETX
    bool ocupadoSiempre = false; // DC2 for ever instead of each reply
    bool apagada = false;      // switched off: the link to the port is gone
};
