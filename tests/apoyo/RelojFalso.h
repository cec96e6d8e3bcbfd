#pragma once

#include "impresora/Reloj.h"

// A clock for tests: time moves only when someone sleeps or advances it.
class RelojFalso final : public Reloj
{
  public:
    qint64 AhoraMs() const override { return ahora_; }
    void DormirMs(int ms) override;
    void Avanzar(qint64 ms);

  private:
    qint64 ahora_ = 0;
};
