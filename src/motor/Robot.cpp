#include "motor/Robot.h"

#include "comun/Conversiones.h"
#include "impresora/LectorRespuesta.h"
#include "impresora/PuertoQt.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcRobot, "rovend.robot")
Q_LOGGING_CATEGORY(lcDb, "rovend.db")

Robot::Robot(const Ajustes& ajustes, std::unique_ptr<PuertoSerie> puerto, Reloj* reloj,
             QObject* parent)
    : QObject(parent), ajustes_(ajustes), pantalla_(new Pantalla(this)),
      puerto_(puerto ? std::move(puerto) : std::make_unique<PuertoQt>(ajustes.dispositivo)),
      enlace_(std::make_unique<EnlaceImpresora>(*puerto_, reloj ? *reloj : Reloj::Sistema())),
      comandos_(std::make_unique<ComandosFiscales>(*enlace_)),
      tienda_(QStringLiteral("rovend.tienda.%1").arg(quintptr(this))),
      local_(QStringLiteral("rovend.local.%1").arg(quintptr(this))), timer1_(new QTimer(this))
{
    enlace_->tiempos = ajustes.tiempos;
    enlace_->cancelar = &cancelar_;
    enlace_->PrimeraActivacion = true;
    enlace_->AvisoOperador = [this](const QString& t) { pantalla_->MostrarMensaje(t); };
    enlace_->AlTerminar = [this](const QByteArray& c, const QByteArray& r) { pantalla_->AnotarIntercambio(c, r, enlace_->DuracionMs()); };
    bitacora_ = std::make_unique<BitacoraPantalla>(*pantalla_);
    contexto_.reset(new ContextoImpresion{*enlace_, *comandos_, tienda_, ajustes_.config,
                                          ajustesTienda_, hechos_, *bitacora_,
                                          ajustes_.rutaPrograma});
    operador_ = std::make_unique<ComandosOperador>(
        ContextoOperador{*enlace_, *comandos_, *pantalla_, *this});
    factura_ = std::make_unique<ImpresionFactura>(*contexto_);
    nota_ = std::make_unique<ImpresionNotaCredito>(*contexto_);
    turno_ = std::make_unique<TurnoImpresion>(*this, *pantalla_, *factura_, *nota_);
    timer1_->setInterval(1000);
    connect(timer1_, &QTimer::timeout, this, &Robot::Timer1_Timer);
    pantalla_->PonerEtiqueta(0, ajustes_.config.Puerto);
}

Robot::~Robot() = default;

void Robot::Iniciar()
{
    if (!primeraActivacion_)
        return;
    // The shop database is the SQLite file or, with the twelfth line of
    // Vendrix.inf, the shop's PostgreSQL server. A lost server is waited for
    // inside a run, but never past the stop flag.
    tienda_.PonerCancelar(&cancelar_);
    const bool tiendaAbierta = ajustes_.config.Servidor ? tienda_.Abrir(*ajustes_.config.Servidor)
                                                        : tienda_.Abrir(ajustes_.rutaBaseDatos);
    if (!tiendaAbierta || !local_.Abrir(ajustes_.rutaBaseLocal)) {
        const QString error = !tienda_.Abierta() ? tienda_.UltimoError() : local_.UltimoError();
        qCCritical(lcDb).noquote() << error;
        pantalla_->MostrarMensaje(error);
        Q_EMIT Iniciado(false);
        return;
    }
    contadorTicks_ = 0;
    HabilitarControles(false);
    pantalla_->Habilitar(QStringLiteral("Command10"), true);
    if (const auto fila = tienda_.ConfiguracionTienda())
        ajustesTienda_ = AjustesTienda::Desde(*fila);
    else
        qCWarning(lcDb).noquote() << "no se pudo leer [Configuración]:" << tienda_.UltimoError();
    // An old installation's service mode waits for the server to come up.
    if (ajustesTienda_.ModoSoloServicio &&
        ajustes_.config.RutaDatos == QLatin1String("C:\\Archivos de programa\\Taloma\\"))
        enlace_->DelayMili(3000);
    const Actualizacion purga = local_.PurgarTikets(QDate::currentDate());
    if (!purga.Ok)
        qCWarning(lcDb).noquote() << "no se pudieron purgar los tiquetes:" << purga.Error;
    Q_EMIT ConectarServidor(ajustesTienda_.DireccionServidor, ajustesTienda_.PuertoServidor);
    PruebaLeds();
    pantalla_->PonerTitulo(QStringLiteral("frmImprimirFacturaROBOT"),
                           QStringLiteral("Corvena - Rovend - FISCAL  V.3.0.6 ( RIF: ") +
                               Conversiones::Decoro_RIF(ajustesTienda_.RifCompania) +
                               QStringLiteral(" )"));
    primeraActivacion_ = false;
    enlace_->PrimeraActivacion = false;
    SaludarImpresora();
    pantalla_->Habilitar(QStringLiteral("Command2"), false);
    operador_->ConsultoEstado();
    ActualizarListas();
    HabilitarControles(true);
    pantalla_->Habilitar(QStringLiteral("Command10"), false);
    qCInfo(lcRobot).noquote() << "robot en marcha, caja" << ajustes_.config.NumeroCaja << "puerto"
                              << ajustes_.dispositivo;
    Q_EMIT Iniciado(true);
}

