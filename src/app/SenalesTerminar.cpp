#include "app/SenalesTerminar.h"

#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int gPar[2] = {-1, -1};

void alRecibir(int)
{
    const char c = 1;
    [[maybe_unused]] const auto n = ::write(gPar[0], &c, 1); // async-signal-safe
}
} // namespace

SenalesTerminar::SenalesTerminar(QObject* parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, gPar) != 0)
        return;
    aviso_ = new QSocketNotifier(gPar[1], QSocketNotifier::Read, this);
    connect(aviso_, &QSocketNotifier::activated, this, [this] {
        char c;
        [[maybe_unused]] const auto n = ::read(gPar[1], &c, 1);
        Q_EMIT Terminar();
    });
    struct sigaction sa = {};
    sa.sa_handler = alRecibir;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
}

SenalesTerminar::~SenalesTerminar()
{
    signal(SIGTERM, SIG_DFL);
    signal(SIGINT, SIG_DFL);
    delete aviso_;
    aviso_ = nullptr;
    for (int& fd : gPar) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}
