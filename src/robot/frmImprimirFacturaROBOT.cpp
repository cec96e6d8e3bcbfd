#include "frmImprimirFacturaROBOT.h"

#include "Pantalla.h"
#include "Robot.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

frmImprimirFacturaROBOT::frmImprimirFacturaROBOT(Robot& robot, QWidget* parent)
    : QMainWindow(parent), robot_(robot)
{
    setObjectName(QStringLiteral("frmImprimirFacturaROBOT"));
    setWindowTitle(QStringLiteral("Corvena - Rovend - FISCAL  V.3.0.6"));
    Construir();
    Conectar();
}

QListWidget* frmImprimirFacturaROBOT::NuevaLista(const QString& nombre)
{
    auto* l = new QListWidget;
    l->setObjectName(nombre);
    return l;
}

void frmImprimirFacturaROBOT::Construir()
{
    auto* central = new QWidget;
    auto* raiz = new QVBoxLayout(central);

    auto* etiquetas = new QGridLayout;
    const QStringList nombres{"Puerto: ",      "Serial: ",   "Fecha: ",           "",
                              "Última Factura: ", "Último Z: ", "Última Nota de C: "};
    const Pantalla& p = robot_.pantalla();
    for (int i = 0; i < 7; ++i) {
        if (nombres.at(i).isEmpty())
            continue;
        auto* valor = new QLabel(p.Etiqueta(i));
        valor->setObjectName(QStringLiteral("L%1").arg(i));
        etiquetas->addWidget(new QLabel(nombres.at(i)), i / 4, (i % 4) * 2);
        etiquetas->addWidget(valor, i / 4, (i % 4) * 2 + 1);
    }
    raiz->addLayout(etiquetas);

    raiz->addWidget(new QLabel(QStringLiteral("Enviado: ")));
    raiz->addWidget(NuevaLista(QStringLiteral("List2")));
    raiz->addWidget(new QLabel(QStringLiteral("Recibido: ")));
    raiz->addWidget(NuevaLista(QStringLiteral("List1")));

    const QList<QPair<QString, QString>> pendientes{
        {"DBList2", "Listado de Facturas pendientes por impresión"},
        {"DBList1", "Listado de Notas pendientes por impresión"},
        {"DBList3", "Listado de Documentos No Fiscales pendientes por Impresión"}};
    for (const auto& [nombre, titulo] : pendientes) {
        auto* caja = new QGroupBox(titulo);
        auto* capa = new QVBoxLayout(caja);
        capa->addWidget(NuevaLista(nombre));
        raiz->addWidget(caja);
    }

    auto* botones = new QHBoxLayout;
    auto* detener = new QPushButton(QStringLiteral("Detener"));
    detener->setObjectName(QStringLiteral("Command3"));
    detener->setToolTip(QStringLiteral("Haga click aquí para Detener/Iniciar"));
    auto* cerrar = new QPushButton(QStringLiteral("Cerrar"));
    cerrar->setObjectName(QStringLiteral("Command10"));
    cerrar->setToolTip(QStringLiteral("Haga click aquí para cerrar el formulario"));
    botones->addWidget(detener);
    botones->addStretch();
    botones->addWidget(cerrar);
    raiz->addLayout(botones);

    connect(detener, &QPushButton::clicked, this, [this] { Pedir(&Robot::Command3_Click); });
    connect(cerrar, &QPushButton::clicked, this, &QWidget::close);
    setCentralWidget(central);
    resize(1000, 740);
}

void frmImprimirFacturaROBOT::closeEvent(QCloseEvent* e)
{
    // The window stays until the robot has finished its document; the
    // application quits when the robot reports it is done.
    e->ignore();
    setEnabled(false);
    setWindowTitle(windowTitle() + QStringLiteral(" - cerrando..."));
    Q_EMIT Cerrando();
}

void frmImprimirFacturaROBOT::Pedir(void (Robot::*accion)())
{
    QMetaObject::invokeMethod(&robot_, accion, Qt::QueuedConnection);
}

void frmImprimirFacturaROBOT::Conectar()
{
    Pantalla* p = &robot_.pantalla();
    connect(p, &Pantalla::ListaAgregada, this, [this](const QString& lista, const QString& texto) {
        if (auto* l = findChild<QListWidget*>(lista))
            l->addItem(texto);
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
        if (auto* l = findChild<QLabel*>(QStringLiteral("L%1").arg(i)))
            l->setText(texto);
    });
    connect(p, &Pantalla::HabilitadoCambiado, this, [this](const QString& control, bool si) {
        if (auto* w = findChild<QWidget*>(control))
            w->setEnabled(si);
    });
    connect(p, &Pantalla::TituloCambiado, this, [this](const QString& control, const QString& t) {
        if (auto* b = findChild<QPushButton*>(control))
            b->setText(t);
    });
    connect(p, &Pantalla::Mensaje, this, [this](const QString& texto) {
        QMessageBox::information(this, QStringLiteral("Rovend"), texto);
    });
}
