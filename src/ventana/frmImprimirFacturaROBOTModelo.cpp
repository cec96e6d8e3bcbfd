#include "ventana/frmImprimirFacturaROBOT.h"

#include "motor/Pantalla.h"
#include "motor/Robot.h"
#include "ventana/IconoBandeja.h"
#include "ventana/Led.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QTimer>

// The window at work: the model's changes applied to the widgets of the same
// name, the operator's requests queued into the robot thread, and the
// window's own events.

namespace
{
// The buttons that wait while a request of the operator is in the robot's
// hands: the switched operator buttons, the status requests and the
// options panel's two.
QStringList BotonesEnEspera()
{
    return Pantalla::BotonesOperador() + QStringList{QStringLiteral("Command1"),
                                                     QStringLiteral("Command8"),
                                                     QStringLiteral("Command9")};
}
} // namespace

void frmImprimirFacturaROBOT::MostrarModelo()
{
    // Read before the robot's thread starts; afterwards only signals arrive.
    const Pantalla& p = robot_.pantalla();
    for (int i = 0; i < 7; ++i)
        if (auto* l = findChild<QLabel*>(QStringLiteral("L%1").arg(i)))
            l->setText(p.Etiqueta(i));
    QStringList controles = Pantalla::BotonesOperador();
    controles << QStringLiteral("Command10") << QStringLiteral("Command8");
    for (const QString& c : controles) {
        habilitado_.insert(c, p.Habilitado(c));
        AplicarHabilitado(c);
    }
    PonerTitulo(QStringLiteral("Command3"), p.Titulo(QStringLiteral("Command3")));
    for (const QString& lista : {QStringLiteral("List1"), QStringLiteral("List2")})
        if (auto* l = findChild<QListWidget*>(lista))
            l->addItems(p.Lista(lista));
    for (const QString& lista :
         {QStringLiteral("DBList1"), QStringLiteral("DBList2"), QStringLiteral("DBList3")})
        if (auto* l = findChild<QListWidget*>(lista))
            l->addItems(p.Pendientes(lista));
    QList<int> colores;
    for (ColorLed c : p.LedsActuales())
        colores.append(int(c));
    PonerLeds(colores);
    PonerTimer(p.Timer());
    PonerVisible(QStringLiteral("Frame1"), p.Visible(QStringLiteral("Frame1")));
}

void frmImprimirFacturaROBOT::Conectar()
{
    Pantalla* p = &robot_.pantalla();
    connect(p, &Pantalla::ListaAgregada, this, [this](const QString& lista, const QString& texto) {
        if (auto* l = findChild<QListWidget*>(lista)) {
            l->addItem(texto);
            l->scrollToBottom();
        }
    });
    connect(p, &Pantalla::ListaLimpiada, this, [this](const QString& lista) {
        if (auto* l = findChild<QListWidget*>(lista))
            l->clear();
    });
    connect(p, &Pantalla::PendientesCambiados, this,
            [this](const QString& lista, const QStringList& filas) {
                if (auto* l = findChild<QListWidget*>(lista)) {
                    l->clear();
                    l->addItems(filas);
                }
            });
    connect(p, &Pantalla::EtiquetaCambiada, this, [this](int i, const QString& texto) {
        if (auto* l = findChild<QLabel*>(QStringLiteral("L%1").arg(i))) {
            l->setText(texto);
            if (i == 2)
                l->show();
        }
    });
    connect(p, &Pantalla::HabilitadoCambiado, this, [this](const QString& control, bool si) {
        habilitado_.insert(control, si);
        AplicarHabilitado(control);
    });
    connect(p, &Pantalla::LedsCambiados, this, &frmImprimirFacturaROBOT::PonerLeds);
    connect(p, &Pantalla::TituloCambiado, this, &frmImprimirFacturaROBOT::PonerTitulo);
    connect(p, &Pantalla::VisibleCambiado, this, &frmImprimirFacturaROBOT::PonerVisible);
    connect(p, &Pantalla::TimerCambiado, this, &frmImprimirFacturaROBOT::PonerTimer);
    connect(p, &Pantalla::Mensaje, this, &frmImprimirFacturaROBOT::MostrarMensaje);
    connect(p, &Pantalla::VentanaRestaurada, this, &frmImprimirFacturaROBOT::RestaurarVentana);
}

