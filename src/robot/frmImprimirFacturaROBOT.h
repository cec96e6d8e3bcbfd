#pragma once

#include <QMainWindow>

class Robot;
class QListWidget;

// The robot's main window: a view of Pantalla. It builds the controls under
// their designer names, applies every change of the model to the widget of
// the same objectName and forwards clicks to the robot thread as queued calls.
class frmImprimirFacturaROBOT : public QMainWindow
{
    Q_OBJECT
public:
    explicit frmImprimirFacturaROBOT(Robot& robot, QWidget* parent = nullptr);

Q_SIGNALS:
    // The operator closed the window: the robot must finish and shut down.
    void Cerrando();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void Construir();
    void Conectar();
    void Pedir(void (Robot::*accion)());
    QListWidget* NuevaLista(const QString& nombre);

    Robot& robot_;
};
