#include "SimuladorEnHilo.h"

#include <QMetaObject>

#include <type_traits>

template <typename F> auto SimuladorEnHilo::enHilo(F f) const
{
    // Before iniciar() there is no simulator: calls do nothing and give defaults.
    using R = std::invoke_result_t<F>;
    if constexpr (std::is_void_v<R>) {
        if (sim_)
            QMetaObject::invokeMethod(sim_, f, Qt::BlockingQueuedConnection);
    } else {
        R r{};
        if (sim_)
            QMetaObject::invokeMethod(sim_, f, Qt::BlockingQueuedConnection, &r);
        return r;
    }
}

SimuladorEnHilo::SimuladorEnHilo() : SimuladorEnHilo(SimuladorFiscal::Opciones()) {}

SimuladorEnHilo::SimuladorEnHilo(const SimuladorFiscal::Opciones& o) : opciones_(o)
{
    hilo_.setObjectName(QStringLiteral("simfiscal"));
}

SimuladorEnHilo::~SimuladorEnHilo()
{
    if (sim_) {
        enHilo([this] { sim_->cerrar(); });
        // The simulator is deleted on its own thread as the thread ends.
        QObject::connect(&hilo_, &QThread::finished, sim_, &QObject::deleteLater);
    }
    hilo_.quit();
    hilo_.wait();
}

bool SimuladorEnHilo::iniciar()
{
    if (sim_)
        return !ruta_.isEmpty();
    sim_ = new SimuladorFiscal(opciones_);
    sim_->moveToThread(&hilo_);
    hilo_.start();
    // Opened on its own thread so that its notifier and timers live there.
    const bool ok = enHilo([this] { return sim_->abrir(); });
    ruta_ = ok ? enHilo([this] { return sim_->rutaPuerto(); }) : QString();
    error_ = ok ? QString() : enHilo([this] { return sim_->error(); });
    return ok;
}

FallasSimulador SimuladorEnHilo::fallas() const
{
    return enHilo([this] { return sim_->fallas(); });
}

void SimuladorEnHilo::ponerFallas(const FallasSimulador& f)
{
    enHilo([this, f] { sim_->ponerFallas(f); });
}

ControlSimulador::Resultado SimuladorEnHilo::control(const QString& linea)
{
    return enHilo([this, linea] { return ControlSimulador::Aplicar(*sim_, linea); });
}

void SimuladorEnHilo::ponerRitmo(bool ritmo)
{
    enHilo([this, ritmo] { sim_->ponerRitmo(ritmo); });
}

void SimuladorEnHilo::ponerFecha(const QDateTime& fecha)
{
    enHilo([this, fecha] { sim_->ponerFecha(fecha); });
}

QList<DocumentoImpreso> SimuladorEnHilo::documentos() const
{
    return enHilo([this] { return sim_->papel().documentos(); });
}

MaquinaFiscal::Contadores SimuladorEnHilo::contadores() const
{
    return enHilo([this] { return sim_->maquina().contadores(); });
}

void SimuladorEnHilo::ponerContadores(const MaquinaFiscal::Contadores& c)
{
    enHilo([this, c] { sim_->maquina().ponerContadores(c); });
}

QByteArray SimuladorEnHilo::codigoEstado() const
{
    return enHilo([this] { return sim_->maquina().codigoEstado(); });
}

SimuladorFiscal::Estadisticas SimuladorEnHilo::estadisticas() const
{
    return enHilo([this] { return sim_->estadisticas(); });
}
