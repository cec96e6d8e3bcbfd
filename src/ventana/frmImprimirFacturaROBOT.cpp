#include "ventana/frmImprimirFacturaROBOT.h"

#include "ventana/DelegadoControl.h"
#include "ventana/IconoBandeja.h"
#include "ventana/ImagenesLed.h"
#include "ventana/Led.h"
#include "ventana/OpcionTarea.h"
#include "motor/Pantalla.h"
#include "ventana/ReglaLeds.h"
#include "motor/Robot.h"

#include <QApplication>
#include <QButtonGroup>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QFontDatabase>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>

namespace
{
const QColor kColorFondo(0xE0, 0xE0, 0xE0);

// The buttons that wait while a request of the operator is in the robot's
// hands: the switched operator buttons, the status requests and the
// options panel's two.
QStringList BotonesEnEspera()
{
    return Pantalla::BotonesOperador() + QStringList{QStringLiteral("Command1"),
                                                     QStringLiteral("Command8"),
                                                     QStringLiteral("Command9")};
}

void PintarFondo(QWidget* w, const QColor& color)
{
    // Buttons fill with the Button role unless told otherwise.
    w->setBackgroundRole(QPalette::Window);
    QPalette p = w->palette();
    p.setColor(QPalette::Window, color);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

QLabel* Rotulo(const QString& texto)
{
    auto* l = new QLabel(texto);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return l;
}
} // namespace

frmImprimirFacturaROBOT::frmImprimirFacturaROBOT(Robot& robot, QWidget* parent)
    : QMainWindow(parent), robot_(robot), bandeja_(new IconoBandeja(*this))
{
    setObjectName(QStringLiteral("frmImprimirFacturaROBOT"));
    setWindowTitle(QString::fromUtf8(kTitulo));
    setWindowIcon(ImagenesLed::Icono());
    PintarFondo(this, kColorFondo);

    auto* central = new QWidget;
    auto* raiz = new QVBoxLayout(central);
    raiz->setContentsMargins(8, 6, 8, 4);
    raiz->setSpacing(6);
    alarma_ = new QLabel;
    alarma_->setObjectName(QStringLiteral("AvisoAlarma"));
    alarma_->setWordWrap(true);
    alarma_->setStyleSheet(QStringLiteral("background:#d63939;color:white;font-weight:bold;padding:6px;"));
    alarma_->hide();
    raiz->addWidget(alarma_);
    raiz->addWidget(ConstruirDatos());

    auto* medio = new QHBoxLayout;
    medio->setSpacing(8);
    medio->addWidget(ConstruirComunicacion(), 3);
    pendientes_ = ConstruirPendientes();
    medio->addWidget(pendientes_, 2);
    QWidget* opciones = ConstruirOpciones();
    medio->addWidget(opciones, 2);
    raiz->addLayout(medio, 1);

    auto* abajo = new QHBoxLayout;
    abajo->setSpacing(8);
    abajo->addWidget(ConstruirLeds());
    abajo->addWidget(ConstruirBotones(), 1);
    raiz->addLayout(abajo);
    setCentralWidget(central);

    estadoRobot_ = new QLabel;
    estadoRobot_->setObjectName(QStringLiteral("EstadoRobot"));
    estadoPedido_ = new QLabel;
    // A long notice must not widen the window.
    estadoPedido_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    statusBar()->addWidget(estadoPedido_, 1);
    statusBar()->addPermanentWidget(estadoRobot_);

    MostrarModelo();
    Conectar();
    resize(1000, 700);
}

QListWidget* frmImprimirFacturaROBOT::NuevaLista(const QString& nombre)
{
    auto* l = new QListWidget;
    l->setObjectName(nombre);
    l->setSelectionMode(QAbstractItemView::SingleSelection);
    l->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    return l;
}

QPushButton* frmImprimirFacturaROBOT::NuevoBoton(const QString& nombre, const QString& texto,
                                                 const QString& ayuda)
{
    auto* b = new QPushButton(texto);
    b->setObjectName(nombre);
    if (!ayuda.isEmpty())
        b->setToolTip(ayuda);
    b->setAutoDefault(false);
    return b;
}

QWidget* frmImprimirFacturaROBOT::ConstruirDatos()
{
    auto* datos = new QFrame;
    datos->setFrameShape(QFrame::StyledPanel);
    auto* g = new QGridLayout(datos);
    g->setContentsMargins(8, 4, 8, 4);
    g->setHorizontalSpacing(6);
    g->setVerticalSpacing(2);
    // Label and value pairs: the printer on the first row, its last
    // documents on the second.
    const QList<std::pair<int, QString>> pares{
        {0, QStringLiteral("Puerto: ")},   {1, QStringLiteral("Serial: ")},
        {2, QStringLiteral("Fecha: ")},    {4, QStringLiteral("Última Factura: ")},
        {5, QStringLiteral("Último Z: ")}, {6, QStringLiteral("Última Nota de C: ")}};
    QFont negrita = font();
    negrita.setBold(true);
    for (qsizetype k = 0; k < pares.size(); ++k) {
        const auto& [indice, rotulo] = pares.at(k);
        auto* valor = new QLabel;
        valor->setObjectName(QStringLiteral("L%1").arg(indice));
        valor->setFont(negrita);
        valor->setTextInteractionFlags(Qt::TextSelectableByMouse);
        valor->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("00000000")) + 16);
        const int fila = int(k / 3);
        const int columna = int(k % 3) * 2;
        g->addWidget(Rotulo(rotulo), fila, columna);
        g->addWidget(valor, fila, columna + 1);
    }
    // L(3) exists in the design but shows nothing.
    auto* l3 = new QLabel(datos);
    l3->setObjectName(QStringLiteral("L3"));
    l3->hide();
    // The printer's date is shown once the printer has told it.
    datos->findChild<QLabel*>(QStringLiteral("L2"))->hide();
    for (int c : {1, 3, 5})
        g->setColumnStretch(c, 1);
    return datos;
}

