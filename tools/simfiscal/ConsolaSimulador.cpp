#include "ConsolaSimulador.h"

#include "ControlSimulador.h"
#include "SimuladorFiscal.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace
{
// Self-pipe: the handler may only write a byte; the event loop does the rest.
int gTuberiaSenal[2] = {-1, -1};

void AlRecibirSenal(int)
{
    const char c = 1;
    const int guardado = errno;
    [[maybe_unused]] const ssize_t n = ::write(gTuberiaSenal[0], &c, 1);
    errno = guardado;
}

void Escribir(FILE* f, const QString& linea)
{
    const QByteArray b = linea.toUtf8() + '\n';
    std::fwrite(b.constData(), 1, size_t(b.size()), f);
    std::fflush(f);
}
} // namespace

ConsolaSimulador::ConsolaSimulador(SimuladorFiscal& sim, bool terminarConEntrada, bool detallado,
                                   QObject* parent)
    : QObject(parent), sim_(sim), terminarConEntrada_(terminarConEntrada)
{
    if (::fcntl(STDIN_FILENO, F_GETFD) != -1) {
        entrada_ = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
        connect(entrada_, &QSocketNotifier::activated, this, &ConsolaSimulador::leerEntrada);
    } else if (terminarConEntrada_) {
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    }
    if (detallado) {
        connect(&sim_, &SimuladorFiscal::intercambio, this, [](const QString& linea) {
            Escribir(stderr, QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss.zzz")) +
                                 QLatin1Char(' ') + linea);
        });
    }
}

ConsolaSimulador::~ConsolaSimulador()
{
    if (senal_) {
        ::signal(SIGTERM, SIG_DFL);
        ::signal(SIGINT, SIG_DFL);
        ::close(gTuberiaSenal[0]);
        ::close(gTuberiaSenal[1]);
        gTuberiaSenal[0] = gTuberiaSenal[1] = -1;
    }
}

bool ConsolaSimulador::instalarSenales()
{
    if (senal_)
        return true;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, gTuberiaSenal) != 0)
        return false;
    senal_ = new QSocketNotifier(gTuberiaSenal[1], QSocketNotifier::Read, this);
    connect(senal_, &QSocketNotifier::activated, this, &ConsolaSimulador::leerSenal);
    struct sigaction sa {
    };
    sa.sa_handler = AlRecibirSenal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    return ::sigaction(SIGTERM, &sa, nullptr) == 0 && ::sigaction(SIGINT, &sa, nullptr) == 0;
}

void ConsolaSimulador::leerSenal()
{
    char c;
    [[maybe_unused]] const ssize_t n = ::read(gTuberiaSenal[1], &c, 1);
    QCoreApplication::quit();
}

void ConsolaSimulador::leerEntrada()
{
    char buf[1024];
    const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (n <= 0) {
        // End of input: a test that drives us through stdin is done with us;
        // a person who started us in the background is not.
        entrada_->setEnabled(false);
        if (terminarConEntrada_)
            QCoreApplication::quit();
        return;
    }
    pendiente_.append(buf, n);
    qsizetype fin;
    while ((fin = pendiente_.indexOf('\n')) >= 0) {
        const QString linea = QString::fromUtf8(pendiente_.left(fin)).trimmed();
        pendiente_.remove(0, fin + 1);
        if (linea.isEmpty() || linea.startsWith(QLatin1Char('#')))
            continue;
        if (linea == QLatin1String("ayuda") || linea == QLatin1String("help")) {
            for (const QString& l : ControlSimulador::Ayuda())
                Escribir(stdout, l);
            continue;
        }
        Escribir(stdout, ControlSimulador::Aplicar(sim_, linea).texto);
    }
    if (pendiente_.size() > 64 * 1024)
        pendiente_.clear();
}
