#include "estado/EstadoRobot.h"

#include "estado/InformeEstado.h"

#include "comun/CodigoPagina.h"
#include "servidor/EnlaceServidor.h"
#include "comun/Legible.h"
#include "impresora/LectorRespuesta.h"
#include "motor/Pantalla.h"
#include "impresora/Protocolo.h"

#include <QCoreApplication>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcEstado, "rovend.estado")

namespace
{
const QString kFacturas = QStringLiteral("DBList2");
const QString kNotas = QStringLiteral("DBList1");
const QString kTiquetes = QStringLiteral("DBList3");

// The bare command of a framed one (STX, sequence, command, ETX).
QByteArray Desenmarcar(const QByteArray& trama)
{
    if (trama.size() < 3 || trama.front() != Protocolo::STX || trama.back() != Protocolo::ETX)
        return {};
    return trama.mid(2, trama.size() - 3);
}

// An operator message without the printer command it quotes (an opening
// command carries the customer's name and RIF, which stay off the endpoint),
// with the quoted reply's control bytes written as <STX>, <FS>, ...
QString SinComando(const QString& mensaje)
{
    QStringList lineas = mensaje.split(QLatin1Char('\r'));
    lineas.removeIf([](const QString& l) { return l.startsWith(QLatin1String("Salida: ")); });
    for (QString& l : lineas)
        l = Legible::Texto(CodigoPagina::ABytes(l));
    return lineas.join(QLatin1Char('\r'));
}

quint16 Palabra(const QByteArray& hex)
{
    // As the lamps read it: a character that is not a hex digit counts as 0.
    quint16 v = 0;
    for (int i = 0; i < 4; ++i) {
        const char c = i < hex.size() ? hex.at(i) : '0';
        const int d = QByteArrayView("0123456789ABCDEF").indexOf(QChar::toUpper(uchar(c)));
        v = quint16(v << 4 | (d < 0 ? 0 : d));
    }
    return v;
}
} // namespace

EstadoRobot::EstadoRobot(Pantalla& pantalla, QObject* parent) : QObject(parent)
{
    reloj_.start();
    d_.version = QCoreApplication::applicationVersion();
    d_.pendientes = {ListaPendiente{QStringLiteral("factura")},
                     ListaPendiente{QStringLiteral("nota_credito")},
                     ListaPendiente{QStringLiteral("tiquete")}};
    d_.impresos.insert(QStringLiteral("factura"), 0);
    d_.impresos.insert(QStringLiteral("nota_credito"), 0);
    d_.puerto = pantalla.Etiqueta(0);
    d_.enlaceDesde = QDateTime::currentDateTimeUtc();

    connect(&pantalla, &Pantalla::IntercambioTerminado, this, &EstadoRobot::Intercambio);
    connect(&pantalla, &Pantalla::CodigosPendientes, this, &EstadoRobot::Codigos);
    connect(&pantalla, &Pantalla::HabilitadoCambiado, this, &EstadoRobot::Habilitado);
    connect(&pantalla, &Pantalla::DetenidoPorFalla, this, &EstadoRobot::Detenido);
    connect(&pantalla, &Pantalla::TimerCambiado, this, [this](bool activo) {
        timer_ = activo;
        PonerMarcha();
    });
    connect(&pantalla, &Pantalla::Mensaje, this, [this](const QString& t) { ultimoMensaje_ = SinComando(t); });
    connect(&pantalla, &Pantalla::LedsCambiados, this, [this](const QList<int>& c) { d_.leds = c; });
    connect(&pantalla, &Pantalla::DocumentoImpreso, this,
            [this](const QString& tipo) { ++d_.impresos[tipo]; });
    connect(&pantalla, &Pantalla::FallaAnotada, this, [this](double etapa, const QString& m) {
        fallaPendiente_ = {etapa < 0 ? QString() : QString::number(etapa), SinComando(m)};
    });
    connect(&pantalla, &Pantalla::EtiquetaCambiada, this, [this](int i, const QString& t) {
        switch (i) {
        case 0: d_.puerto = t; break;
        case 1: d_.registro = t; break;
        case 2: d_.fechaImpresora = t; break;
        case 4: d_.ultimaFactura = t; break;
        case 5: d_.ultimoZ = t; break;
        case 6: d_.ultimaNota = t; break;
        default: break;
        }
    });
    revision_.setInterval(1000);
    connect(&revision_, &QTimer::timeout, this, &EstadoRobot::RevisarAlarma);
    revision_.start();
}