QWidget* frmImprimirFacturaROBOT::ConstruirComunicacion()
{
    auto* tab = new QTabWidget;
    tab->setObjectName(QStringLiteral("SSTab1"));
    tab->setDocumentMode(false);

    auto* impresora = new QWidget;
    auto* v = new QVBoxLayout(impresora);
    v->setContentsMargins(6, 6, 6, 6);
    v->setSpacing(2);
    const QFont fija = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    // Commands above replies, as the operator reads an exchange.
    for (const auto& [nombre, rotulo, estirar] :
         {std::tuple{QStringLiteral("List2"), QStringLiteral("Enviado: "), 2},
          std::tuple{QStringLiteral("List1"), QStringLiteral("Recibido: "), 3}}) {
        auto* l = NuevaLista(nombre);
        l->setFont(fija);
        l->setItemDelegate(new DelegadoControl(l));
        // A double click anywhere, on an entry or not, copies the selection.
        l->viewport()->installEventFilter(this);
        auto* etiqueta = new QLabel(rotulo);
        etiqueta->setBuddy(l);
        v->addWidget(etiqueta);
        v->addWidget(l, estirar);
    }
    tab->addTab(impresora, QStringLiteral("Impresora"));

    auto* pizarra = new QTextEdit;
    pizarra->setObjectName(QStringLiteral("Pizarra"));
    pizarra->setReadOnly(true);
    tab->addTab(pizarra, QStringLiteral("Servidor"));
    return tab;
}

