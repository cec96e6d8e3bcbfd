#include "SimuladorFiscal.h"

#include "impresora/Protocolo.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QSaveFile>
#include <QSocketNotifier>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcSimulador, "rovend.simfiscal")

namespace
{
// Garbage that cannot be mistaken for framing or busy bytes.
const QByteArray kBasura = QByteArrayLiteral("\x00\xFF#?*\x15\x7E\x01");

QByteArray Basura(int n)
{
    QByteArray b;
    b.reserve(n);
    for (int i = 0; i < n; ++i)
        b.append(kBasura.at(i % kBasura.size()));
    return b;
}

QString Errno(const char* que)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(que),
                                        QString::fromLocal8Bit(strerror(errno)));
}
} // namespace

SimuladorFiscal::SimuladorFiscal(QObject* parent) : SimuladorFiscal(Opciones(), parent) {}

SimuladorFiscal::SimuladorFiscal(const Opciones& o, QObject* parent)
    : QObject(parent), opciones_(o), ritmo_(o.ritmo), fecha_(o.fecha), papel_(o.rollo, o.diario)
{
    maquina_.ponerRegistro(o.registro);
    escritor_ = new QTimer(this);
    escritor_->setSingleShot(true);
    escritor_->setTimerType(Qt::PreciseTimer);
    connect(escritor_, &QTimer::timeout, this, &SimuladorFiscal::escribir);
    reanudar_ = new QTimer(this);
    reanudar_->setSingleShot(true);
    connect(reanudar_, &QTimer::timeout, this, [this] {
        if (notificador_)
            notificador_->setEnabled(true);
    });
    reloj_.start();
    cargarEstado();
}

SimuladorFiscal::~SimuladorFiscal()
{
    cerrar();
}

QDateTime SimuladorFiscal::ahora() const
{
    return fecha_.isValid() ? fecha_ : QDateTime::currentDateTime();
}

bool SimuladorFiscal::abrir()
{
    if (maestro_ >= 0)
        return true;
    const int m = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m < 0) {
        error_ = Errno("posix_openpt");
        return false;
    }
    auto fallar = [&](const char* que) {
        error_ = Errno(que);
        ::close(m);
        return false;
    };
    if (::fcntl(m, F_SETFD, FD_CLOEXEC) != 0 ||
        ::fcntl(m, F_SETFL, ::fcntl(m, F_GETFL) | O_NONBLOCK) != 0)
        return fallar("fcntl");
    if (::grantpt(m) != 0 || ::unlockpt(m) != 0)
        return fallar("grantpt/unlockpt");
    char nombre[256];
    if (::ptsname_r(m, nombre, sizeof nombre) != 0)
        return fallar("ptsname");
    // Kept open for the simulator's whole life: without it the master sees
    // a hang-up each time the robot closes the port, and reads fail or spin.
    const int s = ::open(nombre, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (s < 0)
        return fallar("open slave");
    termios t{};
    if (::tcgetattr(s, &t) != 0) {
        ::close(s);
        return fallar("tcgetattr");
    }
    ::cfmakeraw(&t);
    t.c_cflag &= ~(CSIZE | CSTOPB | PARENB | CRTSCTS);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    ::cfsetispeed(&t, B9600);
    ::cfsetospeed(&t, B9600);
    if (::tcsetattr(s, TCSANOW, &t) != 0) {
        ::close(s);
        return fallar("tcsetattr");
    }
    maestro_ = m;
    esclavo_ = s;
    ruta_ = QString::fromLocal8Bit(nombre);
    notificador_ = new QSocketNotifier(maestro_, QSocketNotifier::Read, this);
    connect(notificador_, &QSocketNotifier::activated, this, &SimuladorFiscal::leer);
    qCInfo(lcSimulador) << "impresora simulada en" << ruta_;
    if (!opciones_.enlace.isEmpty() && !ponerEnlace(true)) {
        error_ = QStringLiteral("no se pudo crear el enlace ") + opciones_.enlace;
        cerrar();
        return false;
    }
    return true;
}

