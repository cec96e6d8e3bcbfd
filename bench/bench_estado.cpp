// The status endpoint measured on the real robot (headless, the printer
// simulator paced at 9600 baud, a 20-item invoice):
//  latencia: one client asks /estado and /metrics in turn, on one kept-alive
//    connection, all the time the invoice prints: median and 99th percentile.
//  carga: the invoice's wall time (opening command to written back, from the
//    robot's own log) without clients, then with 50 clients making 2,000
//    requests spread over the print; every answer is checked. Alternated,
//    `rondas` times each.
//  reposo: two robots at once, nothing pending, one with the endpoint (and a
//    scrape of /metrics every 5 s), one without: CPU over `segundos`.
//
//     bench_estado [latencia|carga|reposo|todo] [rondas=2] [segundos=60]
#include "ArnesTienda.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <unistd.h>

namespace
{
quint16 PuertoLibre()
{
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    return s.serverPort();
}

double cpuProceso(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray s = f.readAll();
    const QList<QByteArray> c = s.mid(s.lastIndexOf(')') + 2).split(' ');
    return (c.value(11).toDouble() + c.value(12).toDouble()) / double(sysconf(_SC_CLK_TCK));
}

qint64 pidDe(const QString& carpeta)
{
    // The robot's pid: the one whose command line names this folder.
    for (const QString& d : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile f(QStringLiteral("/proc/%1/cmdline").arg(d));
        if (f.open(QIODevice::ReadOnly) && f.readAll().contains(carpeta.toUtf8() + '\0') &&
            QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(d)).endsWith(QLatin1String("/rovend")))
            return d.toLongLong();
    }
    return -1;
}

qlonglong venta_ = 0; // the invoice of the current run

bool Preparar(ArnesTienda& a, int articulos, const QStringList& args)
{
    if (!a.Preparar())
        return false;
    if (articulos > 0) {
        VentaDemo v;
        v.NombreCliente = QStringLiteral("Cliente de la prueba");
        for (int k = 0; k < articulos; ++k) {
            LineaDemo l;
            l.Nombre = QStringLiteral("Producto de prueba %1").arg(k + 1);
            l.Precio = 10.0 + k;
            v.Lineas << l;
        }
        venta_ = a.tienda.AgregarVenta(v);
        if (venta_ <= 0)
            return false;
    }
    a.tienda.Cerrar();
    a.argsRobot = args;
    return a.ArrancarRobot();
}