void Robot::PruebaLeds()
{
    Leds::Panel p = Leds::ApagoLeds();
    for (ColorLed color : {ColorLed::Naranja, ColorLed::Gris}) {
        for (int i = 0; i < 32; ++i) {
            p[i] = color;
            pantalla_->PonerLeds(p);
            enlace_->DelayMili(5);
        }
    }
}

void Robot::SaludarImpresora()
{
    enlace_->Comando = "Y";
    enlace_->EnviarComando();
    const QString aammdd = LectorRespuesta::FechaAaMmDd(enlace_->Respuesta);
    const QDate fecha = QDate::fromString(aammdd, QStringLiteral("yyMMdd")).addYears(100);
    pantalla_->PonerEtiqueta(2, fecha.isValid() ? QLocale().toString(fecha, QLocale::ShortFormat)
                                                : aammdd);
    enlace_->Comando = QByteArray(1, char(0x80));
    enlace_->EnviarComando();
    hechos_.Registro = LectorRespuesta::Registro(enlace_->Respuesta);
    pantalla_->PonerEtiqueta(1, hechos_.Registro);
    pantalla_->ActualizoLeds(enlace_->Respuesta);
}

void Robot::Terminar()
{
    PonerTimer(false);
    tienda_.Cerrar();
    local_.Cerrar();
    qCInfo(lcRobot) << "robot detenido";
    Q_EMIT Terminado();
}

void Robot::PonerTimer(bool activo)
{
    if (activo)
        timer1_->start();
    else
        timer1_->stop();
    pantalla_->PonerTimer(activo);
}

bool Robot::TimerActivo() const
{
    return timer1_->isActive();
}

void Robot::DetenerPorFalla()
{
    PonerTimer(false);
    pantalla_->PonerTitulo(QStringLiteral("Command3"), QStringLiteral("Iniciar"));
    pantalla_->Habilitar(QStringLiteral("Command10"), true);
    pantalla_->AnotarDetencion();
}

void Robot::Timer1_Timer()
{
    ActualizarListas();
    enlace_->DelayMili(50);
    if (nota_->RecuperacionPendiente(primeraNota_)) {
        // A note cut short after its marker goes first, whatever is pending:
        // an invoice would find it open and the operator would cancel it.
        turno_->Nota();
    } else if (facturasPendientes_ > 0) {
        turno_->Factura();
    } else if (contadorTicks_ < 11) {
        ++contadorTicks_;
    } else {
        if (notasPendientes_ > 0)
            turno_->Nota();
        contadorTicks_ = 0;
    }
}

namespace
{
QStringList textos(const QList<Pendiente>& filas)
{
    QStringList t;
    for (const Pendiente& p : filas)
        t << p.VistaEspecial;
    return t;
}
} // namespace

