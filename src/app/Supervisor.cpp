#include "app/Supervisor.h"

#include "tienda/Arranque.h"
#include "app/Consola.h"
#include "servidor/EnlaceServidor.h"
#include "motor/EspejoControles.h"
#include "servidor/Pizarra.h"
#include "motor/Robot.h"
#include "servidor/VistaPizarra.h"
#include "ventana/frmImprimirFacturaROBOT.h"
#include "estado/EstadoRobot.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QTextEdit>

Q_LOGGING_CATEGORY(lcSupervisor, "rovend.server")

Supervisor::Supervisor(const AjustesRobot& ajustes, bool sinVentana, QObject* parent)
    : QObject(parent), sinVentana_(sinVentana), robot_(new Robot(ajustes)),
      servidor_(std::make_unique<EnlaceServidor>(ajustes.config.NumeroCaja))
{
    hilo_.setObjectName(QStringLiteral("robot"));
    robot_->moveToThread(&hilo_);
    espejo_ = std::make_unique<EspejoControles>(robot_->pantalla());
    connect(&hilo_, &QThread::started, robot_, &Robot::Iniciar);
    connect(robot_, &Robot::Iniciado, this, [this](bool ok) {
        if (!ok) { // the databases went away between the checks and the start
            codigo_ = Arranque::kSalidaMensaje;
            Apagar();
        }
    });
    connect(robot_, &Robot::ConectarServidor, servidor_.get(),
            [this](const QString& direccion, int puerto) { servidor_->ConectarServidor(direccion, quint16(puerto)); });
    connect(servidor_.get(), &EnlaceServidor::SolicitudCierre, this, &Supervisor::SolicitudCierre);
    connect(servidor_.get(), &EnlaceServidor::ConexionRechazada, this, [this](const QString& m) {
        Avisar(m);
        SalirYa(Arranque::kSalidaMensaje);
    });
    connect(servidor_.get(), &EnlaceServidor::ErrorConexion, this, [this](const QString& m) {
        Avisar(m);
        codigo_ = Arranque::kSalidaMensaje;
        Apagar();
    });
    connect(servidor_.get(), &EnlaceServidor::OrdenSalir, this, [this] { SalirYa(Arranque::kSalidaNormal); });
    // After the robot is done comes the goodbye, and after it the end.
    connect(robot_, &Robot::Terminado, this, [this] { terminado_ = true; });
    connect(robot_, &Robot::Terminado, servidor_.get(), &EnlaceServidor::Despedirse);
    // exit(), not quit(): quit() first asks the windows to close, and the
    // window refuses while the robot runs.
    connect(servidor_.get(), &EnlaceServidor::Despedido, this, [this] { QCoreApplication::exit(codigo_); });
    servidor_->VentanaVisible = [this] { return ventana_ && ventana_->isVisible(); };
    // The status view and its alarm: fed by the model's signals like the window.
    estado_ = std::make_unique<EstadoRobot>(robot_->pantalla());
    estado_->SeguirServidor(*servidor_);
}

void Supervisor::PonerUmbralAlarma(double segundos) { estado_->PonerUmbralAlarma(segundos); }

bool Supervisor::AbrirEstado(const ServidorEstado::Direccion& direccion, QString* error)
{
    http_ = std::make_unique<ServidorEstado>(*estado_);
    if (http_->Escuchar(direccion))
        return true;
    *error = http_->Error();
    http_.reset();
    return false;
}

Supervisor::~Supervisor()
{
    if (hilo_.isRunning()) {
        if (!terminado_) { // ended at once: cut the waits short, then release the databases
            robot_->Cancelar();
            disconnect(robot_, &Robot::Terminado, nullptr, nullptr);
            QMetaObject::invokeMethod(robot_, &Robot::Terminar, Qt::BlockingQueuedConnection);
        }
        hilo_.quit();
        hilo_.wait();
    }
    http_.reset();
    estado_.reset();
    ventana_.reset();
    consola_.reset();
    delete robot_;
}

void Supervisor::Arrancar()
{
    if (sinVentana_) {
        consola_ = std::make_unique<Consola>(robot_->pantalla());
    } else {
        ventana_ = std::make_unique<frmImprimirFacturaROBOT>(*robot_);
        connect(ventana_.get(), &frmImprimirFacturaROBOT::Cerrando, this, &Supervisor::Apagar);
        if (auto* pizarra = ventana_->findChild<QTextEdit*>(QStringLiteral("Pizarra"))) {
            vistaPizarra_ = std::make_unique<VistaPizarra>(*pizarra->document());
            connect(servidor_.get(), &EnlaceServidor::PizarraIniciada, pizarra,
                    [this](const QString& rtf) { vistaPizarra_->Iniciar(rtf); });
            // PizarraAlFinal: the newest line in view.
            connect(servidor_.get(), &EnlaceServidor::PizarraLinea, pizarra,
                    [this, pizarra](const QString& html, int quitadas) {
                        vistaPizarra_->Agregar(html, quitadas);
                        pizarra->moveCursor(QTextCursor::End);
                        pizarra->ensureCursorVisible();
                    });
        }
        connect(estado_.get(), &EstadoRobot::AlarmaCambiada, ventana_.get(), &frmImprimirFacturaROBOT::MostrarAlarma);
        ventana_->show();
    }
    hilo_.start();
}

void Supervisor::Apagar()
{
    if (apagando_) {
        robot_->Cancelar();
        return;
    }
    apagando_ = true;
    // Queued behind the document being printed, if any.
    QMetaObject::invokeMethod(robot_, &Robot::Terminar, Qt::QueuedConnection);
}

void Supervisor::SalirYa(int codigo)
{
    codigo_ = codigo;
    robot_->Cancelar(); // every printer wait ends within a slice; nothing is written
    QCoreApplication::exit(codigo);
}

void Supervisor::SolicitudCierre(bool z)
{
    // Accepted when its button is enabled on arrival and no closing of the
    // same kind is queued or running; it then waits its turn behind the
    // document being printed, never inside it.
    const QString boton = z ? QStringLiteral("Command6") : QStringLiteral("Command13556");
    Robot* robot = robot_;
    const bool pedido = espejo_->Pedir(robot, boton, [robot, z] {
        if (z)
            robot->Command6_Click();
        else
            robot->Command13556_Click();
    });
    if (!pedido)
        qCInfo(lcSupervisor).noquote() << "solicitud de cierre descartada:" << boton
                                       << (espejo_->EnCurso(boton) ? "ya hay uno pedido" : "deshabilitado");
}
