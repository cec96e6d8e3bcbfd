#include "apoyo/BancoVentana.h"
#include "ventana/IconoBandeja.h"
#include "ventana/Led.h"
#include "impresora/Protocolo.h"
#include "ventana/frmImprimirFacturaROBOT.h"

#include <QApplication>
#include <QClipboard>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>

using namespace Protocolo;

namespace
{
QStringList Textos(const QListWidget* l)
{
    QStringList t;
    for (int i = 0; i < l->count(); ++i)
        t << l->item(i)->text();
    return t;
}

QMessageBox* CajaAbierta()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* caja = qobject_cast<QMessageBox*>(w); caja && caja->isVisible())
            return caja;
    return nullptr;
}
} // namespace

// Every test gets a fresh bench and the window on it; the robot runs in
// its own thread only where a test starts it.
class TstVentana : public QObject
{
    Q_OBJECT
    std::unique_ptr<BancoVentana> b;
    std::unique_ptr<frmImprimirFacturaROBOT> w;

    template <typename T = QWidget> T* Hijo(const QString& nombre) const
    {
        return w->findChild<T*>(nombre);
    }
    QPushButton* Boton(const QString& nombre) const { return Hijo<QPushButton>(nombre); }

  private Q_SLOTS:
    void init()
    {
        b = std::make_unique<BancoVentana>();
        QVERIFY(b->robot);
        w = std::make_unique<frmImprimirFacturaROBOT>(*b->robot);
    }
    void cleanup()
    {
        while (QMessageBox* caja = CajaAbierta())
            caja->done(QMessageBox::Ok);
        w.reset();
        b.reset();
    }

    void controles_data()
    {
        // Caption (text or title) and, when given, tooltip: one control of
        // each kind the window builds, and the captions kept as the original
        // has them (odd spacing, spelling, a shared tooltip).
        QTest::addColumn<QString>("nombre");
        QTest::addColumn<QString>("texto");
        QTest::addColumn<QString>("ayuda");
        const QString ninguna;
        const QList<std::tuple<QString, QString, QString>> filas{
            {"Command13556", "Cierre X", "Haga click aquí para imprimir el cierre parcial"},
            {"Command1", "Command1", ""},
            {"Command3", "Detener", "Haga click aquí para Detener/Iniciar"},
            {"Command4", "Minimizar", "Haga click aquí para cerrar el formulario"},
            {"Command9", "Continuar", "Haga click aquí para ver las opciones"},
            {"Tarea2", "Establecer línea de encabezado ", ninguna},
            {"Tarea4",
             "Imprimir Reporte por Fechas desde                                     hasta",
             ninguna},
            {"Label11", " 1    2   3   4   5    6   7    8   9  10  11 12 13 14 15  16", ninguna},
            {"L1", "Detectando...", ninguna},
            {"L5", "0000", ninguna},
            {"Frame1", "Opciones", ninguna},
            {"TituloDBList3", "Listado de Documentos No Fiscales pendientes por Impresión",
             ninguna},
            {"EF7", ninguna, "Verifcación de capacidad de memoria fiscal"},
            {"EI14", ninguna, "Verificación de disponibilidad de papel de impresón"}};
        for (const auto& [nombre, texto, ayuda] : filas)
            QTest::newRow(qPrintable(nombre)) << nombre << texto << ayuda;
    }
    void controles()
    {
        QFETCH(QString, nombre);
        QFETCH(QString, texto);
        QFETCH(QString, ayuda);
        const QObject* o = w->findChild<QObject*>(nombre);
        QVERIFY2(o, qPrintable(nombre));
        if (!texto.isNull())
            QCOMPARE(o->property(o->property("title").isValid() ? "title" : "text").toString(),
                     texto);
        if (!ayuda.isNull())
            QCOMPARE(o->property("toolTip").toString(), ayuda);
    }

