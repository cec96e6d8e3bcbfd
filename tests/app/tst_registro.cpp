// The support log rotates by size and keeps a fixed number of old copies:
// the newest lines in rovend.log, the ones before in .1, then .2; the
// oldest copy is dropped, so the log never fills the disk.
#include "app/RegistroArchivo.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TstRegistro : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void rotaYConservaLasCopias()
    {
        QTemporaryDir dir;
        const QString ruta = dir.filePath(QStringLiteral("rovend.log"));
        auto leer = [&](const QString& sufijo) {
            QFile f(ruta + sufijo);
            return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll())
                                               : QStringLiteral("-");
        };
        {
            // Every line passes 100 bytes: each write rotates.
            RegistroArchivo r(ruta, 100, 2);
            QVERIFY(r.Abierto());
            for (int i = 1; i <= 4; ++i)
                r.Escribir(QStringLiteral("prueba"),
                           QStringLiteral("línea %1 ").arg(i) + QString(100, 'x'));
            r.Escribir(QStringLiteral("prueba"), QStringLiteral("corta"));
        }
        QVERIFY(leer(QString()).contains(QLatin1String("corta")));
        QVERIFY(leer(QStringLiteral(".1")).contains(QStringLiteral("línea 4 ")));
        QVERIFY(leer(QStringLiteral(".2")).contains(QStringLiteral("línea 3 ")));
        QCOMPARE(leer(QStringLiteral(".3")), QStringLiteral("-"));
    }
};

QTEST_GUILESS_MAIN(TstRegistro)
#include "tst_registro.moc"