QWidget* frmImprimirFacturaROBOT::ConstruirPendientes()
{
    auto* panel = new QWidget;
    panel->setObjectName(QStringLiteral("Pendientes"));
    auto* v = new QVBoxLayout(panel);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(2);

    auto* filtros = new QHBoxLayout;
    const QStringList captions{QStringLiteral("solo facturas generales"),
                               QStringLiteral("solo facturas locales"), QStringLiteral("todas")};
    for (int i = 0; i < 3; ++i) {
        auto* o = new QRadioButton(captions.at(i));
        o->setObjectName(QStringLiteral("Option%1").arg(i + 1));
        PintarFondo(o, kColorFondo);
        // Every choice only refreshes the lists; they show everything.
        o->setChecked(i == 2);
        connect(o, &QRadioButton::clicked, this, [this] {
            QMetaObject::invokeMethod(&robot_, &Robot::Option_Click, Qt::QueuedConnection);
        });
        filtros->addWidget(o);
    }
    filtros->addStretch();
    v->addLayout(filtros);

    const QList<std::pair<QString, QString>> listas{
        {QStringLiteral("DBList2"), QStringLiteral("Listado de Facturas pendientes por impresión")},
        {QStringLiteral("DBList1"), QStringLiteral("Listado de Notas pendientes por impresión")},
        {QStringLiteral("DBList3"),
         QStringLiteral("Listado de Documentos No Fiscales pendientes por Impresión")}};
    for (const auto& [nombre, rotulo] : listas) {
        auto* l = NuevaLista(nombre);
        auto* etiqueta = new QLabel(rotulo);
        etiqueta->setObjectName(QStringLiteral("Titulo") + nombre);
        etiqueta->setBuddy(l);
        v->addSpacing(4);
        v->addWidget(etiqueta);
        // Invoices are printed first and most often: their list gets the room.
        v->addWidget(l, nombre == QLatin1String("DBList2") ? 2 : 1);
    }
    return panel;
}

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

    auto nuevaLinea = [](const QString& nombre) {
        auto* e = new QLineEdit;
        e->setObjectName(nombre);
        return e;
    };
    auto nuevoCombo = [](const QString& nombre) {
        auto* c = new QComboBox;
        c->setObjectName(nombre);
        c->addItems({"1", "2", "3", "4", "5"});
        return c;
    };
    auto nuevaFecha = [](const QString& nombre) {
        auto* d = new QDateEdit(QDate::currentDate());
        d->setObjectName(nombre);
        d->setCalendarPopup(true);
        return d;
    };
    auto nuevoZ = [this, &nuevaLinea](const QString& nombre) {
        QLineEdit* e = nuevaLinea(nombre);
        e->setMaxLength(8);
        e->setFixedWidth(fontMetrics().horizontalAdvance(QStringLiteral("00000000")) + 16);
        // The key filter explains a refused key; the validator also keeps
        // pasted text to digits.
        e->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), e));
        e->installEventFilter(this);
        return e;
    };

    // Header and footer lines: the line number, then the text.
    const QList<std::tuple<int, QString, QString>> lineas{
        {2, QStringLiteral("Combo1"), QStringLiteral("Encabezado")},
        {3, QStringLiteral("Combo2"), QString::fromUtf8("Pié")}};
    for (const auto& [i, combo, texto] : lineas) {
        g->addWidget(opciones.at(i), i, 0);
        g->addWidget(nuevoCombo(combo), i, 1);
        QLineEdit* e = nuevaLinea(texto);
        e->setMinimumWidth(120);
        g->addWidget(e, i, 2);
    }

    auto* ini = nuevaFecha(QStringLiteral("Ini"));
    auto* fini = nuevaFecha(QStringLiteral("Fini"));
    opciones.at(4)->Incrustar(ini);
    opciones.at(6)->Incrustar(nuevoZ(QStringLiteral("Zinic")));
    QLineEdit* zfinic = nuevoZ(QStringLiteral("Zfinic"));

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

    auto fila = [&](int i, QWidget* despues) {
        auto* h = new QHBoxLayout;
        h->setSpacing(4);
        h->addWidget(opciones.at(i));
        if (despues)
            h->addWidget(despues);
        h->addStretch();
        g->addLayout(h, i, 0, 1, 3);
    };
    fila(0, nullptr);
    fila(1, nullptr);
    fila(4, fini);
    fila(5, nullptr);
    fila(6, zfinic);
    fila(7, rango7);
    fila(8, rango8);
    g->setColumnStretch(2, 1);
    return panel;
}

