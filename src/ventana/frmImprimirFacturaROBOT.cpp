#include "ventana/frmImprimirFacturaROBOT.h"

#include "motor/Pantalla.h"
#include "motor/Robot.h"
#include "ventana/DelegadoControl.h"
#include "ventana/IconoBandeja.h"
#include "ventana/ImagenesLed.h"
#include "ventana/Led.h"
#include "ventana/ReglaLeds.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QVBoxLayout>

// The window and its panels, built under their designer names. The options
// panel is built in frmImprimirFacturaROBOTOpciones.cpp; what the window does
// once built is in frmImprimirFacturaROBOTModelo.cpp.

const QColor frmImprimirFacturaROBOT::kColorFondo(0xE0, 0xE0, 0xE0);

namespace
{
QLabel* Rotulo(const QString& texto)
{
    auto* l = new QLabel(texto);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return l;
}
} // namespace

void frmImprimirFacturaROBOT::PintarFondo(QWidget* w, const QColor& color)
{
    // Buttons fill with the Button role unless told otherwise.
    w->setBackgroundRole(QPalette::Window);
    QPalette p = w->palette();
    p.setColor(QPalette::Window, color);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

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
    alarma_->setStyleSheet(
        QStringLiteral("background:#d63939;color:white;font-weight:bold;padding:6px;"));
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