bool SimuladorFiscal::ponerEnlace(bool presente)
{
    const QString& enlace = opciones_.enlace;
    if (enlace.isEmpty())
        return true;
    // Replace or remove only a link, never a real file.
    if (QFileInfo(enlace).isSymLink())
        QFile::remove(enlace);
    return !presente || QFile::link(ruta_, enlace);
}

void SimuladorFiscal::cerrar()
{
    if (maestro_ >= 0)
        ponerEnlace(false);
    escritor_->stop();
    reanudar_->stop();
    delete notificador_;
    notificador_ = nullptr;
    salida_.clear();
    if (esclavo_ >= 0)
        ::close(esclavo_);
    if (maestro_ >= 0)
        ::close(maestro_);
    esclavo_ = maestro_ = -1;
}

FallasSimulador SimuladorFiscal::fallas() const
{
    FallasSimulador f = fallas_;
    f.rechazarEnesimo = maquina_.rechazoEnesimo();
    f.rechazarComando = maquina_.rechazosComando();
    f.numeroOcupado = maquina_.numeroOcupadoConfigurado();
    f.estado = maquina_.estadoForzado();
    return f;
}

void SimuladorFiscal::ponerFallas(const FallasSimulador& f)
{
    if (f.apagada != fallas_.apagada && maestro_ >= 0)
        ponerEnlace(!f.apagada);
    fallas_ = f;
    maquina_.limpiarFallas();
    maquina_.rechazarEnesimo(f.rechazarEnesimo);
    for (auto it = f.rechazarComando.cbegin(); it != f.rechazarComando.cend(); ++it)
        maquina_.rechazarComando(it.key(), it.value());
    maquina_.numeroOcupado(f.numeroOcupado);
    maquina_.forzarEstado(f.estado);
}

SimuladorFiscal::Estadisticas SimuladorFiscal::estadisticas() const
{
    Estadisticas e = estadisticas_;
    e.descartados = lector_.descartados();
    return e;
}

void SimuladorFiscal::leer()
{
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(maestro_, buf, sizeof buf);
        if (n > 0) {
            const qint64 instante = reloj_.nsecsElapsed();
            for (const LectorTramas::Trama& t : lector_.alimentar(QByteArrayView(buf, n), instante))
                procesar(t);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            // Not expected while the slave fd is held; back off instead of spinning.
            qCWarning(lcSimulador) << "lectura del maestro:" << strerror(errno);
            notificador_->setEnabled(false);
            reanudar_->start(100);
        }
        return;
    }
}

void SimuladorFiscal::procesar(const LectorTramas::Trama& t)
{
    if (!t.valida) {
        ++estadisticas_.erroneas;
        const QString linea =
            QStringLiteral("%1  ignorada (%2)").arg(LectorTramas::Legible(t.bruta), t.motivo);
        qCWarning(lcSimulador).noquote() << linea;
        Q_EMIT intercambio(linea);
        return;
    }
    const int repetidas = estadisticas_.retransmisiones;
    const std::optional<QByteArray> respuesta = atender(t);
    QString linea =
        QStringLiteral("%1  ->  %2")
            .arg(LectorTramas::Legible(t.bruta),
                 respuesta ? LectorTramas::Legible(*respuesta) : QStringLiteral("(silencio)"));
    if (estadisticas_.retransmisiones != repetidas)
        linea += QStringLiteral("  (repetida, no se ejecuta de nuevo)");
    qCDebug(lcSimulador).noquote() << linea;
    Q_EMIT intercambio(linea);
    if (respuesta)
        programar(t, *respuesta);
}

