#pragma once

#include <QtGlobal>

// Monotonic time and sleeping for the printer link. The real clock never
// jumps (a wait across midnight or a clock change still ends); tests use a
// clock that moves only when the code under test waits.
class Reloj
{
  public:
    virtual ~Reloj() = default;
    virtual qint64 AhoraMs() const = 0;
    virtual void DormirMs(int ms) = 0;

    // The process-wide monotonic clock.
    static Reloj& Sistema();
};
