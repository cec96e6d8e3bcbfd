#include "apoyo/RelojFalso.h"

void RelojFalso::DormirMs(int ms)
{
    if (ms > 0)
        ahora_ += ms;
}

void RelojFalso::Avanzar(qint64 ms)
{
    if (ms > 0)
        ahora_ += ms;
}