void frmImprimirFacturaROBOT::Pedir(void (Robot::*accion)())
{
    Encolar([accion](Robot& robot) { (robot.*accion)(); });
}

void frmImprimirFacturaROBOT::PedirTarea(const TareaOpciones& tarea)
{
    // "Ejecutar" goes grey at once; the robot enables it again when the
    // task has ended.
    Encolar([tarea](Robot& robot) { robot.Command8_Click(tarea); });
}

void frmImprimirFacturaROBOT::Encolar(const std::function<void(Robot&)>& accion)
{
    ++pedidos_;
    for (const QString& b : BotonesEnEspera())
        AplicarHabilitado(b);
    AvisarEspera();
    Robot* robot = &robot_;
    frmImprimirFacturaROBOT* ventana = this;
    // Runs in the robot's thread; the window's answer queues behind the
    // model changes the action made, so they are all shown when it arrives.
    QMetaObject::invokeMethod(
        robot,
        [robot, accion, ventana] {
            accion(*robot);
            QMetaObject::invokeMethod(ventana, &frmImprimirFacturaROBOT::PedidoTerminado,
                                      Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void frmImprimirFacturaROBOT::AvisarEspera()
{
    // Only a request that has to wait (behind a document being printed)
    // is worth a word; a quick one would just flicker.
    QTimer::singleShot(400, this, [this] {
        if (pedidos_ > 0 && !cerrando_)
            estadoPedido_->setText(
                QStringLiteral("La orden espera a que el robot termine lo que está haciendo..."));
    });
}

void frmImprimirFacturaROBOT::PedidoTerminado()
{
    if (pedidos_ > 0)
        --pedidos_;
    if (pedidos_ > 0)
        return;
    if (!cerrando_)
        estadoPedido_->clear();
    for (const QString& b : BotonesEnEspera())
        AplicarHabilitado(b);
}

void frmImprimirFacturaROBOT::AplicarHabilitado(const QString& control)
{
    QWidget* w = findChild<QWidget*>(control);
    if (!w)
        return;
    const bool si = habilitado_.value(control, true);
    w->setEnabled(si && !(pedidos_ > 0 && BotonesEnEspera().contains(control)));
}

void frmImprimirFacturaROBOT::MostrarMensaje(const QString& texto)
{
    // Modal but not a nested event loop: the model's later changes keep
    // arriving while the box is open.
    auto* caja = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("Rovend"), texto,
                                 QMessageBox::Ok, this);
    caja->setAttribute(Qt::WA_DeleteOnClose);
    caja->setWindowModality(Qt::ApplicationModal);
    caja->show();
}

void frmImprimirFacturaROBOT::CopiarEntrada(QListWidget* lista)
{
    const QList<QListWidgetItem*> elegidos = lista->selectedItems();
    QClipboard* portapapeles = QGuiApplication::clipboard();
    portapapeles->clear();
    portapapeles->setText(elegidos.isEmpty() ? QString() : elegidos.first()->text());
}

void frmImprimirFacturaROBOT::PonerLeds(const QList<int>& colores)
{
    for (qsizetype i = 0; i < leds_.size() && i < colores.size(); ++i)
        leds_.at(i)->PonerColor(ColorLed(colores.at(i)));
}

void frmImprimirFacturaROBOT::PonerTimer(bool activo)
{
    estadoRobot_->setText(activo ? QStringLiteral("Robot en marcha")
                                 : QStringLiteral("Robot detenido"));
    QPalette p = estadoRobot_->palette();
    p.setColor(QPalette::WindowText, activo ? QColor(0x1e, 0x7b, 0x2c) : QColor(0xb0, 0x2a, 0x20));
    estadoRobot_->setPalette(p);
}

void frmImprimirFacturaROBOT::PonerVisible(const QString& control, bool visible)
{
    QWidget* w = findChild<QWidget*>(control);
    if (!w)
        return;
    // The options panel takes the place of the pending lists; polling is
    // off while it is open, so nothing is printed from them meanwhile. One
    // goes before the other comes, or the window would widen to hold both.
    if (control == QLatin1String("Frame1") && visible)
        pendientes_->hide();
    w->setVisible(visible);
    if (control == QLatin1String("Frame1") && !visible)
        pendientes_->show();
}

void frmImprimirFacturaROBOT::PonerTitulo(const QString& control, const QString& titulo)
{
    if (control == objectName()) {
        setWindowTitle(cerrando_ ? titulo + QStringLiteral(" - cerrando...") : titulo);
        return;
    }
    if (auto* b = findChild<QAbstractButton*>(control))
        b->setText(titulo);
}

void frmImprimirFacturaROBOT::RestaurarVentana()
{
    if (bandeja_->EnBandeja())
        bandeja_->Restaurar();
    else if (isMinimized())
        showNormal();
}

bool frmImprimirFacturaROBOT::eventFilter(QObject* objeto, QEvent* e)
{
    if (e->type() == QEvent::MouseButtonDblClick) {
        if (auto* lista = qobject_cast<QListWidget*>(objeto->parent());
            lista && (lista->objectName() == QLatin1String("List1") ||
                      lista->objectName() == QLatin1String("List2")))
            // After the list has handled the click, so the selection is current.
            QTimer::singleShot(0, lista, [this, lista] { CopiarEntrada(lista); });
        return false;
    }
    if (e->type() == QEvent::KeyPress && (objeto->objectName() == QLatin1String("Zinic") ||
                                          objeto->objectName() == QLatin1String("Zfinic"))) {
        const auto* k = static_cast<QKeyEvent*>(e);
        // Keys that type nothing (arrows, Delete, focus keys) are not filtered.
        if (k->text().isEmpty() || k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab ||
            k->key() == Qt::Key_Delete)
            return false;
        const QChar c = k->text().at(0);
        if (c == QChar(8) || (c >= QLatin1Char('0') && c <= QLatin1Char('9')))
            return false;
        MostrarMensaje(QString::fromUtf8(kSoloNumeros));
        return true;
    }
    return QMainWindow::eventFilter(objeto, e);
}

void frmImprimirFacturaROBOT::changeEvent(QEvent* e)
{
    QMainWindow::changeEvent(e);
    if (e->type() != QEvent::WindowStateChange || !isMinimized() || bandeja_->EnBandeja())
        return;
    // Hidden after the state change has been handled, not inside it.
    QTimer::singleShot(0, this, [this] {
        if (isMinimized() && !bandeja_->EnBandeja())
            bandeja_->Minimizar();
    });
}

void frmImprimirFacturaROBOT::closeEvent(QCloseEvent* e)
{
    // The window stays until the robot has finished its document; the
    // application quits when the robot reports it is done.
    e->ignore();
    if (!cerrando_) {
        cerrando_ = true;
        centralWidget()->setEnabled(false);
        setWindowTitle(windowTitle() + QStringLiteral(" - cerrando..."));
        estadoPedido_->setText(
            QStringLiteral("Cerrando: el robot termina el documento en curso y se detiene."));
    }
    Q_EMIT Cerrando();
}

void frmImprimirFacturaROBOT::MostrarAlarma(bool activa, const QString& texto)
{
    alarma_->setText(texto);
    alarma_->setVisible(activa);
    if (activa && bandeja_->Icono())
        bandeja_->Icono()->showMessage(QStringLiteral("Rovend"), texto, QSystemTrayIcon::Warning);
}