QWidget* frmImprimirFacturaROBOT::ConstruirLeds()
{
    auto* frame = new QGroupBox(QStringLiteral("Estado de la impresora"));
    frame->setObjectName(QStringLiteral("Frame2"));
    PintarFondo(frame, kColorFondo);
    auto* g = new QGridLayout(frame);
    g->setHorizontalSpacing(6);
    g->setVerticalSpacing(3);

    auto* regla = new ReglaLeds;
    g->addWidget(regla, 0, 1);
    // The lamp rows sit on the system's window colour, as in the design.
    const QColor fondoFilas = QApplication::palette().color(QPalette::Base);
    const QList<std::tuple<FilaLed, QString, QString>> filas{
        {FilaLed::EF, QStringLiteral("FF"), QStringLiteral("LEF: ")},
        {FilaLed::EI, QStringLiteral("FFF"), QStringLiteral("LEI: ")}};
    int r = 1;
    for (const auto& [fila, nombre, rotulo] : filas) {
        auto* caja = new QWidget;
        caja->setObjectName(nombre);
        PintarFondo(caja, fondoFilas);
        auto* h = new QHBoxLayout(caja);
        h->setContentsMargins(4, 3, 4, 3);
        h->setSpacing(4);
        for (int i = 0; i < 16; ++i) {
            auto* led = new Led(fila, i);
            leds_.append(led);
            h->addWidget(led);
        }
        g->addWidget(Rotulo(rotulo), r, 0);
        g->addWidget(caja, r, 1);
        ++r;
    }
    regla->PonerColumnas(QList<QWidget*>(leds_.begin(), leds_.begin() + 16));
    return frame;
}

QWidget* frmImprimirFacturaROBOT::ConstruirBotones()
{
    auto* panel = new QWidget;
    auto* g = new QGridLayout(panel);
    g->setContentsMargins(0, 8, 0, 0);
    g->setSpacing(6);
    struct Boton {
        QString nombre, texto, ayuda;
        void (Robot::*accion)();
    };
    const QString ayudaCerrar = QStringLiteral("Haga click aquí para cerrar el formulario");
    const QList<Boton> botones{
        {"Command13556", "Cierre X", "Haga click aquí para imprimir el cierre parcial",
         &Robot::Command13556_Click},
        {"Command6", "Cierre Z", "Haga click aquí para imprimir el cierre diario",
         &Robot::Command6_Click},
        {"Command13", "Estado", "Haga click aquí para consultar el estado de la impresora",
         &Robot::Command13_Click},
        {"Command14", "Resetear", "Haga click aquí para aplicar un Reset a la impresora",
         &Robot::Command14_Click},
        {"Command5", "Estatus", "Haga click aquí para imprimir status de la impresora", nullptr},
        {"Command1", "Command1", QString(), &Robot::Command1_Click},
        {"Command7", "Opciones", "Haga click aquí para ver las opciones", &Robot::Command7_Click},
        {"Command4", "Minimizar", ayudaCerrar, nullptr},
    };
    for (qsizetype i = 0; i < botones.size(); ++i) {
        const Boton& b = botones.at(i);
        QPushButton* w = NuevoBoton(b.nombre, b.texto, b.ayuda);
        if (b.accion)
            connect(w, &QPushButton::clicked, this, [this, a = b.accion] { Pedir(a); });
        g->addWidget(w, int(i / 4), int(i % 4));
    }
    auto* detener = NuevoBoton(QStringLiteral("Command3"), QStringLiteral("Detener"),
                               QStringLiteral("Haga click aquí para Detener/Iniciar"));
    auto* cerrar = NuevoBoton(QStringLiteral("Command10"), QStringLiteral("Cerrar"), ayudaCerrar);
    g->addWidget(detener, 2, 0, 1, 2);
    g->addWidget(cerrar, 2, 2, 1, 2);
    connect(detener, &QPushButton::clicked, this, [this] { Pedir(&Robot::Command3_Click); });
    connect(cerrar, &QPushButton::clicked, this, &QWidget::close);
    // Minimising goes through the window state, as the title bar's button does.
    connect(panel->findChild<QPushButton*>(QStringLiteral("Command4")), &QPushButton::clicked, this,
            &QWidget::showMinimized);
    return panel;
}

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