    void disposicion()
    {
        // The model and the server address the controls by these names.
        QStringList nombres =
            QStringLiteral("Command13556 Command6 Command13 Command14 Command5 Command1 Command3 "
                           "Command4 Command7 Command10 Command8 Command9 Command37 Command2 "
                           "cmdCerrar List1 List2 Label11 L0 L1 L2 L3 L4 L5 L6 DBList1 DBList2 "
                           "DBList3 Option1 Option2 Option3 SSTab1 Frame1 Tareas Tarea0 Tarea1 "
                           "Tarea2 Tarea3 Tarea4 Tarea5 Tarea6 Tarea7 Tarea8 Combo1 Combo2 "
                           "Encabezado Pié Ini Fini Zinic Zfinic Pizarra")
                .split(' ');
        for (int i = 0; i < 16; ++i)
            nombres << QStringLiteral("EF%1").arg(i) << QStringLiteral("EI%1").arg(i);
        for (const QString& n : nombres)
            QVERIFY2(Hijo(n), qPrintable(n));
        w->show();
        QCOMPARE(w->windowTitle(), QStringLiteral("Corvena - Rovend - FISCAL  V.3.0.6"));
        // Commands above replies, each list under its label.
        auto* list1 = Hijo<QListWidget>("List1");
        auto* list2 = Hijo<QListWidget>("List2");
        QVERIFY(list2->mapTo(w.get(), QPoint()).y() < list1->mapTo(w.get(), QPoint()).y());
        QStringList rotulos;
        for (const QLabel* l : w->findChildren<QLabel*>())
            if (l->buddy() == list1 || l->buddy() == list2)
                rotulos << l->buddy()->objectName() + "=" + l->text();
        rotulos.sort();
        QCOMPARE(rotulos, QStringList({"List1=Recibido: ", "List2=Enviado: "}));
        QCOMPARE(Hijo<QDateEdit>("Fini")->date(), QDate::currentDate());
        QVERIFY(!Hijo("Command2")->isEnabled());
        // A 1024x768 screen holds it, options panel open or not.
        w->resize(1024, 730);
        for (bool abierto : {true, false}) {
            b->p().PonerVisible("Frame1", abierto);
            QCoreApplication::processEvents();
            QCOMPARE(Hijo("Frame1")->isVisible(), abierto);
            QCOMPARE(Hijo("DBList2")->isVisible(), !abierto);
            QVERIFY(w->minimumSizeHint().width() <= 1024 && w->minimumSizeHint().height() <= 730);
            QCOMPARE(w->width(), 1024);
        }
    }

    void modeloSeVe()
    {
        // What the robot's model says shows in the window. Buttons, titles,
        // labels and List2 are seen with a robot running in enElHiloDelRobot.
        w->show();
        Pantalla& p = b->p();
        p.AgregarLista("List1", "uno");
        p.AgregarLista("List1", "dos");
        QCOMPARE(Textos(Hijo<QListWidget>("List1")), QStringList({"uno", "dos"}));
        p.PonerPendientes("DBList2", {"000001 Ana J-1"});
        QCOMPARE(Textos(Hijo<QListWidget>("DBList2")), QStringList({"000001 Ana J-1"}));
        // Every lamp colour: g grey, v green, r red, n orange; EF row, then EI.
        p.ActualizoLeds(QByteArray(1, STX) + " 8" + FS + "C080" + FS + "3003" + FS + ETX);
        QString lamparas;
        for (const QString fila : {"EF", "EI"})
            for (int i = 0; i < 16; ++i)
                lamparas +=
                    QStringLiteral("gvrn").at(int(Hijo<Led>(fila + QString::number(i))->Color()));
        QCOMPARE(lamparas, QStringLiteral("rrgvvvvvnggvvvgvggnnggggggggggrr"));
        p.MostrarMensaje("Listo");
        QMessageBox* caja = CajaAbierta();
        QVERIFY(caja && caja->isModal());
        QCOMPARE(caja->windowTitle() + "|" + caja->text(), QStringLiteral("Rovend|Listo"));
        QCOMPARE(caja->standardButtons(), QMessageBox::Ok);
    }

    void dobleClicCopia()
    {
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        const QString trama = QChar(STX) + QStringLiteral("!9") + QChar(FS) + "Z" + QChar(ETX);
        b->p().AgregarLista("List2", "primera");
        b->p().AgregarLista("List2", trama);
        auto* lista = Hijo<QListWidget>("List2");
        QClipboard* portapapeles = QGuiApplication::clipboard();
        // Nothing selected: the clipboard ends up empty.
        portapapeles->setText("antes");
        QTest::mouseDClick(lista->viewport(), Qt::LeftButton, {},
                           QPoint(5, lista->viewport()->height() - 3));
        QTRY_COMPARE(portapapeles->text(), QString());
        // The exact entry, control bytes and all, not what the list draws.
        QTest::mouseDClick(lista->viewport(), Qt::LeftButton, {},
                           lista->visualItemRect(lista->item(1)).center());
        QTRY_COMPARE(portapapeles->text(), trama);
    }

    void filtroNumeros()
    {
        // Digits and Backspace pass; a letter, a blank and a point are
        // refused, each with the message ('<' stands for Backspace).
        for (const QString caja : {"Zinic", "Zfinic"}) {
            auto* e = Hijo<QLineEdit>(caja);
            int avisos = 0;
            for (QChar c : QStringLiteral("1a2 3.<4")) {
                if (c == '<')
                    QTest::keyClick(e, Qt::Key_Backspace);
                else
                    QTest::keyClicks(e, QString(c));
                if (QMessageBox* m = CajaAbierta()) {
                    QCOMPARE(m->windowTitle() + "|" + m->text(),
                             QStringLiteral("Rovend|Inserte solo números en esta casilla."));
                    m->done(QMessageBox::Ok);
                    ++avisos;
                }
            }
            QCOMPARE(e->text(), QStringLiteral("124"));
            QCOMPARE(avisos, 3);
        }
    }