// Seconds from the opening command to the write-back, from rovend.log.
double TiempoFactura(ArnesTienda& a, QDateTime* desdeSalida = nullptr, QDateTime* hastaSalida = nullptr)
{
    QFile f(a.RutaPrograma() + QStringLiteral("/rovend.log"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    static const QRegularExpression apertura(QStringLiteral("enviado: <STX>.@"));
    QDateTime desde, hasta;
    for (const QString& l : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'))) {
        const QDateTime t = QDateTime::fromString(l.left(23), QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
        if (!desde.isValid() && apertura.match(l).hasMatch())
            desde = t;
        if (desde.isValid() && l.contains(QStringLiteral("impresa con el número")))
            hasta = t;
    }
    if (desdeSalida)
        *desdeSalida = desde;
    if (hastaSalida)
        *hastaSalida = hasta;
    return desde.isValid() && hasta.isValid() ? desde.msecsTo(hasta) / 1000.0 : -1;
}

bool Impresa(ArnesTienda& a) { return a.Venta(venta_).value("Impresa").toInt() == -1; }

bool AperturaEnviada(ArnesTienda& a)
{
    QFile f(a.RutaPrograma() + QStringLiteral("/rovend.log"));
    return f.open(QIODevice::ReadOnly) &&
           QString::fromUtf8(f.readAll()).contains(QRegularExpression(QStringLiteral("enviado: <STX>.@")));
}

// One kept-alive HTTP/1.1 client; answers are read whole (Content-Length).
class Cliente
{
  public:
    explicit Cliente(quint16 puerto) { s_.connectToHost(QHostAddress::LocalHost, puerto); }
    // Blocking: for the single-client latency run only.
    bool Pedir(const QByteArray& ruta, QByteArray* cuerpo)
    {
        Enviar(ruta);
        while (!Completa(cuerpo))
            if (!s_.waitForReadyRead(5000))
                return false;
        return true;
    }
    void Enviar(const QByteArray& ruta)
    {
        buf_.clear();
        s_.write("GET " + ruta + " HTTP/1.1\r\nHost: bench\r\n\r\n");
    }
    // True once the answer is complete; its body in `cuerpo`, empty unless 200.
    bool Completa(QByteArray* cuerpo)
    {
        buf_ += s_.readAll();
        const qsizetype fin = buf_.indexOf("\r\n\r\n");
        if (fin < 0)
            return false;
        const qsizetype p = buf_.indexOf("Content-Length: ");
        const qsizetype largo = p < 0 ? 0 : buf_.mid(p + 16, 12).split('\r').first().toLongLong();
        if (buf_.size() < fin + 4 + largo)
            return false;
        *cuerpo = buf_.startsWith("HTTP/1.1 200") ? buf_.mid(fin + 4, largo) : QByteArray();
        return true;
    }
    QTcpSocket& socket() { return s_; }

  private:
    QTcpSocket s_;
    QByteArray buf_;
};

bool Correcta(const QByteArray& ruta, const QByteArray& cuerpo)
{
    if (ruta == "/metrics")
        return cuerpo.contains("rovend_pendientes{tipo=\"factura\"}") && cuerpo.endsWith("\n");
    const QJsonObject j = QJsonDocument::fromJson(cuerpo).object();
    return j.contains("impresora") && j.value("pendientes").toObject().contains("factura");
}

double Percentil(QList<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v.at(qMin(v.size() - 1, qsizetype(p * double(v.size()))));
}

int latencia()
{
    ArnesTienda a;
    const quint16 puerto = PuertoLibre();
    if (!Preparar(a, 20, {"--estado", QString::number(puerto)}))
        return 2;
    // Until the invoice is being printed (its opening sent).
    if (!QTest::qWaitFor([&] { return AperturaEnviada(a); }, 60000))
        return 2;
    Cliente c(puerto);
    QHash<QByteArray, QList<double>> ms;
    int malas = 0;
    QElapsedTimer t;
    for (int i = 0; !Impresa(a); ++i) {
        const QByteArray ruta = i % 2 ? "/metrics" : "/estado";
        QByteArray cuerpo;
        t.start();
        const bool ok = c.Pedir(ruta, &cuerpo);
        ms[ruta] << t.nsecsElapsed() / 1e6;
        malas += !(ok && Correcta(ruta, cuerpo));
    }
    a.TerminarRobot();
    for (const QByteArray& r : {QByteArray("/estado"), QByteArray("/metrics")})
        std::printf("latencia %-8s mientras imprime: %lld pedidos, mediana %.2f ms, p99 %.2f ms, máx %.2f ms\n",
                    r.constData(), static_cast<long long>(ms[r].size()), Percentil(ms[r], 0.5),
                    Percentil(ms[r], 0.99), Percentil(ms[r], 1.0));
    std::printf("  respuestas incorrectas: %d\n", malas);
    return malas == 0 && Percentil(ms["/estado"], 0.99) < 5 && Percentil(ms["/metrics"], 0.99) < 5 ? 0 : 1;
}

// One print of the invoice; with `conCarga`, 50 clients start as soon as its
// opening command is in the log and make `pedidos` requests between them, each
// the next as soon as its answer is in. Returns the wall time; `enFactura`
// counts the answers that came while the invoice printed.
double UnaFactura(bool conCarga, int pedidos, int* malas, int* hechas, int* enFactura)
{
    ArnesTienda a;
    const quint16 puerto = PuertoLibre();
    if (!Preparar(a, 20, {"--estado", QString::number(puerto)}))
        return -1;
    std::vector<std::unique_ptr<Cliente>> clientes;
    QList<QDateTime> momentos;
    const int n = 50;
    const int porCliente = pedidos / n;
    if (conCarga) {
        if (!QTest::qWaitFor([&] { return AperturaEnviada(a); }, 60000))
            return -1;
        for (int i = 0; i < n; ++i) {
            clientes.push_back(std::make_unique<Cliente>(puerto));
            Cliente* c = clientes.back().get();
            auto restantes = std::make_shared<int>(porCliente - 1);
            const QByteArray ruta = i % 2 ? "/metrics" : "/estado";
            QObject::connect(&c->socket(), &QTcpSocket::readyRead, &c->socket(), [=, &momentos] {
                QByteArray cuerpo;
                if (!c->Completa(&cuerpo))
                    return;
                momentos << QDateTime::currentDateTime();
                ++*hechas;
                *malas += !Correcta(ruta, cuerpo);
                if ((*restantes)-- > 0)
                    c->Enviar(ruta);
            });
            c->Enviar(ruta);
        }
    }
    if (!QTest::qWaitFor([&] { return Impresa(a); }, 120000))
        return -1;
    if (conCarga) // the requests left finish too
        (void)QTest::qWaitFor([&] { return momentos.size() >= n * porCliente; }, 60000);
    a.TerminarRobot();
    QDateTime desde, hasta;
    const double t = TiempoFactura(a, &desde, &hasta);
    for (const QDateTime& m : momentos)
        *enFactura += m >= desde && m <= hasta;
    return t;
}

int carga(int rondas)
{
    QList<double> sin, con;
    int malas = 0, hechas = 0;
    for (int r = 0; r < rondas; ++r) {
        int m = 0, h = 0, dentro = 0, nada = 0;
        sin << UnaFactura(false, 0, &nada, &nada, &nada);
        con << UnaFactura(true, 2000, &m, &h, &dentro);
        malas += m;
        hechas += h;
        std::printf("carga ronda %d: factura de 20 artículos sin clientes %.3f s, con 50 clientes %.3f s "
                    "(%+.1f %%; %d pedidos, %d mientras imprimía, %d incorrectos)\n",
                    r + 1, sin.last(), con.last(), 100 * (con.last() - sin.last()) / sin.last(), h, dentro, m);
    }
    const double s = Percentil(sin, 0.5), c = Percentil(con, 0.5);
    std::printf("carga: mediana sin %.3f s, con %.3f s: %+.2f %% (meta <= 2 %%); %d pedidos, %d incorrectos\n",
                s, c, 100.0 * (c - s) / s, hechas, malas);
    return malas == 0 && hechas == rondas * 2000 && c <= s * 1.02 ? 0 : 1;
}

int reposo(int segundos)
{
    ArnesTienda con, sin;
    const quint16 puerto = PuertoLibre();
    if (!Preparar(con, 0, {"--estado", QString::number(puerto)}) || !Preparar(sin, 0, {}))
        return 2;
    QTest::qWait(10000); // start-up is not idle time
    const qint64 pidCon = pidDe(con.RutaPrograma()), pidSin = pidDe(sin.RutaPrograma());
    const double c0 = cpuProceso(pidCon), s0 = cpuProceso(pidSin);
    QElapsedTimer reloj;
    reloj.start();
    int raspados = 0;
    while (reloj.elapsed() < segundos * 1000) {
        Cliente c(puerto);
        QByteArray b;
        raspados += c.Pedir("/metrics", &b) && Correcta("/metrics", b);
        QTest::qWait(5000);
    }
    const double pared = reloj.nsecsElapsed() / 1e9;
    const double c = cpuProceso(pidCon) - c0, s = cpuProceso(pidSin) - s0;
    std::printf("reposo %.0f s: con el estado (y %d lecturas de /metrics) CPU %.3f s = %.3f %%; "
                "sin él %.3f s = %.3f %%\n",
                pared, raspados, c, 100 * c / pared, s, 100 * s / pared);
    con.TerminarRobot();
    sin.TerminarRobot();
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString modo = argc > 1 ? QString::fromLatin1(argv[1]) : QStringLiteral("todo");
    const int rondas = argc > 2 ? atoi(argv[2]) : 2;
    const int segundos = argc > 3 ? atoi(argv[3]) : 60;
    int r = 0;
    if (modo == QLatin1String("latencia") || modo == QLatin1String("todo"))
        r |= latencia();
    if (modo == QLatin1String("carga") || modo == QLatin1String("todo"))
        r |= carga(rondas);
    if (modo == QLatin1String("reposo") || modo == QLatin1String("todo"))
        r |= reposo(segundos);
    return r;
}
