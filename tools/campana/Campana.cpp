#include "Campana.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <iterator>

namespace campana
{
namespace
{
// Longest wait for a kill's trigger: a note waits twelve idle ticks of the
// robot, behind any pending invoice.
constexpr int kEsperaMs = 45000;
} // namespace

Campana::Campana(ArnesTienda& a, int caidas, quint32 semilla, const QString& traza)
    : a_(a), caidas_(caidas), azar_(semilla), semilla_(semilla),
      traza_(traza.isEmpty() ? nullptr : std::fopen(qPrintable(traza), "w"))
{
}

QString NombreTipo(Tipo t)
{
    return t == Tipo::Factura ? QStringLiteral("factura") : QStringLiteral("nota");
}

QString Disparo::Texto() const
{
    switch (clase) {
    case Clase::Intercambio:
        return QStringLiteral("intercambio %1").arg(n);
    case Clase::Apertura:
        return QStringLiteral("%1: apertura + %2 tramas").arg(NombreTipo(tipo)).arg(n);
    case Clase::AntesDelCierre:
        return QStringLiteral("%1: última línea + %2 ms").arg(NombreTipo(tipo)).arg(demoraMs);
    case Clase::Marca:
        return QStringLiteral("%1: marca escrita").arg(NombreTipo(tipo));
    case Clase::Cierre:
        return QStringLiteral("%1: cierre + %2 ms").arg(NombreTipo(tipo)).arg(demoraMs);
    case Clase::RespuestaPerdida:
        return QStringLiteral("%1: respuesta perdida + %2 ms").arg(NombreTipo(tipo)).arg(demoraMs);
    case Clase::ApagadaAlCierre:
        return QStringLiteral("%1: apagada antes del cierre + %2 ms")
            .arg(NombreTipo(tipo))
            .arg(demoraMs);
    case Clase::BaseBloqueada:
        return QStringLiteral("%1: base bloqueada al cierre + %2 ms")
            .arg(NombreTipo(tipo))
            .arg(demoraMs);
    }
    return QString();
}

std::optional<Linea> LeerLinea(const QString& texto)
{
    const qsizetype flecha = texto.indexOf(QLatin1String("  ->  "));
    const qsizetype stx = texto.indexOf(QLatin1String("<STX>"));
    if (flecha < 0 || stx < 0 || stx > flecha)
        return std::nullopt;
    const qsizetype etx = texto.lastIndexOf(QLatin1String("<ETX>"), flecha);
    if (etx < stx + 6)
        return std::nullopt;
    Linea l;
    l.comando = texto.mid(stx + 6, etx - stx - 6);
    const QString respuesta = texto.mid(flecha + 6);
    l.rechazada = respuesta.contains(QLatin1String("ERROR")) ||
                  respuesta.startsWith(QLatin1String("(silencio)"));
    return l;
}

// A marker is one signed number and a line end, then what the printer showed

bool MarcaEntera(const QString& ruta, QString* contenido)
{
    QFile f(ruta);
    if (!f.exists()) {
        *contenido = QStringLiteral("(no existe)");
        return true;
    }
    if (!f.open(QIODevice::ReadOnly)) {
        *contenido = QStringLiteral("(ilegible)");
        return false;
    }
    const QByteArray b = f.readAll();
    *contenido = QString::fromLatin1(b).section(QLatin1Char('\n'), 0, 0).trimmed();
    static const QRegularExpression forma(
        QStringLiteral("^ ?-?[0-9]+\r\n((antes|numero|z)=[0-9]+\r\n)*$"));
    return forma.match(QString::fromLatin1(b)).hasMatch();
}

void Campana::RevisarSalida(const QString& quien, const QString& texto)
{
    // Built with the sanitizers (build-san), a report ends up in the output.
    static const QRegularExpression informe(
        QStringLiteral("ERROR: (Address|Leak)Sanitizer|runtime error:"));
    const QRegularExpressionMatch m = informe.match(texto);
    if (m.hasMatch())
        sanitizador_ << quien + QStringLiteral(": ") + texto.mid(m.capturedStart(), 160);
}

bool Campana::Arrancar()
{
    RevisarSalida(QStringLiteral("rovend"), a_.SalidaRobot());
    intercambios_ = 0;
    abiertoAqui_ = false;
    leidoRobot_ = 0;
    if (a_.ArrancarRobot())
        return true;
    error_ = QStringLiteral("rovend no arrancó: ") + a_.ErrorRobot();
    return false;
}

void Campana::AlIntercambio(const QString& texto)
{
    if (traza_)
        std::fprintf(traza_, "SIM %s\n", qPrintable(texto));
    RevisarSalida(QStringLiteral("simfiscal"), texto);
    const std::optional<Linea> l = LeerLinea(texto);
    if (!l)
        return;
    ++intercambios_;
    const QString& c = l->comando;
    ultimo_ = c;
    if (desdeApertura_ >= 0)
        ++desdeApertura_;
    if (desdeFin_ >= 0)
        ++desdeFin_;
    if (desdeCierre_ >= 0)
        ++desdeCierre_;
    bool cierre = false;
    if (c.startsWith(QLatin1String("<BEL><BS>"))) { // the reset cancels the open document
        abierto_.clear();
        desdeApertura_ = desdeFin_ = -1;
    } else if (c.startsWith(QLatin1String("@<FS>")) && !l->rechazada) {
        abierto_ = c.section(QLatin1String("<FS>"), 1, 1);
        abiertoAqui_ = true;
        desdeApertura_ = 0;
        desdeFin_ = desdeCierre_ = -1;
        if (abierto_ == interes_)
            reabierto_ = true;
    } else if (c == QLatin1String("E<FS>A") && !abierto_.isEmpty()) {
        desdeFin_ = 0;
    } else if (c == QLatin1String("E") && !l->rechazada && !abierto_.isEmpty()) {
        if (abierto_ == interes_ && !reabierto_)
            cerradoAlRecuperar_ = true;
        ultimoCerrado_ = abierto_;
        abierto_.clear();
        desdeApertura_ = desdeFin_ = -1;
        desdeCierre_ = 0;
        cierre = true;
    }
    if (!armado_)
        return;
    const Documento* d = porCliente_.contains(abierto_) ? &documentos_[porCliente_[abierto_]]
                         : cierre && porCliente_.contains(ultimoCerrado_)
                             ? &documentos_[porCliente_[ultimoCerrado_]]
                             : nullptr;
    const bool delTipo = d && d->tipo == disparo_.tipo;
    // A note's last line before the closing is its address; an invoice has
    // the address and the payment condition.
    const int finales = disparo_.tipo == Tipo::Factura ? 2 : 1;
    bool ya = false;
    switch (disparo_.clase) {
    case Disparo::Clase::Intercambio:
        ya = intercambios_ >= disparo_.n;
        break;
    case Disparo::Clase::Apertura:
        ya = delTipo && abiertoAqui_ && !cierre && desdeApertura_ == disparo_.n;
        break;
    case Disparo::Clase::AntesDelCierre:
        ya = delTipo && abiertoAqui_ && !cierre && desdeFin_ == finales;
        break;
    case Disparo::Clase::Cierre:
        ya = delTipo && cierre;
        break;
    case Disparo::Clase::Marca: // see AlCambiarCarpeta
        break;
    case Disparo::Clase::RespuestaPerdida:
        // Armed at the opening; the line it hits shows as silence.
        if (delTipo && abiertoAqui_ && desdeApertura_ == 0 && !fallaPuesta_)
            Fallar();
        ya = fallaPuesta_ && delTipo && desdeApertura_ > 0 &&
             texto.contains(QLatin1String("(silencio)"));
        break;
    case Disparo::Clase::ApagadaAlCierre:
        // The last line's reply is still on the line: the closing finds no port.
        if (delTipo && abiertoAqui_ && !cierre && desdeFin_ == finales) {
            Fallar();
            ya = true;
        }
        break;
    case Disparo::Clase::BaseBloqueada:
        if (delTipo && cierre) {
            Fallar();
            ya = true;
        }
        break;
    }
    if (ya)
        Disparar();
}

void Campana::Fallar()
{
    fallaPuesta_ = true;
    switch (disparo_.clase) {
    case Disparo::Clase::RespuestaPerdida:
        a_.OrdenImpresora(QStringLiteral("perder-respuesta 2"));
        break;
    case Disparo::Clase::ApagadaAlCierre:
        a_.OrdenImpresora(QStringLiteral("apagar on"));
        break;
    case Disparo::Clase::BaseBloqueada: {
        bloqueo_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bloqueo"));
        bloqueo_->setDatabaseName(a_.tienda.ArchivoBaseDatos());
        if (bloqueo_->open())
            QSqlQuery(*bloqueo_).exec(QStringLiteral("BEGIN IMMEDIATE"));
        break;
    }
    default:
        break;
    }
}

bool Campana::Reparar()
{
    if (!fallaPuesta_)
        return true;
    fallaPuesta_ = false;
    if (bloqueo_) {
        QSqlQuery(*bloqueo_).exec(QStringLiteral("ROLLBACK"));
        bloqueo_->close();
        bloqueo_.reset();
        QSqlDatabase::removeDatabase(QStringLiteral("bloqueo"));
    }
    // Back on (and no lost reply left armed) before anyone uses the printer.
    a_.OrdenImpresora(QStringLiteral("normal"));
    QElapsedTimer espera;
    espera.start();
    while (!QFileInfo::exists(a_.RutaImpresora()) && !espera.hasExpired(5000))
        QTest::qWait(10);
    if (QFileInfo::exists(a_.RutaImpresora()))
        return true;
    error_ = QStringLiteral("la impresora simulada no volvió a encenderse");
    return false;
}

void Campana::AlCambiarCarpeta()
{
    // The marker is renamed into place just before the closing goes out:
    // the kill lands between the two.
    if (!armado_ || disparo_.clase != Disparo::Clase::Marca || !abiertoAqui_ ||
        !porCliente_.contains(abierto_))
        return;
    const Documento& d = documentos_[porCliente_[abierto_]];
    if (d.tipo != disparo_.tipo)
        return;
    QString marca;
    const QString archivo =
        d.tipo == Tipo::Factura ? QStringLiteral("Log.log") : QStringLiteral("LogNota.log");
    if (MarcaEntera(QDir(a_.RutaPrograma()).filePath(archivo), &marca) &&
        marca == QString::number(d.codigo))
        Disparar();
}

void Campana::Disparar()
{
    armado_ = false;
    if (disparo_.demoraMs <= 0)
        return Matar();
    QTimer::singleShot(disparo_.demoraMs, Qt::PreciseTimer, &contexto_, [this] { Matar(); });
}

void Campana::Matar()
{
    if (muerto_ || !a_.RobotVivo())
        return;
    a_.MatarRobot();
    muerto_ = true;
}

Documento* Campana::EnCurso()
{
    // The document open on the printer, or the one whose closing just went
    // out and whose number may not be written yet.
    const int numeroTras = 2;
    QString cliente = abierto_;
    if (cliente.isEmpty() && desdeCierre_ >= 0 && desdeCierre_ <= numeroTras)
        cliente = ultimoCerrado_;
    return porCliente_.contains(cliente) ? &documentos_[porCliente_[cliente]] : nullptr;
}

Campana::Estado Campana::EstadoDe(const Documento& d, QString* numero)
{
    // A row written back stays so: ask the database only about the others.
    if (const auto r = resueltos_.constFind(d.cliente); r != resueltos_.cend()) {
        if (numero)
            *numero = r->second;
        return r->first;
    }
    const QSqlRecord r = d.tipo == Tipo::Factura ? a_.Venta(d.codigo) : a_.Nota(d.codigo);
    const QVariant control = r.value(QStringLiteral("Control"));
    if (numero)
        *numero = control.toString();
    Estado e = Estado::Pendiente;
    if (!control.isNull() && r.value(QStringLiteral("Impresa")).toInt() != 0)
        e = Estado::Anotado;
    else if (r.value(QStringLiteral("Impresa")).toInt() != 0 &&
             r.value(QStringLiteral("Imprimir")).toInt() == 0)
        e = Estado::Recuperado;
    if (e != Estado::Pendiente)
        resueltos_.insert(d.cliente, {e, control.toString()});
    return e;
}

int Campana::Pendientes(Tipo t)
{
    int n = 0;
    for (const Documento& d : std::as_const(documentos_))
        if (d.tipo == t && EstadoDe(d) == Estado::Pendiente)
            ++n;
    return n;
}

bool Campana::Reponer(bool nota)
{
    // The shop's sales program keeps adding documents.
    if (nota) {
        if (Pendientes(Tipo::Nota) > 0)
            return true;
        NotaDemo n;
        n.NombreCliente = QStringLiteral("Nota %1").arg(++notas_);
        n.Monto = 10.0 + notas_;
        const qlonglong codigo = a_.tienda.AgregarNota(n);
        if (codigo <= 0)
            return false;
        documentos_.append({Tipo::Nota, codigo, n.NombreCliente.toString()});
        porCliente_.insert(documentos_.last().cliente, int(documentos_.size() - 1));
    } else {
        for (int faltan = 2 - Pendientes(Tipo::Factura); faltan > 0; --faltan) {
            VentaDemo v;
            v.NombreCliente = QStringLiteral("Venta %1").arg(++ventas_);
            v.Lineas = {LineaDemo{}};
            v.Lineas[0].Precio = 10.0 + ventas_;
            const qlonglong codigo = a_.tienda.AgregarVenta(v);
            if (codigo <= 0)
                return false;
            documentos_.append({Tipo::Factura, codigo, v.NombreCliente.toString()});
            porCliente_.insert(documentos_.last().cliente, int(documentos_.size() - 1));
        }
    }
    return true;
}

Disparo Campana::Planear(int i, bool nota)
{
    static const int kDemorasCierre[] = {0, 20, 60, 150, 400};
    Disparo d;
    d.tipo = nota ? Tipo::Nota : Tipo::Factura;
    // Weighted towards the closing: a sixth of the invoice kills at any
    // exchange, a sixth inside the document, the rest around its closing.
    static const Disparo::Clase kFactura[] = {
        Disparo::Clase::Intercambio, Disparo::Clase::Apertura, Disparo::Clase::AntesDelCierre,
        Disparo::Clase::Marca,       Disparo::Clase::Cierre,   Disparo::Clase::Cierre,
    };
    // The notes take the four moments in turn, so that a short run meets each.
    static const Disparo::Clase kNota[] = {Disparo::Clase::Marca, Disparo::Clase::Apertura,
                                           Disparo::Clase::AntesDelCierre, Disparo::Clase::Cierre};
    // A third of the kills come with a fault of the line, the printer or the database.
    static const Disparo::Clase kFallas[] = {Disparo::Clase::RespuestaPerdida,
                                             Disparo::Clase::ApagadaAlCierre,
                                             Disparo::Clase::BaseBloqueada};
    d.clase = nota                    ? (i / 5) % 3 == 2 ? kFallas[(i / 15) % std::size(kFallas)]
                                                         : kNota[(i / 5) % std::size(kNota)]
                                 : azar_.bounded(3) == 0 ? kFallas[azar_.bounded(quint32(std::size(kFallas)))]
                                      : kFactura[azar_.bounded(quint32(std::size(kFactura)))];
    switch (d.clase) {
    case Disparo::Clase::Intercambio:
        // Start-up takes 4 exchanges and each invoice about 9; two are pending.
        d.n = 1 + int(azar_.bounded(18));
        break;
    case Disparo::Clase::Apertura:
        d.n = int(azar_.bounded(4));
        break;
    case Disparo::Clase::AntesDelCierre:
        // The reply to that line reaches the robot some 50 ms after the
        // simulator read it (9600 baud both ways); the marker is written and
        // the closing sent a few ms later. Around that instant.
        d.demoraMs = 42 + int(azar_.bounded(13));
        break;
    case Disparo::Clase::Marca:
        break;
    case Disparo::Clase::Cierre:
        d.demoraMs = kDemorasCierre[azar_.bounded(5)];
        break;
    case Disparo::Clase::RespuestaPerdida:
    case Disparo::Clase::ApagadaAlCierre:
        // While the robot waits for the lost reply, or after it gave up.
        d.demoraMs = int(azar_.bounded(600));
        break;
    case Disparo::Clase::BaseBloqueada:
        // While the write-back waits for the lock.
        d.demoraMs = 100 + int(azar_.bounded(3000));
        break;
    }
    return d;
}

bool Campana::Operador()
{
    const QString salida = a_.SalidaRobot();
    if (!a_.RobotVivo() && !muerto_) {
        // It ended on its own: whatever it said, start it again.
        avisos_ << QStringLiteral("terminó solo: ") + salida.mid(leidoRobot_).simplified().left(80);
        return Arrancar();
    }
    const qsizetype p = salida.indexOf(QLatin1String("Rovend: "), leidoRobot_);
    if (p < 0)
        return true;
    // The message goes out in one write; wait for the rest of its lines.
    QTest::qWait(200);
    const QString mensaje = a_.SalidaRobot().mid(p + 8);
    leidoRobot_ = a_.SalidaRobot().size();
    const QString aviso = mensaje.section(QLatin1Char('\n'), 0, 0).left(110);
    if (!avisos_.contains(aviso))
        avisos_ << aviso;
    if (traza_)
        std::fprintf(traza_, "ROBOT %s\n", qPrintable(a_.SalidaRobot()));
    const bool abierto = mensaje.contains(QStringLiteral("que el robot no abrió")) ||
                         mensaje.contains(QLatin1String("quedado abierta")) ||
                         mensaje.contains(QStringLiteral("quedó abiert"), Qt::CaseInsensitive);
    const bool armado = armado_;
    armado_ = false;
    if (a_.TerminarRobot() < 0)
        a_.MatarRobot();
    if (!Reparar())
        return false;
    if (abierto) {
        if (!a_.ResetearImpresora()) {
            error_ = QStringLiteral("pruebaenlace no pudo resetear la impresora");
            return false;
        }
        ++reseteos_;
    }
    const bool ok = Arrancar();
    armado_ = armado;
    return ok;
}

QString Campana::Cerrar()
{
    // The outcome of the last kill, from what followed it.
    if (interes_.isEmpty())
        return avisos_.isEmpty()
                   ? QStringLiteral("sin documento en curso")
                   : QStringLiteral("sin documento en curso; aviso: ") + avisos_.join(" / ");
    const Documento& d = documentos_[porCliente_[interes_]];
    QStringList r;
    if (estadoAlCaer_ == Estado::Anotado)
        r << QStringLiteral("ya anotado antes de caer");
    for (const QString& a : std::as_const(avisos_))
        r << QStringLiteral("aviso: ") + a;
    if (reseteos_ > reseteosDesde_)
        r << QStringLiteral("reset por el operador");
    if (cerradoAlRecuperar_)
        r << QStringLiteral("cerrado al recuperar (seguía abierto)");
    if (reabierto_)
        r << QStringLiteral("impreso de nuevo completo");
    QString numero;
    switch (EstadoDe(d, &numero)) {
    case Estado::Anotado:
        if (estadoAlCaer_ != Estado::Anotado)
            r << QStringLiteral("anotado con el número ") + numero;
        break;
    case Estado::Recuperado:
        r << QStringLiteral("marcado impreso por la recuperación");
        break;
    case Estado::Pendiente:
        r << QStringLiteral("pendiente al caer de nuevo");
        break;
    }
    return r.join(QStringLiteral("; "));
}

bool Campana::Correr()
{
    a_.AlIntercambio([this](const QString& l) { AlIntercambio(l); });
    QFileSystemWatcher vigia({a_.RutaPrograma()});
    QObject::connect(&vigia, &QFileSystemWatcher::directoryChanged, &contexto_,
                     [this] { AlCambiarCarpeta(); });
    for (int i = 0; i < caidas_; ++i) {
        const bool nota = i % 5 == 4;
        if (!Reponer(nota)) {
            error_ = a_.tienda.Error();
            return false;
        }
        disparo_ = Planear(i, nota);
        muerto_ = false;
        armado_ = true;
        if (!a_.RobotVivo() && !Arrancar())
            return false;
        QElapsedTimer espera;
        espera.start();
        bool agotado = false;
        QElapsedTimer repuesto;
        repuesto.start();
        while (!muerto_) {
            QTest::qWait(20);
            if (!Operador())
                return false;
            // A document settled by recovery leaves nothing for the trigger:
            // the sales program adds another while the robot runs.
            if (armado_ && disparo_.clase != Disparo::Clase::Intercambio &&
                repuesto.hasExpired(2000)) {
                repuesto.restart();
                if (Pendientes(disparo_.tipo) == 0 && !Reponer(disparo_.tipo == Tipo::Nota)) {
                    error_ = a_.tienda.Error();
                    return false;
                }
            }
            if (!muerto_ && espera.hasExpired(kEsperaMs)) {
                // Nothing to set it off (or a robot stuck): kill it anyway.
                agotado = true;
                armado_ = false;
                Matar();
            }
        }
        // The simulator's last lines before the kill.
        QTest::qWait(100);
        if (!Reparar())
            return false;
        // The outcome of the kill before this one is known now.
        if (!registro_.isEmpty())
            registro_.last().resultado = Cerrar();

        Caida c;
        c.numero = i + 1;
        c.disparo = agotado ? QStringLiteral("tiempo agotado") : disparo_.Texto();
        c.intercambio = intercambios_;
        Documento* d = EnCurso();
        const bool cerrado = ultimo_ == QLatin1String("E");
        QString log, lognota;
        const bool logBien = MarcaEntera(QDir(a_.RutaPrograma()).filePath("Log.log"), &log);
        const bool notaBien =
            MarcaEntera(QDir(a_.RutaPrograma()).filePath("LogNota.log"), &lognota);
        c.marcas = QStringLiteral("Log.log=%1 LogNota.log=%2").arg(log, lognota);
        // The marker names the open document: its closing was about to go out.
        const bool marcado =
            d && !abierto_.isEmpty() &&
            (d->tipo == Tipo::Factura ? log : lognota) == QString::number(d->codigo);
        c.momento =
            marcado ? QStringLiteral("marca escrita, cierre sin enviar")
            : !abierto_.isEmpty()
                ? (desdeFin_ >= 0 ? QStringLiteral("documento abierto, artículos terminados")
                                  : QStringLiteral("documento abierto"))
            : cerrado            ? QStringLiteral("cierre enviado")
            : d                  ? QStringLiteral("esperando el número tras el cierre")
            : intercambios_ <= 4 ? QStringLiteral("arranque")
                                 : QStringLiteral("entre documentos");
        c.documento = d ? d->cliente : QString();
        if (!logBien || !notaBien)
            marcasRotas_ << QStringLiteral("caída %1: %2").arg(c.numero).arg(c.marcas);
        registro_ << c;

        interes_ = c.documento;
        estadoAlCaer_ = d ? EstadoDe(*d) : Estado::Pendiente;
        reabierto_ = cerradoAlRecuperar_ = false;
        avisos_.clear();
        reseteosDesde_ = reseteos_;
    }

    // The last restart: everything printed or explained.
    if (!Arrancar())
        return false;
    muerto_ = false;
    QElapsedTimer espera;
    espera.start();
    while (Pendientes(Tipo::Factura) + Pendientes(Tipo::Nota) > 0 && !espera.hasExpired(360000)) {
        QTest::qWait(500);
        if (!Operador())
            return false;
    }
    if (!registro_.isEmpty())
        registro_.last().resultado = Cerrar();
    a_.TerminarRobot();
    RevisarSalida(QStringLiteral("rovend"), a_.SalidaRobot());
    const QDir carpeta(a_.RutaPrograma());
    temporales_ = int(carpeta.entryList({QStringLiteral("Log*.log.*")}, QDir::Files).size());
    return true;
}

QStringList Campana::Verificar()
{
    QStringList fallas = marcasRotas_ + sanitizador_;
    // The journal: at most one fiscal document per sale and per note.
    QMap<QString, QList<int>> impresos;
    int anulados = 0;
    for (const QJsonObject& o : a_.Diario()) {
        const QString tipo = o.value(QStringLiteral("tipo")).toString();
        if (tipo == QLatin1String("factura") || tipo == QLatin1String("nota_credito"))
            impresos[o.value(QStringLiteral("cliente")).toString()]
                << o.value(QStringLiteral("numero")).toInt();
        else if (tipo == QLatin1String("anulado"))
            ++anulados;
    }
    if (anulados > reseteos_)
        fallas << QStringLiteral("%1 documentos anulados y sólo %2 reseteos")
                      .arg(anulados)
                      .arg(reseteos_);
    const QString mensajes = a_.SalidaRobot();
    for (const Documento& d : std::as_const(documentos_)) {
        const QList<int> suyos = impresos.value(d.cliente);
        QString numero;
        const Estado e = EstadoDe(d, &numero);
        const QString quien =
            QStringLiteral("%1 %2 (%3)").arg(NombreTipo(d.tipo)).arg(d.codigo).arg(d.cliente);
        if (suyos.size() > 1)
            fallas << quien + QStringLiteral(": impresa %1 veces").arg(suyos.size());
        switch (e) {
        case Estado::Anotado:
            // Its own number, the one the printer gave it.
            if (suyos.size() != 1 ||
                numero != QStringLiteral("%1").arg(suyos.value(0), 8, 10, QLatin1Char('0')))
                fallas << quien + QStringLiteral(": anotada con %1, el diario dice %2")
                                      .arg(numero, QString::number(suyos.value(0)));
            break;
        case Estado::Recuperado:
            // Marked printed without a number: it must really have been printed.
            if (suyos.size() != 1)
                fallas << quien + QStringLiteral(": marcada impresa sin haberse impreso");
            break;
        case Estado::Pendiente:
            if (!suyos.isEmpty())
                fallas << quien + QStringLiteral(": impresa y pendiente");
            else if (!mensajes.contains(QLatin1String("Rovend: ")) ||
                     !mensajes.contains(
                         QRegularExpression(QStringLiteral("\\b%1\\b").arg(d.codigo))))
                fallas << quien + QStringLiteral(": pendiente sin un mensaje que lo explique");
            break;
        }
    }
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("integridad"));
        db.setDatabaseName(a_.tienda.ArchivoBaseDatos());
        QSqlQuery q(db);
        if (!db.open() || !q.exec(QStringLiteral("PRAGMA integrity_check")) || !q.next() ||
            q.value(0).toString() != QLatin1String("ok"))
            fallas << QStringLiteral("PRAGMA integrity_check: ") + q.value(0).toString();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("integridad"));
    return fallas;
}