void EstadoRobot::SeguirServidor(const EnlaceServidor& enlace)
{
    d_.conectado = enlace.Conectado();
    d_.registrado = enlace.Registrado();
    connect(&enlace, &EnlaceServidor::EnlaceCambiado, this, [this](bool conectado, bool registrado) {
        if (conectado != d_.conectado)
            d_.enlaceDesde = QDateTime::currentDateTimeUtc();
        d_.conectado = conectado;
        d_.registrado = registrado;
    });
}

void EstadoRobot::PonerUmbralAlarma(double segundos)
{
    d_.umbralAlarmaSeg = segundos;
    // Checked at least ten times per threshold, at most once a second.
    revision_.setInterval(int(qBound(50.0, segundos * 100, 1000.0)));
    RevisarAlarma();
}

void EstadoRobot::Intercambio(const QByteArray& comando, const QByteArray& respuesta, qint64 ms)
{
    d_.intercambios.Anotar(double(ms) / 1000.0);
    ultimoIntercambioMs_ = Ahora();
    d_.hayIntercambio = true;
    d_.ultimoFallido = LectorRespuesta::Fallo(respuesta);
    if (d_.ultimoFallido) {
        ++d_.intercambiosFallidos;
    } else {
        d_.ultimoBueno = QDateTime::currentDateTimeUtc();
        const QByteArray palabras = LectorRespuesta::PalabrasEstado(respuesta);
        d_.hayPalabras = true;
        d_.palabra1 = Palabra(palabras.left(4));
        d_.palabra2 = Palabra(palabras.mid(4, 4));
        if (Desenmarcar(comando) == QByteArray("8\x1C" "T"))
            d_.codigoEstado = LectorRespuesta::CodigoEstado(respuesta);
    }
    RevisarAlarma();
}

void EstadoRobot::Codigos(const QString& lista, const QList<qlonglong>& codigos)
{
    const qint64 ahora = Ahora();
    QHash<qlonglong, qint64> nuevos;
    const QHash<qlonglong, qint64>& viejos = vistos_[lista];
    for (qlonglong c : codigos)
        nuevos.insert(c, viejos.value(c, ahora));
    vistos_[lista] = nuevos;
    const int i = lista == kFacturas ? 0 : lista == kNotas ? 1 : 2;
    d_.pendientes[size_t(i)].cantidad = int(codigos.size());
    RevisarAlarma();
}

void EstadoRobot::Habilitado(const QString& control, bool habilitado)
{
    // "Cerrar" is usable exactly while the robot does not poll: stopped by
    // the operator, after a failure, or by a printer that locks it.
    if (control != QLatin1String("Command10") || habilitado == cerrarHabilitado_)
        return;
    cerrarHabilitado_ = habilitado;
    if (!habilitado) {
        d_.iniciado = true;
        d_.motivoDetencion.clear();
    } else if (d_.iniciado) {
        detencionMs_ = Ahora();
        d_.momentoDetencion = QDateTime::currentDateTimeUtc();
        const bool impresora = d_.ultimoFallido || DatosEstado::CodigoBloquea(d_.codigoEstado);
        d_.motivoDetencion = impresora ? QStringLiteral("impresora") : QStringLiteral("operador");
        d_.etapaDetencion.clear();
        d_.mensajeDetencion = impresora ? (d_.ultimoFallido
                                               ? QStringLiteral("La impresora no responde.")
                                               : InformeEstado::SignificadoCodigo(d_.codigoEstado))
                                        : QStringLiteral("Detenido por el operador.");
    }
    PonerMarcha();
}

