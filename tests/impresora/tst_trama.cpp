#include "impresora/ComandosFiscales.h"
#include "impresora/NombrePuerto.h"
#include "impresora/Protocolo.h"
#include "impresora/Trama.h"

#include <QTest>

using namespace Protocolo;

class TstTrama : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void checksum_data()
    {
        QTest::addColumn<QByteArray>("comando");
        QTest::addColumn<int>("secuencia");
        QTest::addColumn<QByteArray>("esperado");
        QTest::newRow("corte de papel") << QByteArray("K") << 32 << QByteArray("0070");
        QTest::newRow("estado N") << (QByteArray("8") + FS + "N") << 33 << QByteArray("00C8");
        QTest::newRow("cierre Z") << (QByteArray("9") + FS + "Z") << 32 << QByteArray("00D4");
        // Bytes above 127 count by their unsigned value.
        QTest::newRow("byte 128") << QByteArray(1, char(0x80)) << 32 << QByteArray("00A5");
        // The sum wraps at 65536: 600 DEL bytes plus the frame.
        QTest::newRow("vuelta") << QByteArray(600, DEL) << 32 << QByteArray("29CD");
    }
    void checksum()
    {
        QFETCH(QByteArray, comando);
        QFETCH(int, secuencia);
        QFETCH(QByteArray, esperado);
        const QByteArray t = Trama::Enmarcar(comando, secuencia);
        QCOMPARE(t, QByteArray(1, STX) + char(secuencia) + comando + ETX);
        QCOMPARE(Trama::Checksum(t), esperado);
    }

    void secuencia()
    {
        // First frame after start-up uses 32; after 70 comes 32 again.
        QCOMPARE(Trama::SiguienteSecuencia(0), qint16(32));
        QCOMPARE(Trama::SiguienteSecuencia(32), qint16(33));
        QCOMPARE(Trama::SiguienteSecuencia(69), qint16(70));
        QCOMPARE(Trama::SiguienteSecuencia(70), qint16(32));
        QSet<qint16> vistos;
        qint16 s = 0;
        for (int i = 0; i < 100; ++i) {
            s = Trama::SiguienteSecuencia(s);
            vistos.insert(s);
        }
        QCOMPARE(vistos.size(), 39);
    }

    void comandos()
    {
        QByteArray reset = ComandosFiscales::ComandoReset();
        QCOMPARE(reset.size(), 17);
        QCOMPARE(reset.front(), char(7));
        QCOMPARE(reset.back(), char(23));
        QCOMPARE(ComandosFiscales::Armar('8', {"N"}), QByteArray("8") + FS + "N");
    }

    void puerto_data()
    {
        QTest::addColumn<QString>("valor");
        QTest::addColumn<QString>("dispositivo");
        QTest::newRow("numero") << "1"
                                << "/dev/ttyS0";
        QTest::newRow("numero 3") << " 3 "
                                  << "/dev/ttyS2";
        QTest::newRow("COM1") << "COM1"
                              << "/dev/ttyS0";
        QTest::newRow("com4") << "com4"
                              << "/dev/ttyS3";
        QTest::newRow("ruta") << "/dev/ttyUSB0"
                              << "/dev/ttyUSB0";
        QTest::newRow("pts") << "/dev/pts/7"
                             << "/dev/pts/7";
        QTest::newRow("vacio") << ""
                               << "";
        QTest::newRow("texto") << "impresora"
                               << "";
        QTest::newRow("cero") << "0"
                              << "";
        QTest::newRow("COM") << "COM"
                             << "";
        QTest::newRow("negativo") << "-1"
                                  << "";
    }
    void puerto()
    {
        QFETCH(QString, valor);
        QFETCH(QString, dispositivo);
        const auto r = NombrePuerto::Resolver(valor);
        QCOMPARE(r.value_or(QString()), dispositivo);
    }
};

QTEST_GUILESS_MAIN(TstTrama)
#include "tst_trama.moc"