QStringList Campana::Tabla() const
{
    QStringList t;
    t << QStringLiteral(
             "Campaña de caídas: %1 caídas, semilla %2, %3 ventas, %4 notas, %5 reseteos, "
             "%6 temporales de marca sobrantes")
             .arg(registro_.size())
             .arg(semilla_)
             .arg(ventas_)
             .arg(notas_)
             .arg(reseteos_)
             .arg(temporales_);
    t << QStringLiteral("| # | disparo | intercambio | momento | documento | marcas tras la caída "
                        "| terminó en |");
    t << QStringLiteral("|---|---|---|---|---|---|---|");
    for (const Caida& c : registro_)
        t << QStringLiteral("| %1 | %2 | %3 | %4 | %5 | %6 | %7 |")
                 .arg(c.numero)
                 .arg(c.disparo)
                 .arg(c.intercambio)
                 .arg(c.momento, c.documento.isEmpty() ? QStringLiteral("-") : c.documento,
                      c.marcas, c.resultado);
    return t;
}

QStringList Campana::Resumen() const
{
    // Counts per moment and per kind of ending.
    QMap<QString, int> cuenta;
    for (const Caida& c : registro_) {
        QString fin = c.resultado;
        fin.replace(QRegularExpression(QStringLiteral("número [0-9]+")),
                    QStringLiteral("número N"));
        fin.replace(QRegularExpression(QStringLiteral("aviso: [^;]*")), QStringLiteral("aviso"));
        cuenta[c.momento + QStringLiteral(" -> ") + fin] += 1;
    }
    QStringList r;
    for (auto it = cuenta.cbegin(); it != cuenta.cend(); ++it)
        r << QStringLiteral("%1 x %2").arg(it.value(), 3).arg(it.key());
    return r;
}
} // namespace campana
