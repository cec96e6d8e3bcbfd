#pragma once

// Every deadline and pause of the printer link, with the real defaults.
// Tests shorten them; nothing else in the program hard-codes these lengths.
struct Tiempos {
    int esperaCortaMs = 5000;   // reply deadline of the two state queries
    int esperaLargaMs = 50000;  // reply deadline of every other command
    int extensionDc2Ms = 50000; // a piece carrying DC2 moves the deadline this far
    int limiteOcupadoMs = 300000; // ... but never past this, from the frame's writing
    int rebanadaMs = 100;       // longest single block on the port or in a pause
    int centesimaMs = 10;       // the unit of DelayMili (a hundredth of a second)
    int escrituraMs = 5000;     // longest wait for a frame to leave the port
    int esperaNumeroMs = 120000; // longest a run waits for a busy document number
    int esperaBaseMs = 60000;    // longest a run retries a write-back the database refuses
};