std::optional<QList<Pendiente>> Robot::RefrescarFacturas()
{
    auto filas = tienda_.FacturasPendientes(ajustes_.config.NumeroCaja);
    if (filas)
        pantalla_->PonerPendientes(QStringLiteral("DBList2"), textos(*filas));
    pantalla_->AnotarPendientes(QStringLiteral("DBList2"), filas);
    facturasPendientes_ = filas ? filas->size() : 0;
    return filas;
}

std::optional<QList<Pendiente>> Robot::RefrescarNotas()
{
    auto filas = tienda_.NotasPendientes(ajustes_.config.NumeroCaja);
    if (filas)
        pantalla_->PonerPendientes(QStringLiteral("DBList1"), textos(*filas));
    pantalla_->AnotarPendientes(QStringLiteral("DBList1"), filas);
    notasPendientes_ = filas ? filas->size() : 0;
    primeraNota_ = filas && !filas->isEmpty() ? filas->first().Codigo : 0;
    return filas;
}

void Robot::ActualizarListas()
{
    // The tick does not wait for a lost database server: one attempt to
    // reconnect per tick, and the next tick tries again.
    const int espera = tienda_.EsperaReconexion();
    tienda_.PonerEsperaReconexion(0);
    const auto tiquetes = local_.TiketsPendientes(ajustes_.config.NumeroCaja);
    if (tiquetes)
        pantalla_->PonerPendientes(QStringLiteral("DBList3"), textos(*tiquetes));
    pantalla_->AnotarPendientes(QStringLiteral("DBList3"), tiquetes);
    const bool ok = tiquetes && RefrescarFacturas() && RefrescarNotas();
    tienda_.PonerEsperaReconexion(espera);
    // A lost database is reported once when the lists stop, not every second.
    const QString error =
        ok ? QString() : (tiquetes ? tienda_.UltimoError() : local_.UltimoError());
    if (!ok && ultimoErrorListas_.isEmpty())
        qCWarning(lcDb).noquote() << "no se pudieron leer los pendientes:" << error;
    else if (ok && !ultimoErrorListas_.isEmpty())
        qCInfo(lcDb) << "pendientes legibles de nuevo";
    ultimoErrorListas_ = ok ? QString() : error.isEmpty() ? QStringLiteral("?") : error;
}

void Robot::HabilitarControles(bool estado)
{
    PonerTimer(estado);
    for (const QString& boton : Pantalla::BotonesOperador())
        pantalla_->Habilitar(boton, estado);
}

void Robot::Option_Click()
{
    ActualizarListas();
}

void Robot::Command13556_Click()
{
    operador_->CierreX();
}
void Robot::Command6_Click()
{
    operador_->CierreZ();
}
void Robot::Command13_Click()
{
    operador_->ConsultoEstado();
}
void Robot::Command14_Click()
{
    operador_->Resetear();
}
void Robot::Command1_Click()
{
    operador_->Command1();
}

void Robot::Command3_Click()
{
    if (timer1_->isActive()) {
        PonerTimer(false);
        pantalla_->PonerTitulo(QStringLiteral("Command3"), QStringLiteral("Iniciar"));
        pantalla_->Habilitar(QStringLiteral("Command10"), true);
    } else {
        PonerTimer(true);
        pantalla_->PonerTitulo(QStringLiteral("Command3"), QStringLiteral("Detener"));
        pantalla_->Habilitar(QStringLiteral("Command10"), false);
    }
}

void Robot::Command7_Click()
{
    HabilitarControles(false);
    pantalla_->PonerVisible(QStringLiteral("Frame1"), true);
}

void Robot::Command9_Click()
{
    pantalla_->PonerVisible(QStringLiteral("Frame1"), false);
    HabilitarControles(true);
}

void Robot::Command8_Click(const TareaOpciones& tarea)
{
    pantalla_->Habilitar(QStringLiteral("Command8"), false);
    operador_->Ejecutar(tarea);
    pantalla_->Habilitar(QStringLiteral("Command8"), true);
}