bool EstadoRobot::EnMarcha() const
{
    // Polling, or printing (a run switches the timer off meanwhile). A
    // closing asked while stopped switches the timer on with "Cerrar" still
    // usable: the robot then polls again, and counts as running, also while
    // it prints, when only its exchanges since the stop show it working.
    const bool trabajando = ultimoIntercambioMs_ > detencionMs_ && Ahora() - ultimoIntercambioMs_ < 10000;
    return d_.iniciado && (!cerrarHabilitado_ || timer_ || trabajando);
}

void EstadoRobot::PonerMarcha()
{
    d_.enMarcha = EnMarcha();
    RevisarAlarma();
}

void EstadoRobot::Detenido()
{
    // The run's own failure (stage and message) came just before; a stop
    // without one (a document found open, a recovery refused) is counted
    // without a stage, with the message the operator was shown.
    d_.etapaDetencion = fallaPendiente_ ? fallaPendiente_->first : QString();
    d_.mensajeDetencion = fallaPendiente_ ? fallaPendiente_->second : ultimoMensaje_;
    fallaPendiente_.reset();
    ++d_.fallas[d_.etapaDetencion.isEmpty() ? QStringLiteral("ninguna") : d_.etapaDetencion];
    d_.motivoDetencion = QStringLiteral("falla");
    detencionMs_ = Ahora();
    d_.momentoDetencion = QDateTime::currentDateTimeUtc();
    PonerMarcha();
}

double EstadoRobot::EdadSeg(const QString& lista) const
{
    const auto it = vistos_.constFind(lista);
    if (it == vistos_.cend() || it->isEmpty())
        return 0;
    qint64 primero = Ahora();
    for (qint64 t : *it)
        primero = std::min(primero, t);
    return double(Ahora() - primero) / 1000.0;
}

void EstadoRobot::RevisarAlarma()
{
    const double edad = std::max(EdadSeg(kFacturas), EdadSeg(kNotas));
    d_.enMarcha = EnMarcha();
    const bool detenido = !d_.enMarcha;
    const bool falla = d_.hayIntercambio && !d_.ImpresoraOk();
    const bool activa = edad > d_.umbralAlarmaSeg && (detenido || falla);
    if (activa == alarma_.has_value())
        return;
    if (activa) {
        alarma_ = Ahora();
        d_.alarma = true;
        d_.alarmaDesde = QDateTime::currentDateTimeUtc();
        const int minutos = int(edad / 60);
        d_.textoAlarma =
            QStringLiteral("Hay documentos sin imprimir desde hace %1 %2: %3.")
                .arg(minutos < 1 ? int(edad) : minutos)
                .arg(minutos < 1 ? QStringLiteral("s") : QStringLiteral("min"))
                .arg(detenido ? QStringLiteral("el robot está detenido")
                              : QStringLiteral("la impresora no está lista"));
        qCWarning(lcEstado).noquote() << "alarma de documentos en espera:" << d_.textoAlarma;
        Q_EMIT AlarmaCambiada(true, d_.textoAlarma);
    } else {
        const double duro = double(Ahora() - *alarma_) / 1000.0;
        alarma_.reset();
        d_.alarma = false;
        d_.textoAlarma.clear();
        qCInfo(lcEstado).noquote() << "fin de la alarma de documentos en espera, duró"
                                   << QString::number(duro, 'f', 0) << "s";
        Q_EMIT AlarmaCambiada(false, QString());
    }
}

DatosEstado EstadoRobot::Foto() const
{
    DatosEstado f = d_;
    f.enMarcha = EnMarcha();
    f.pendientes[0].masAntiguoSeg = EdadSeg(kFacturas);
    f.pendientes[1].masAntiguoSeg = EdadSeg(kNotas);
    f.pendientes[2].masAntiguoSeg = EdadSeg(kTiquetes);
    f.enMarchaSeg = double(Ahora()) / 1000.0;
    f.ahora = QDateTime::currentDateTimeUtc();
    return f;
}
