#pragma once

#include "motor/TareaOpciones.h"

#include <QHash>
#include <QMainWindow>
#include <functional>
#include <utility>

class IconoBandeja;
class Led;
class OpcionTarea;
class QButtonGroup;
class QColor;
class QDateEdit;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class Robot;

// The robot's main window: a view of Pantalla. It builds the controls under
// their designer names, applies every change of the model to the widget of
// the same objectName and forwards clicks to the robot thread as queued
// calls. It never talks to the printer or the databases itself.
//
// The window must outlive the robot's thread: a request tells the window
// when the robot has handled it.
class frmImprimirFacturaROBOT : public QMainWindow
{
    Q_OBJECT
  public:
    explicit frmImprimirFacturaROBOT(Robot& robot, QWidget* parent = nullptr);

    // What the options panel holds now: the selected task and its fields.
    TareaOpciones OpcionesPanel() const;
    IconoBandeja& Bandeja() { return *bandeja_; }
    // Documents left waiting: a banner over the window and, from the tray,
    // a message; an empty text when it ends.
    void MostrarAlarma(bool activa, const QString& texto);

    static constexpr char kTitulo[] = "Corvena - Rovend - FISCAL  V.3.0.6";
    static constexpr char kSoloNumeros[] = "Inserte solo números en esta casilla.";

  Q_SIGNALS:
    // The operator closed the window: the robot must finish and shut down.
    void Cerrando();

  protected:
    void closeEvent(QCloseEvent* e) override;
    void changeEvent(QEvent* e) override;
    bool eventFilter(QObject* objeto, QEvent* e) override;

  private:
    // Built in frmImprimirFacturaROBOT.cpp, the options panel in
    // frmImprimirFacturaROBOTOpciones.cpp.
    QWidget* ConstruirDatos();
    QWidget* ConstruirComunicacion();
    QWidget* ConstruirPendientes();
    QWidget* ConstruirOpciones();
    QWidget* ConstruirTareas();
    QList<OpcionTarea*> NuevasTareas();
    QLineEdit* NuevoCampoZ(const QString& nombre);
    // The labels of the two tasks that repeat the report's dates, kept
    // up to date with them.
    std::pair<QLabel*, QLabel*> RangosFechas(QDateEdit* ini, QDateEdit* fini);
    QWidget* ConstruirLeds();
    QWidget* ConstruirBotones();
    QListWidget* NuevaLista(const QString& nombre);
    QPushButton* NuevoBoton(const QString& nombre, const QString& texto,
                            const QString& ayuda = QString());
    // The window's grey, shared by its panels and some options.
    static const QColor kColorFondo;
    static void PintarFondo(QWidget* w, const QColor& color);

    // The rest in frmImprimirFacturaROBOTModelo.cpp.
    void MostrarModelo();
    void Conectar();

    // A queued call into the robot thread; the operator's buttons wait
    // until the robot has handled it, so a second click cannot queue the
    // same closing twice behind a document being printed.
    void Pedir(void (Robot::*accion)());
    void PedirTarea(const TareaOpciones& tarea);
    // Queues an action into the robot thread, with the window waiting for it.
    void Encolar(const std::function<void(Robot&)>& accion);
    void PedidoTerminado();
    void AvisarEspera();
    void AplicarHabilitado(const QString& control);

    void MostrarMensaje(const QString& texto);
    void CopiarEntrada(QListWidget* lista);
    void PonerLeds(const QList<int>& colores);
    void PonerTimer(bool activo);
    void PonerVisible(const QString& control, bool visible);
    void PonerTitulo(const QString& control, const QString& titulo);
    void RestaurarVentana();

    Robot& robot_;
    IconoBandeja* bandeja_;
    QList<Led*> leds_; // EF(0..15), then EI(0..15)
    QButtonGroup* tareas_ = nullptr;
    QWidget* pendientes_ = nullptr;
    QLabel* estadoRobot_ = nullptr;
    QLabel* estadoPedido_ = nullptr;
    QLabel* alarma_ = nullptr;
    QHash<QString, bool> habilitado_; // what the model last said
    int pedidos_ = 0;                 // requests the robot has not handled yet
    bool cerrando_ = false;
};