std::optional<QByteArray> SimuladorFiscal::atender(const LectorTramas::Trama& t)
{
    if (!t.valida)
        return std::nullopt;
    ++estadisticas_.tramas;
    if (fallas_.silencio)
        return std::nullopt;
    if (const auto p = fallas_.perder.find(t.comando); p != fallas_.perder.end()) {
        if (--p.value() <= 0)
            fallas_.perder.erase(p);
        return std::nullopt;
    }
    if (ultimaSecuencia_ == t.secuencia && ultimoComando_ == t.comando) {
        ++estadisticas_.retransmisiones;
        ++estadisticas_.respuestas;
        return Estropear(ultimaRespuesta_);
    }
    // Done by the printer, but its answer is lost on the line.
    bool sinRespuesta = false;
    if (fallas_.perderRespuestaEnesima > 0)
        sinRespuesta = --fallas_.perderRespuestaEnesima == 0;
    if (const auto p = fallas_.perderRespuesta.find(t.comando); p != fallas_.perderRespuesta.end()) {
        sinRespuesta = true;
        if (--p.value() <= 0)
            fallas_.perderRespuesta.erase(p);
    }
    MaquinaFiscal::Resultado r = maquina_.ejecutar(t.comando, ahora());
    if (r.impreso) {
        if (!papel_.imprimir(*r.impreso))
            qCWarning(lcSimulador).noquote() << "papel:" << papel_.error();
        Q_EMIT documentoImpreso(*r.impreso);
    }
    if (r.avance > 0)
        papel_.avanzar(r.avance);
    if (r.corte)
        papel_.cortar();
    if (r.guardar)
        guardarEstado();
    ultimaSecuencia_ = t.secuencia;
    ultimoComando_ = t.comando;
    ultimaRespuesta_ = LectorTramas::Enmarcar(t.secuencia, r.Contenido());
    if (sinRespuesta)
        return std::nullopt;
    ++estadisticas_.respuestas;
    return Estropear(ultimaRespuesta_);
}

QByteArray SimuladorFiscal::Estropear(const QByteArray& respuesta)
{
    QByteArray r = respuesta;
    const qsizetype etx = r.lastIndexOf(Protocolo::ETX);
    if (fallas_.corromperCampo != 0 && etx >= 5) {
        if (fallas_.corromperCampo > 0)
            --fallas_.corromperCampo;
        r.replace(etx - 4, 4, "9e99");
        r.replace(etx + 1, 4, LectorTramas::DigitosControl(LectorTramas::SumaControl(r.left(etx + 1))));
    }
    if (fallas_.corromperSuma != 0 && etx >= 0 && r.size() == etx + 5) {
        if (fallas_.corromperSuma > 0)
            --fallas_.corromperSuma;
        r[etx + 4] = r.at(etx + 4) == '0' ? '1' : '0';
    }
    if (fallas_.sinEtx > 0) {
        // The start of a reply, then bytes that never end it.
        r = QByteArray(1, Protocolo::STX) + QByteArray(fallas_.sinEtx, 'x');
        fallas_.sinEtx = 0;
    }
    return r;
}

void SimuladorFiscal::programar(const LectorTramas::Trama& t, const QByteArray& respuesta)
{
    // A new frame ends an endless busy signal.
    while (!salida_.empty() && salida_.back().repetir && salida_.back().enviados == 0)
        salida_.pop_back();
    const qint64 linea = t.bruta.size() * kByteNs;
    // A frame exists for the printer only once its last byte could have
    // crossed the line. Without pacing the answer still waits that long: the
    // robot empties its receive buffer right after writing.
    const qint64 llegada = ritmo_ ? qMax(t.inicioNs + linea, t.finNs) : t.finNs + linea;
    const qint64 base = llegada + qint64(qMax(0, fallas_.demoraMs)) * 1'000'000;
    const qint64 pausaOcupado = qint64(qMax(0, fallas_.ocupadoPausaMs)) * 1'000'000;

    bool primera = true;
    auto agregar = [&](const QByteArray& bytes, qint64 pausa) {
        Salida s;
        s.bytes = bytes;
        s.noAntesNs = base;
        s.pausaNs = primera ? 0 : pausa;
        primera = false;
        salida_.push_back(s);
    };
    if (fallas_.ocupadoSiempre) {
        agregar(QByteArray(1, Protocolo::DC2), pausaOcupado);
        salida_.back().repetir = true;
        escribir();
        return;
    }
    for (int i = 0; i < fallas_.ocupado; ++i)
        agregar(QByteArray(1, Protocolo::DC2), pausaOcupado);

    QByteArray resto = respuesta;
    QByteArray basura = Basura(qMax(0, fallas_.basura));
    const qint64 pausaTrozos = qint64(qMax(0, fallas_.trozosPausaMs)) * 1'000'000;
    bool primerTrozo = true;
    for (int tam : fallas_.trozos) {
        if (resto.isEmpty() || tam <= 0)
            break;
        agregar(basura + resto.left(tam), primerTrozo ? pausaOcupado : pausaTrozos);
        basura.clear();
        resto.remove(0, tam);
        primerTrozo = false;
    }
    if (!resto.isEmpty())
        agregar(basura + resto, primerTrozo ? pausaOcupado : pausaTrozos);
    escribir();
}

