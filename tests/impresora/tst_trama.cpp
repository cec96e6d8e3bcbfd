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
        QTest::newRow("estado N") << (QByteArray("8") + FS + "N") << 33 << QByteArray("00C8");
        // Bytes above 127 count by their unsigned value.
        QTest::newRow("byte 128") << QByteArray(1, char(0x80)) << 32 << QByteArray("00A5");
        // The sum wraps at 65536: 600 DEL bytes plus the frame.
        QTest::newRow("vuelta") << QByteArray(600, DEL) << 32 << QByteArray("29CD");
    }
    void checksum()
    {
        QFETCH(QByteArray, comando);
        QFETCH(int, secuencia);
        QTEST(Trama::Checksum(Trama::Enmarcar(comando, secuencia)), "esperado");
    }

    void secuencia()
    {
        // First frame after start-up uses 32; after 70 comes 32 again.
        const auto siguiente = &Trama::SiguienteSecuencia;
        QCOMPARE(QList<qint16>({siguiente(0), siguiente(32), siguiente(69), siguiente(70)}),
                 QList<qint16>({32, 33, 70, 32}));
    }

    void reset()
    {
        QCOMPARE(
            ComandosFiscales::ComandoReset(),
            QByteArray("\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f\x10\x11\x12\x13\x14\x15\x16\x17"));
    }

    void puerto_data()
    {
        QTest::addColumn<QString>("valor");
        QTest::addColumn<QString>("dispositivo");
        const auto fila = [](const char* valor, const char* dispositivo) {
            QTest::newRow(valor) << valor << dispositivo;
        };
        fila(" 3 ", "/dev/ttyS2");
        fila("COM1", "/dev/ttyS0");
        fila("com04", "/dev/ttyS3");
        fila("/dev/ttyUSB0", "/dev/ttyUSB0");
        fila("", "");
        fila("impresora", "");
        fila("0", "");
    }
    void puerto()
    {
        QFETCH(QString, valor);
        QTEST(NombrePuerto::Resolver(valor).value_or(QString()), "dispositivo");
    }
};

QTEST_GUILESS_MAIN(TstTrama)
#include "tst_trama.moc"
