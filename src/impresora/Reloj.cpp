#include "impresora/Reloj.h"

#include <QElapsedTimer>
#include <QThread>

namespace
{
class RelojMonotonico final : public Reloj
{
  public:
    RelojMonotonico() { inicio_.start(); }
    qint64 AhoraMs() const override { return inicio_.elapsed(); }
    void DormirMs(int ms) override
    {
        if (ms > 0)
            QThread::msleep(ulong(ms));
    }

  private:
    QElapsedTimer inicio_;
};
} // namespace

Reloj& Reloj::Sistema()
{
    static RelojMonotonico reloj;
    return reloj;
}
