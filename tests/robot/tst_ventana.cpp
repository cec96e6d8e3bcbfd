#include "Arranque.h"
#include "EnlaceImpresora.h"
#include "IconoBandeja.h"
#include "Led.h"
#include "Protocolo.h"
#include "Robot.h"
#include "SimuladorEnHilo.h"
#include "TiendaDemo.h"
#include "frmImprimirFacturaROBOT.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <atomic>

using namespace Protocolo;

namespace
{
// A demo shop, the printer simulator (unpaced) and a robot on them. The
// robot runs in its own thread once Arrancar is called, as in the program.
struct Banco {
    QTemporaryDir dir;
    SimuladorEnHilo sim{[] {
        SimuladorFiscal::Opciones o;
        o.ritmo = false;
        return o;
    }()};
    TiendaDemo tienda;
    Arranque::Resultado inicio;
    std::unique_ptr<Robot> robot;
    QThread hilo;
    std::atomic<bool> iniciado{false}; // set in the robot's thread

    explicit Banco(bool demo = false)
    {
        OpcionesTienda o;
        if (!sim.iniciar())
            return;
        o.Puerto = sim.ruta();
        if (!tienda.Crear(dir.path(), o) || (demo && !tienda.LlenarDemo()))
            return;
        inicio = Arranque::Form_Load(dir.path());
        inicio.ajustes.tiempos.esperaLargaMs = 600;
        inicio.ajustes.tiempos.centesimaMs = 1;
        if (inicio.fin == Arranque::Fin::Seguir)
            robot = std::make_unique<Robot>(inicio.ajustes);
    }
    // After the window exists: it reads the model before the thread runs.
    bool Arrancar()
    {
        robot->moveToThread(&hilo);
        QObject::connect(
            robot.get(), &Robot::Iniciado, robot.get(), [this](bool ok) { iniciado = ok; },
            Qt::DirectConnection);
        QObject::connect(&hilo, &QThread::started, robot.get(), &Robot::Iniciar);
        hilo.start();
        return QTest::qWaitFor([this] { return iniciado.load(); }, 10000);
    }
    ~Banco()
    {
        if (hilo.isRunning()) {
            robot->Cancelar();
            QMetaObject::invokeMethod(robot.get(), &Robot::Terminar, Qt::BlockingQueuedConnection);
            hilo.quit();
            hilo.wait();
        }
    }
};

template <typename T = QWidget> T* Hijo(const QWidget& w, const QString& nombre)
{
    return w.findChild<T*>(nombre);
}

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

class TstVentana : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void cleanup()
    {
        while (QMessageBox* caja = CajaAbierta())
            caja->done(QMessageBox::Ok);
    }