void SimuladorFiscal::escribir()
{
    const qint64 ahora = reloj_.nsecsElapsed();
    while (!salida_.empty() && maestro_ >= 0) {
        Salida& s = salida_.front();
        if (s.inicioNs < 0)
            s.inicioNs = qMax(s.noAntesNs, finLineaNs_ + s.pausaNs);
        qsizetype debidos = 0;
        if (ahora >= s.inicioNs)
            debidos = ritmo_
                          ? qsizetype(qMin<qint64>(s.bytes.size(), (ahora - s.inicioNs) / kByteNs))
                          : s.bytes.size();
        if (debidos > s.enviados) {
            const ssize_t n =
                ::write(maestro_, s.bytes.constData() + s.enviados, size_t(debidos - s.enviados));
            if (n > 0) {
                s.enviados += n;
            } else if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                qCWarning(lcSimulador) << "escritura del maestro:" << strerror(errno);
                salida_.clear();
                return;
            }
            if (s.enviados < debidos) {
                // The terminal's buffer is full: try again shortly.
                escritor_->start(2);
                return;
            }
        }
        if (s.enviados == s.bytes.size()) {
            finLineaNs_ = ritmo_ ? s.inicioNs + s.bytes.size() * kByteNs : ahora;
            if (s.repetir && fallas_.ocupadoSiempre && salida_.size() == 1) {
                // Busy again after the pause, until a frame or "normal" comes.
                s.inicioNs = -1;
                s.enviados = 0;
                s.pausaNs = qint64(qMax(1, fallas_.ocupadoPausaMs)) * 1'000'000;
                s.noAntesNs = 0;
                continue;
            }
            salida_.pop_front();
            continue;
        }
        const qint64 proximo = ritmo_ ? s.inicioNs + (s.enviados + 1) * kByteNs : s.inicioNs;
        escritor_->start(int((qMax<qint64>(0, proximo - ahora) + 999'999) / 1'000'000));
        return;
    }
}

void SimuladorFiscal::cargarEstado()
{
    if (opciones_.estadoArchivo.isEmpty())
        return;
    QFile f(opciones_.estadoArchivo);
    if (!f.exists())
        return;
    QJsonParseError e{};
    const QJsonDocument d =
        f.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(f.readAll(), &e) : QJsonDocument();
    if (!d.isObject() || !maquina_.cargarEstado(d.object()))
        qCWarning(lcSimulador).noquote()
            << "estado no legible, se empieza de cero:" << opciones_.estadoArchivo;
}

bool SimuladorFiscal::guardarEstado()
{
    if (opciones_.estadoArchivo.isEmpty())
        return true;
    QSaveFile f(opciones_.estadoArchivo);
    if (!f.open(QIODevice::WriteOnly) ||
        f.write(QJsonDocument(maquina_.Estado()).toJson(QJsonDocument::Indented)) < 0 ||
        !f.commit()) {
        qCWarning(lcSimulador).noquote() << "no se pudo guardar el estado:" << f.errorString();
        return false;
    }
    return true;
}