    void enElHiloDelRobot()
    {
        // The window against a robot in its own thread: each click is a
        // request the robot handles in turn.
        w->show();
        QVERIFY(b->Arrancar());
        auto* list2 = Hijo<QListWidget>("List2");

        // "Detener" then "Iniciar": the timer comes back, "Cerrar" goes grey.
        QTRY_VERIFY(!Boton("Command10")->isEnabled() && Boton("Command3")->isEnabled());
        QTest::mouseClick(Boton("Command3"), Qt::LeftButton);
        QTRY_COMPARE(Boton("Command3")->text(), QStringLiteral("Iniciar"));
        QTRY_VERIFY(Boton("Command10")->isEnabled());
        QCOMPARE(Hijo<QLabel>("EstadoRobot")->text(), QStringLiteral("Robot detenido"));
        QTest::mouseClick(Boton("Command3"), Qt::LeftButton);
        QTRY_COMPARE(Boton("Command3")->text(), QStringLiteral("Detener"));
        QTRY_VERIFY(!Boton("Command10")->isEnabled());
        QCOMPARE(Hijo<QLabel>("EstadoRobot")->text(), QStringLiteral("Robot en marcha"));

        // A second click while the first closing waits cannot queue another.
        const int z = b->sim.contadores().z;
        QTRY_VERIFY(Boton("Command6")->isEnabled());
        QTest::mouseClick(Boton("Command6"), Qt::LeftButton);
        QVERIFY(!Boton("Command6")->isEnabled());
        QTest::mouseClick(Boton("Command6"), Qt::LeftButton);
        QTRY_VERIFY(Boton("Command6")->isEnabled());
        QCOMPARE(b->sim.contadores().z, z + 1);
        QCOMPARE(Hijo<QLabel>("L5")->text(), QString::number(z + 1).rightJustified(4, '0'));

        // "Ejecutar" sends what the panel holds and is grey until it is done.
        QTest::mouseClick(Boton("Command7"), Qt::LeftButton);
        QTRY_VERIFY(Hijo("Frame1")->isVisible());
        Hijo<QRadioButton>("Tarea4")->setChecked(true);
        Hijo<QDateEdit>("Ini")->setDate(QDate(2024, 3, 1));
        Hijo<QDateEdit>("Fini")->setDate(QDate(2024, 3, 31));
        QTest::mouseClick(Boton("Command8"), Qt::LeftButton);
        QVERIFY(!Boton("Command8")->isEnabled());
        const QString reporte = QString(":") + QChar(FS) + "240301" + QChar(FS) + "240331" +
                                QChar(FS) + "D" + QChar(ETX);
        QTRY_VERIFY(list2->count() == 1 && list2->item(0)->text().endsWith(reporte));
        QTRY_VERIFY(Boton("Command8")->isEnabled());
        QTest::mouseClick(Boton("Command9"), Qt::LeftButton);
        QTRY_VERIFY(!Hijo("Frame1")->isVisible() && Boton("Command6")->isEnabled());
    }

    void bandeja()
    {
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        auto iconos = [this] { return w->findChildren<QSystemTrayIcon*>().size(); };
        w->Bandeja().PonerHayBandeja([] { return true; });
        QTest::mouseClick(Boton("Command4"), Qt::LeftButton);
        QTRY_VERIFY(!w->isVisible());
        QCOMPARE(iconos(), 1);
        QSystemTrayIcon* icono = w->Bandeja().Icono();
        QVERIFY(icono->isVisible());
        QCOMPARE(icono->toolTip(), QStringLiteral("Rovend"));
        Q_EMIT icono->activated(QSystemTrayIcon::Trigger);
        QTRY_VERIFY(w->isVisible() && !w->isMinimized() && iconos() == 0);
        // The title bar's button goes the same way; a locked printer brings
        // the window back.
        w->showMinimized();
        QTRY_VERIFY(!w->isVisible() && iconos() == 1);
        b->p().RestaurarVentana();
        QTRY_VERIFY(w->isVisible() && !w->isMinimized() && iconos() == 0);
        // Without a tray it just stays minimised.
        w->Bandeja().PonerHayBandeja([] { return false; });
        QTest::mouseClick(Boton("Command4"), Qt::LeftButton);
        QTRY_VERIFY(w->isMinimized());
        QVERIFY(w->isVisible() && iconos() == 0);
    }

    void cerrar()
    {
        w->show();
        QSignalSpy cerrando(w.get(), &frmImprimirFacturaROBOT::Cerrando);
        QTest::mouseClick(Boton("cmdCerrar"), Qt::LeftButton);
        // The window stays until the robot has finished its document.
        QCOMPARE(cerrando.size(), 1);
        QVERIFY(w->isVisible() && w->windowTitle().endsWith(" - cerrando..."));
        w->close(); // asked again: the shutdown cuts the waits short
        QCOMPARE(cerrando.size(), 2);
        QCOMPARE(w->windowTitle().count("cerrando"), 1);
    }
};

QTEST_MAIN(TstVentana)
#include "tst_ventana.moc"
