#include "ventana/frmImprimirFacturaROBOT.h"

#include "motor/Robot.h"
#include "ventana/OpcionTarea.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

// The options panel: the tasks with their fields, its buttons, and what the
// operator has entered in it.

namespace
{
QLineEdit* NuevaLinea(const QString& nombre)
{
    auto* e = new QLineEdit;
    e->setObjectName(nombre);
    return e;
}

QComboBox* NuevoCombo(const QString& nombre)
{
    auto* c = new QComboBox;
    c->setObjectName(nombre);
    c->addItems({"1", "2", "3", "4", "5"});
    return c;
}

QDateEdit* NuevaFecha(const QString& nombre)
{
    auto* d = new QDateEdit(QDate::currentDate());
    d->setObjectName(nombre);
    d->setCalendarPopup(true);
    return d;
}

// A task on a row of its own: the option, the field that follows its
// caption, then the row's free room.
void FilaTarea(QGridLayout* g, int i, OpcionTarea* opcion, QWidget* despues)
{
    auto* h = new QHBoxLayout;
    h->setSpacing(4);
    h->addWidget(opcion);
    if (despues)
        h->addWidget(despues);
    h->addStretch();
    g->addLayout(h, i, 0, 1, 3);
}
} // namespace

QWidget* frmImprimirFacturaROBOT::ConstruirOpciones()
{
    auto* frame = new QGroupBox(QStringLiteral("Opciones"));
    frame->setObjectName(QStringLiteral("Frame1"));
    PintarFondo(frame, kColorFondo);
    auto* v = new QVBoxLayout(frame);
    v->addWidget(ConstruirTareas());
    v->addStretch();

    auto* botones = new QHBoxLayout;
    auto* ejecutar = NuevoBoton(QStringLiteral("Command8"), QStringLiteral("Ejecutar"),
                                QStringLiteral("Haga click aquí para ejecutar la tarea"));
    auto* continuar = NuevoBoton(QStringLiteral("Command9"), QStringLiteral("Continuar"),
                                 QStringLiteral("Haga click aquí para ver las opciones"));
    auto* temporal =
        NuevoBoton(QStringLiteral("Command37"), QStringLiteral("Direccionar Temporal Local"),
                   QStringLiteral("Haga click aquí para direccionar temporal"));
    auto* plantilla = NuevoBoton(QStringLiteral("Command2"), QStringLiteral("Plantilla"));
    plantilla->setEnabled(false); // nothing in the program enables it
    auto* cerrar = NuevoBoton(QStringLiteral("cmdCerrar"), QStringLiteral("Cerrar"));
    for (QPushButton* b : {ejecutar, continuar})
        botones->addWidget(b);
    botones->addStretch();
    for (QPushButton* b : {temporal, plantilla, cerrar})
        botones->addWidget(b);
    v->addLayout(botones);

    connect(ejecutar, &QPushButton::clicked, this, [this] { PedirTarea(OpcionesPanel()); });
    connect(continuar, &QPushButton::clicked, this, [this] { Pedir(&Robot::Command9_Click); });
    connect(cerrar, &QPushButton::clicked, this, &QWidget::close);
    frame->hide();
    return frame;
}

QWidget* frmImprimirFacturaROBOT::ConstruirTareas()
{
    auto* panel = new QGroupBox(QStringLiteral("Tareas"));
    panel->setObjectName(QStringLiteral("Tareas"));
    auto* g = new QGridLayout(panel);
    g->setVerticalSpacing(3);
    tareas_ = new QButtonGroup(panel);
    const QList<OpcionTarea*> opciones = NuevasTareas();

    // Header and footer lines: the line number, then the text.
    const QList<std::tuple<int, QString, QString>> lineas{
        {2, QStringLiteral("Combo1"), QStringLiteral("Encabezado")},
        {3, QStringLiteral("Combo2"), QString::fromUtf8("Pié")}};
    for (const auto& [i, combo, texto] : lineas) {
        g->addWidget(opciones.at(i), i, 0);
        g->addWidget(NuevoCombo(combo), i, 1);
        QLineEdit* e = NuevaLinea(texto);
        e->setMinimumWidth(120);
        g->addWidget(e, i, 2);
    }

    auto* ini = NuevaFecha(QStringLiteral("Ini"));
    auto* fini = NuevaFecha(QStringLiteral("Fini"));
    opciones.at(4)->Incrustar(ini);
    opciones.at(6)->Incrustar(NuevoCampoZ(QStringLiteral("Zinic")));
    QLineEdit* zfinic = NuevoCampoZ(QStringLiteral("Zfinic"));
    const auto [rango7, rango8] = RangosFechas(ini, fini);

    FilaTarea(g, 0, opciones.at(0), nullptr);
    FilaTarea(g, 1, opciones.at(1), nullptr);
    FilaTarea(g, 4, opciones.at(4), fini);
    FilaTarea(g, 5, opciones.at(5), nullptr);
    FilaTarea(g, 6, opciones.at(6), zfinic);
    FilaTarea(g, 7, opciones.at(7), rango7);
    FilaTarea(g, 8, opciones.at(8), rango8);
    g->setColumnStretch(2, 1);
    return panel;
}

