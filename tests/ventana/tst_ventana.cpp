#include "apoyo/BancoVentana.h"
#include "impresora/Protocolo.h"
#include "ventana/IconoBandeja.h"
#include "ventana/Led.h"
#include "ventana/frmImprimirFacturaROBOT.h"

#include <QtTest>
#include <QtWidgets>

using namespace Protocolo;

// Every test gets a fresh bench and the window on it, shown; the robot runs
// in its own thread only where a test starts it.
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
    QString Texto(const QString& lista, int fila) const
    {
        QListWidgetItem* i = Hijo<QListWidget>(lista)->item(fila);
        return i ? i->text() : QString();
    }
    // The message box on screen as "title|text", closed; "" when none.
    static QString Caja()
    {
        for (QWidget* v : QApplication::topLevelWidgets())
            if (auto* caja = qobject_cast<QMessageBox*>(v); caja && caja->isVisible()) {
                caja->done(QMessageBox::Ok);
                return caja->windowTitle() + "|" + caja->text();
            }
        return QString();
    }

  private Q_SLOTS:
    void init()
    {
        b = std::make_unique<BancoVentana>();
        QVERIFY(b->robot);
        w = std::make_unique<frmImprimirFacturaROBOT>(*b->robot);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    }
    void cleanup()
    {
        while (!Caja().isEmpty()) {
        }
        w.reset();
        b.reset();
    }

    void modeloSeVe()
    {
        // What the robot's model says shows in the window. Buttons, titles,
        // labels and List2 are seen with a robot running in enElHiloDelRobot.
        Pantalla& p = b->p();
        p.PonerPendientes("DBList2", {"000001 Ana J-1"});
        QCOMPARE(Texto("DBList2", 0), "000001 Ana J-1");
        // Every lamp colour: g grey, v green, r red, n orange; EF row, then EI.
        p.ActualizoLeds(QByteArray(1, STX) + " 8" + FS + "C080" + FS + "3003" + FS + ETX);
        QString leds;
        for (const QString fila : {"EF", "EI"})
            for (int i = 0; i < 16; ++i)
                leds +=
                    QStringLiteral("gvrn").at(int(Hijo<Led>(fila + QString::number(i))->Color()));
        QCOMPARE(leds, QStringLiteral("rrgvvvvvnggvvvgvggnnggggggggggrr"));
        p.MostrarMensaje("Listo");
        QCOMPARE(Caja(), QStringLiteral("Rovend|Listo"));
        // A 1024x768 screen holds the window; the options panel takes the
        // place of the pending lists.
        w->resize(1024, 730);
        for (bool abierto : {true, false}) {
            p.PonerVisible("Frame1", abierto);
            QCoreApplication::processEvents();
            QVERIFY(Hijo("Frame1")->isVisible() == abierto &&
                    Hijo("DBList2")->isVisible() != abierto);
            QVERIFY(w->minimumSizeHint().width() <= 1024 && w->minimumSizeHint().height() <= 730);
            QCOMPARE(w->width(), 1024);
        }
    }

    void dobleClicCopia()
    {
        const QString trama = QChar(STX) + QStringLiteral("!9") + QChar(FS) + "Z" + QChar(ETX);
        b->p().AgregarLista("List2", "primera");
        b->p().AgregarLista("List2", trama);
        auto* lista = Hijo<QListWidget>("List2");
        QClipboard* portapapeles = QGuiApplication::clipboard();
        // Nothing selected: the clipboard ends up empty.
        portapapeles->setText("antes");
        const QPoint vacio(5, lista->viewport()->height() - 3);
        QTest::mouseDClick(lista->viewport(), Qt::LeftButton, {}, vacio);
        QTRY_COMPARE(portapapeles->text(), QString());
        // The exact entry, control bytes and all, not what the list draws.
        const QPoint segunda = lista->visualItemRect(lista->item(1)).center();
        QTest::mouseDClick(lista->viewport(), Qt::LeftButton, {}, segunda);
        QTRY_COMPARE(portapapeles->text(), trama);
    }

    void filtroNumeros()
    {
        // Digits (0 to 9) and Backspace pass; anything else typed is refused
        // with the message ('<' stands for Backspace).
        for (const QString caja : {"Zinic", "Zfinic"}) {
            auto* e = Hijo<QLineEdit>(caja);
            QStringList avisos;
            for (QChar c : QStringLiteral("0/9:a 5.<1")) {
                if (c == '<')
                    QTest::keyClick(e, Qt::Key_Backspace);
                else
                    QTest::keyClicks(e, QString(c));
                avisos << Caja();
            }
            QCOMPARE(e->text(), QStringLiteral("091"));
            const QString aviso = "Rovend|Inserte solo números en esta casilla.";
            QCOMPARE(avisos, QStringList({"", aviso, "", aviso, aviso, aviso, "", aviso, "", ""}));
        }
    }

    void enElHiloDelRobot()
    {
        // The window against a robot in its own thread: each click is a
        // request the robot handles in turn.
        QVERIFY(b->Arrancar());
        // "Detener" then "Iniciar": "Cerrar" usable only while stopped.
        QTRY_VERIFY(!Boton("Command10")->isEnabled() && Boton("Command3")->isEnabled());
        for (const QString estado : {"Robot detenido|Iniciar", "Robot en marcha|Detener"}) {
            QTest::mouseClick(Boton("Command3"), Qt::LeftButton);
            QTRY_COMPARE(Hijo<QLabel>("EstadoRobot")->text() + "|" + Boton("Command3")->text(),
                         estado);
            QTRY_COMPARE(Boton("Command10")->isEnabled(), estado.endsWith("Iniciar"));
        }

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
        const QString reporte = QString(":|240301|240331|D\x03").replace('|', QChar(FS));
        QTRY_VERIFY(Texto("List2", 0).endsWith(reporte));
        QTRY_VERIFY(Boton("Command8")->isEnabled());
        QTest::mouseClick(Boton("Command9"), Qt::LeftButton);
        QTRY_VERIFY(!Hijo("Frame1")->isVisible() && Boton("Command6")->isEnabled());
    }

    void bandeja()
    {
        // Minimising hides the window behind one icon; activating it, or a
        // locked printer, brings the window back. Without a tray it just
        // stays minimised.
        auto iconos = [this] { return w->findChildren<QSystemTrayIcon*>().size(); };
        auto restaurada = [&] { return w->isVisible() && !w->isMinimized() && iconos() == 0; };
        w->Bandeja().PonerHayBandeja([] { return true; });
        QTest::mouseClick(Boton("Command4"), Qt::LeftButton);
        QTRY_VERIFY(!w->isVisible() && iconos() == 1);
        QCOMPARE(w->Bandeja().Icono()->toolTip(), QStringLiteral("Rovend"));
        Q_EMIT w->Bandeja().Icono()->activated(QSystemTrayIcon::Trigger);
        QTRY_VERIFY(restaurada());
        w->showMinimized(); // the title bar's button
        QTRY_VERIFY(!w->isVisible() && iconos() == 1);
        b->p().RestaurarVentana();
        QTRY_VERIFY(restaurada());
        w->Bandeja().PonerHayBandeja([] { return false; });
        QTest::mouseClick(Boton("Command4"), Qt::LeftButton);
        QTRY_VERIFY(w->isMinimized() && w->isVisible() && iconos() == 0);
    }

    void cerrar()
    {
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