    void controles_data()
    {
        // Caption (text or title) and, when given, tooltip of each control.
        QTest::addColumn<QString>("nombre");
        QTest::addColumn<QString>("texto");
        QTest::addColumn<QString>("ayuda");
        const QString cerrar = "Haga click aquí para cerrar el formulario";
        const QString opciones = "Haga click aquí para ver las opciones";
        const QString ninguna;
        const QList<std::tuple<QString, QString, QString>> filas{
            {"Command13556", "Cierre X", "Haga click aquí para imprimir el cierre parcial"},
            {"Command6", "Cierre Z", "Haga click aquí para imprimir el cierre diario"},
            {"Command13", "Estado", "Haga click aquí para consultar el estado de la impresora"},
            {"Command14", "Resetear", "Haga click aquí para aplicar un Reset a la impresora"},
            {"Command5", "Estatus", "Haga click aquí para imprimir status de la impresora"},
            {"Command1", "Command1", ""},
            {"Command3", "Detener", "Haga click aquí para Detener/Iniciar"},
            {"Command4", "Minimizar", cerrar},
            {"Command7", "Opciones", opciones},
            {"Command9", "Continuar", opciones},
            {"Command10", "Cerrar", cerrar},
            {"Command37", "Direccionar Temporal Local",
             "Haga click aquí para direccionar temporal"},
            {"Command8", "Ejecutar", "Haga click aquí para ejecutar la tarea"},
            {"Command2", "Plantilla", ""},
            {"cmdCerrar", "Cerrar", ""},
            {"Tarea0", "Cortar papel", ninguna},
            {"Tarea1", "Hacer avanzar el papel", ninguna},
            {"Tarea2", "Establecer línea de encabezado ", ninguna},
            {"Tarea3", "Establecer línea de pié de página", ninguna},
            {"Tarea4",
             "Imprimir Reporte por Fechas desde                                     hasta",
             ninguna},
            {"Tarea5", "Enviar documento no fiscal de prueba", ninguna},
            {"Tarea6", "Imprimir Reporte Z desde el número                  al ", ninguna},
            {"Tarea7", "Imprimir Reporte Z por fecha desde", ninguna},
            {"Tarea8", "Imprimir Reporte por mes desde ", ninguna},
            {"Option1", "solo facturas generales", ninguna},
            {"Option2", "solo facturas locales", ninguna},
            {"Option3", "todas", ninguna},
            {"Label11", " 1    2   3   4   5    6   7    8   9  10  11 12 13 14 15  16", ninguna},
            {"L1", "Detectando...", ninguna},
            {"L4", "00000000", ninguna},
            {"L5", "0000", ninguna},
            {"L6", "00000000", ninguna},
            {"Frame1", "Opciones", ninguna},
            {"Tareas", "Tareas", ninguna},
            {"TituloDBList2", "Listado de Facturas pendientes por impresión", ninguna},
            {"TituloDBList1", "Listado de Notas pendientes por impresión", ninguna},
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
        Banco b;
        QVERIFY(b.robot);
        frmImprimirFacturaROBOT w(*b.robot);
        const QObject* o = w.findChild<QObject*>(nombre);
        QVERIFY2(o, qPrintable(nombre));
        if (!texto.isNull())
            QCOMPARE(o->property(o->property("title").isValid() ? "title" : "text").toString(),
                     texto);
        if (!ayuda.isNull())
            QCOMPARE(o->property("toolTip").toString(), ayuda);
    }

    void disposicion()
    {
        Banco b;
        QVERIFY(b.robot);
        frmImprimirFacturaROBOT w(*b.robot);
        w.show();
        QCOMPARE(w.windowTitle(), QStringLiteral("Corvena - Rovend - FISCAL  V.3.0.6"));
        // Commands above replies, each list under its label.
        auto* list1 = Hijo<QListWidget>(w, "List1");
        auto* list2 = Hijo<QListWidget>(w, "List2");
        QVERIFY(list2->mapTo(&w, QPoint()).y() < list1->mapTo(&w, QPoint()).y());
        QStringList rotulos;
        for (const QLabel* l : w.findChildren<QLabel*>())
            if (l->buddy() == list1 || l->buddy() == list2)
                rotulos << l->buddy()->objectName() + "=" + l->text();
        rotulos.sort();
        QCOMPARE(rotulos, QStringList({"List1=Recibido: ", "List2=Enviado: "}));
        for (const char* nombre : {"Frame1", "Frame2", "Option1", "Option3", "Tarea0", "Tarea4"}) {
            const QWidget* c = Hijo(w, nombre);
            QVERIFY2(c->autoFillBackground(), nombre);
            QCOMPARE(c->palette().color(c->backgroundRole()), QColor(0xE0E0E0));
        }
        QCOMPARE(Hijo<QDateEdit>(w, "Fini")->date(), QDate::currentDate());
        QVERIFY(!Hijo(w, "Command2")->isEnabled());
        QCOMPARE(Hijo<QComboBox>(w, "Combo2")->count(), 5);
        // A 1024x768 screen holds it, options panel open or not.
        w.resize(1024, 730);
        for (bool abierto : {true, false}) {
            b.robot->pantalla().PonerVisible("Frame1", abierto);
            QCoreApplication::processEvents();
            QCOMPARE(Hijo(w, "Frame1")->isVisible(), abierto);
            QCOMPARE(Hijo(w, "DBList2")->isVisible(), !abierto);
            QVERIFY(w.minimumSizeHint().width() <= 1024 && w.minimumSizeHint().height() <= 730);
            QCOMPARE(w.width(), 1024);
        }
    }

    void lamparas_data()
    {
        QTest::addColumn<QByteArray>("respuesta");
        QTest::addColumn<QString>("letras"); // g grey, v green, r red, n orange
        const QByteArray r = QByteArray(1, STX) + " 8" + FS + "C080" + FS + "3003" + FS + ETX;
        QTest::newRow("C080 3003") << r << "rrgvvvvvnggvvvgv ggnnggggggggggrr";
        QTest::newRow("fallida") << EnlaceImpresora::RespuestaError()
                                 << "gggggggggggggggg ggnnggggggggggvv";
        QTest::newRow("error en minusculas") << r + "error"
                                             << "gggggggggggggggg ggnnggggggggggvv";
    }
    void lamparas()
    {
        QFETCH(QByteArray, respuesta);
        QFETCH(QString, letras);
        Banco b;
        QVERIFY(b.robot);
        frmImprimirFacturaROBOT w(*b.robot);
        b.robot->pantalla().ActualizoLeds(respuesta);
        QString vistas;
        for (const QString fila : {"EF", "EI"}) {
            vistas += vistas.isEmpty() ? "" : " ";
            for (int i = 0; i < 16; ++i)
                vistas += QStringLiteral("gvrn").at(
                    int(Hijo<Led>(w, fila + QString::number(i))->Color()));
        }
        QCOMPARE(vistas, letras);
    }

    void modeloSeVe()
    {
        Banco b;
        QVERIFY(b.robot);
        frmImprimirFacturaROBOT w(*b.robot);
        w.show();
        Pantalla& p = b.robot->pantalla();
        p.PonerEtiqueta(5, "0042");
        QCOMPARE(Hijo<QLabel>(w, "L5")->text(), QStringLiteral("0042"));
        p.AgregarLista("List1", "uno");
        p.AgregarLista("List1", "dos");
        QCOMPARE(Textos(Hijo<QListWidget>(w, "List1")), QStringList({"uno", "dos"}));
        p.PonerPendientes("DBList2", {"000001 Ana J-1"});
        QCOMPARE(Textos(Hijo<QListWidget>(w, "DBList2")), QStringList({"000001 Ana J-1"}));
        p.Habilitar("Command6", false);
        QVERIFY(!Hijo(w, "Command6")->isEnabled());
        p.PonerTitulo("Command3", "Iniciar");
        QCOMPARE(Hijo<QPushButton>(w, "Command3")->text(), QStringLiteral("Iniciar"));
        p.PonerTimer(false);
        QCOMPARE(Hijo<QLabel>(w, "EstadoRobot")->text(), QStringLiteral("Robot detenido"));
        p.MostrarMensaje("Listo");
        QMessageBox* caja = CajaAbierta();
        QVERIFY(caja && caja->isModal());
        QCOMPARE(caja->windowTitle() + "|" + caja->text(), QStringLiteral("Rovend|Listo"));
        QCOMPARE(caja->standardButtons(), QMessageBox::Ok);
    }

    void dobleClicCopia()
    {
        Banco b;
        QVERIFY(b.robot);
        frmImprimirFacturaROBOT w(*b.robot);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QString trama = QChar(STX) + QStringLiteral("!9") + QChar(FS) + "Z" + QChar(ETX);
        b.robot->pantalla().AgregarLista("List2", "primera");
        b.robot->pantalla().AgregarLista("List2", trama);
        auto* lista = Hijo<QListWidget>(w, "List2");
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
        Banco b;
        QVERIFY(b.robot);
        frmImprimirFacturaROBOT w(*b.robot);
        // Digits and Backspace pass; a letter, a blank and a point are
        // refused, each with the message ('<' stands for Backspace).
        for (const QString caja : {"Zinic", "Zfinic"}) {
            auto* e = Hijo<QLineEdit>(w, caja);
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
        Banco b;
        QVERIFY(b.robot);
        frmImprimirFacturaROBOT w(*b.robot);
        w.show();
        QVERIFY(b.Arrancar());
        auto boton = [&w](const char* n) { return Hijo<QPushButton>(w, n); };
        auto* list2 = Hijo<QListWidget>(w, "List2");

        // "Detener" then "Iniciar": the timer comes back, "Cerrar" goes grey.
        QTRY_VERIFY(!boton("Command10")->isEnabled() && boton("Command3")->isEnabled());
        QTest::mouseClick(boton("Command3"), Qt::LeftButton);
        QTRY_COMPARE(boton("Command3")->text(), QStringLiteral("Iniciar"));
        QTRY_VERIFY(boton("Command10")->isEnabled());
        QCOMPARE(Hijo<QLabel>(w, "EstadoRobot")->text(), QStringLiteral("Robot detenido"));
        QTest::mouseClick(boton("Command3"), Qt::LeftButton);
        QTRY_COMPARE(boton("Command3")->text(), QStringLiteral("Detener"));
        QTRY_VERIFY(!boton("Command10")->isEnabled());
        QCOMPARE(Hijo<QLabel>(w, "EstadoRobot")->text(), QStringLiteral("Robot en marcha"));

        // A second click while the first closing waits cannot queue another.
        const int z = b.sim.contadores().z;
        QTRY_VERIFY(boton("Command6")->isEnabled());
        QTest::mouseClick(boton("Command6"), Qt::LeftButton);
        QVERIFY(!boton("Command6")->isEnabled());
        QTest::mouseClick(boton("Command6"), Qt::LeftButton);
        QTRY_VERIFY(boton("Command6")->isEnabled());
        QCOMPARE(b.sim.contadores().z, z + 1);
        QCOMPARE(Hijo<QLabel>(w, "L5")->text(), QString::number(z + 1).rightJustified(4, '0'));

        // "Ejecutar" sends what the panel holds and is grey until it is done.
        QTest::mouseClick(boton("Command7"), Qt::LeftButton);
        QTRY_VERIFY(Hijo(w, "Frame1")->isVisible());
        Hijo<QRadioButton>(w, "Tarea4")->setChecked(true);
        Hijo<QDateEdit>(w, "Ini")->setDate(QDate(2024, 3, 1));
        Hijo<QDateEdit>(w, "Fini")->setDate(QDate(2024, 3, 31));
        QTest::mouseClick(boton("Command8"), Qt::LeftButton);
        QVERIFY(!boton("Command8")->isEnabled());
        const QString reporte = QString(":") + QChar(FS) + "240301" + QChar(FS) + "240331" +
                                QChar(FS) + "D" + QChar(ETX);
        QTRY_VERIFY(list2->count() == 1 && list2->item(0)->text().endsWith(reporte));
        QTRY_VERIFY(boton("Command8")->isEnabled());
        QTest::mouseClick(boton("Command9"), Qt::LeftButton);
        QTRY_VERIFY(!Hijo(w, "Frame1")->isVisible() && boton("Command6")->isEnabled());
    }

    void bandeja()
    {
        Banco b;
        QVERIFY(b.robot);
        frmImprimirFacturaROBOT w(*b.robot);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto iconos = [&w] { return w.findChildren<QSystemTrayIcon*>().size(); };
        w.Bandeja().PonerHayBandeja([] { return true; });
        QTest::mouseClick(Hijo(w, "Command4"), Qt::LeftButton);
        QTRY_VERIFY(!w.isVisible());
        QCOMPARE(iconos(), 1);
        QSystemTrayIcon* icono = w.Bandeja().Icono();
        QVERIFY(icono->isVisible());
        QCOMPARE(icono->toolTip(), QStringLiteral("Rovend"));
        Q_EMIT icono->activated(QSystemTrayIcon::Trigger);
        QTRY_VERIFY(w.isVisible() && !w.isMinimized() && iconos() == 0);
        // The title bar's button goes the same way; a locked printer brings
        // the window back.
        w.showMinimized();
        QTRY_VERIFY(!w.isVisible() && iconos() == 1);
        b.robot->pantalla().RestaurarVentana();
        QTRY_VERIFY(w.isVisible() && !w.isMinimized() && iconos() == 0);
        // Without a tray it just stays minimised.
        w.Bandeja().PonerHayBandeja([] { return false; });
        QTest::mouseClick(Hijo(w, "Command4"), Qt::LeftButton);
        QTRY_VERIFY(w.isMinimized());
        QVERIFY(w.isVisible() && iconos() == 0);
    }

    void cerrar()
    {
        Banco b;
        QVERIFY(b.robot);
        frmImprimirFacturaROBOT w(*b.robot);
        w.show();
        QSignalSpy cerrando(&w, &frmImprimirFacturaROBOT::Cerrando);
        QTest::mouseClick(Hijo(w, "cmdCerrar"), Qt::LeftButton);
        // The window stays until the robot has finished its document.
        QCOMPARE(cerrando.size(), 1);
        QVERIFY(w.isVisible() && w.windowTitle().endsWith(" - cerrando..."));
        w.close(); // asked again: the shutdown cuts the waits short
        QCOMPARE(cerrando.size(), 2);
        QCOMPARE(w.windowTitle().count("cerrando"), 1);
    }

    void capturas()
    {
        // Start, a locked printer and the options panel at 1024x768; saved
        // when ROVEND_CAPTURAS names a folder.
        const QString carpeta = qEnvironmentVariable("ROVEND_CAPTURAS");
        Banco b(true);
        QVERIFY(b.robot);
        frmImprimirFacturaROBOT w(*b.robot);
        auto guardar = [&](const char* nombre) {
            return carpeta.isEmpty() || w.grab().save(QDir(carpeta).filePath(nombre));
        };
        auto boton = [&w](const char* n) { return Hijo<QPushButton>(w, n); };
        w.resize(1024, 768);
        w.show();
        QVERIFY(b.Arrancar());
        auto* list1 = Hijo<QListWidget>(w, "List1");
        QTRY_VERIFY(Textos(list1).contains("Impresora lista...") &&
                    Hijo<QListWidget>(w, "DBList2")->count() > 0);
        QVERIFY(guardar("ventana-inicio.png"));

        QVERIFY(b.sim.control("estado 04").ok);
        QTest::mouseClick(boton("Command13"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(Textos(list1) == QStringList{"Debe hacer reporte Z"}, 20000);
        QTRY_VERIFY(!boton("Command13")->isEnabled() && boton("Command6")->isEnabled());
        QVERIFY(guardar("ventana-bloqueada.png"));

        QTest::mouseClick(boton("Command6"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(boton("Command7")->isEnabled(), 10000);
        QTest::mouseClick(boton("Command7"), Qt::LeftButton);
        QTRY_VERIFY(Hijo(w, "Frame1")->isVisible());
        Hijo<QRadioButton>(w, "Tarea4")->setChecked(true);
        Hijo<QDateEdit>(w, "Ini")->setDate(QDate(2024, 3, 1));
        Hijo<QDateEdit>(w, "Fini")->setDate(QDate(2024, 3, 31));
        Hijo<QLineEdit>(w, "Encabezado")->setText("Tienda Demo, C.A.");
        Hijo<QLineEdit>(w, "Zinic")->setText("7");
        Hijo<QLineEdit>(w, "Zfinic")->setText("12");
        QTest::mouseClick(boton("Command8"), Qt::LeftButton);
        QTRY_VERIFY(Hijo<QListWidget>(w, "List2")->count() == 1 && boton("Command8")->isEnabled());
        QVERIFY(guardar("ventana-opciones.png"));
    }
};

QTEST_MAIN(TstVentana)
#include "tst_ventana.moc"