// The nine task options, numbered in tareas_ as the robot knows them.
QList<OpcionTarea*> frmImprimirFacturaROBOT::NuevasTareas()
{
    const QStringList captions{
        QStringLiteral("Cortar papel"),
        QStringLiteral("Hacer avanzar el papel"),
        QStringLiteral("Establecer línea de encabezado "),
        QStringLiteral("Establecer línea de pié de página"),
        QStringLiteral(
            "Imprimir Reporte por Fechas desde                                     hasta"),
        QStringLiteral("Enviar documento no fiscal de prueba"),
        QStringLiteral("Imprimir Reporte Z desde el número                  al "),
        QStringLiteral("Imprimir Reporte Z por fecha desde"),
        QStringLiteral("Imprimir Reporte por mes desde ")};
    QList<OpcionTarea*> opciones;
    for (int i = 0; i < 9; ++i) {
        auto* o = new OpcionTarea(QStringLiteral("Tarea%1").arg(i), captions.at(i));
        if (i <= 4)
            PintarFondo(o, kColorFondo);
        tareas_->addButton(o, i);
        opciones.append(o);
    }
    return opciones;
}

QLineEdit* frmImprimirFacturaROBOT::NuevoCampoZ(const QString& nombre)
{
    QLineEdit* e = NuevaLinea(nombre);
    e->setMaxLength(8);
    e->setFixedWidth(fontMetrics().horizontalAdvance(QStringLiteral("00000000")) + 16);
    // The key filter explains a refused key; the validator also keeps
    // pasted text to digits.
    e->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), e));
    e->installEventFilter(this);
    return e;
}

std::pair<QLabel*, QLabel*> frmImprimirFacturaROBOT::RangosFechas(QDateEdit* ini, QDateEdit* fini)
{
    // The Z report by date and the monthly report use the same two dates;
    // their rows repeat them so the operator sees what will be asked.
    auto* rango7 = new QLabel;
    auto* rango8 = new QLabel;
    auto actualizarRangos = [ini, fini, rango7, rango8] {
        const QLocale l;
        const QString t = l.toString(ini->date(), QLocale::ShortFormat) +
                          QStringLiteral(" hasta ") +
                          l.toString(fini->date(), QLocale::ShortFormat);
        rango7->setText(t);
        rango8->setText(t);
    };
    for (QLabel* r : {rango7, rango8}) {
        r->setForegroundRole(QPalette::Dark);
        r->setToolTip(QStringLiteral("Las fechas de \"Imprimir Reporte por Fechas\""));
    }
    connect(ini, &QDateEdit::dateChanged, this, actualizarRangos);
    connect(fini, &QDateEdit::dateChanged, this, actualizarRangos);
    actualizarRangos();
    return {rango7, rango8};
}

TareaOpciones frmImprimirFacturaROBOT::OpcionesPanel() const
{
    TareaOpciones t;
    t.tarea = tareas_->checkedId();
    t.combo1 = findChild<QComboBox*>(QStringLiteral("Combo1"))->currentText();
    t.encabezado = findChild<QLineEdit*>(QStringLiteral("Encabezado"))->text();
    t.combo2 = findChild<QComboBox*>(QStringLiteral("Combo2"))->currentText();
    t.pie = findChild<QLineEdit*>(QString::fromUtf8("Pié"))->text();
    t.ini = findChild<QDateEdit*>(QStringLiteral("Ini"))->date();
    t.fini = findChild<QDateEdit*>(QStringLiteral("Fini"))->date();
    t.zinic = findChild<QLineEdit*>(QStringLiteral("Zinic"))->text();
    t.zfinic = findChild<QLineEdit*>(QStringLiteral("Zfinic"))->text();
    return t;
}
