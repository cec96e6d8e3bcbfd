#include "MaquinaFiscal.h"

#include "comun/CodigoPagina.h"
#include "impresora/Protocolo.h"

#include <QJsonArray>

namespace
{
using Tipo = DocumentoImpreso::Tipo;
using Renglon = DocumentoImpreso::Renglon;

// Largest document or day total, in hundredths; keeps base times rate in range.
constexpr qint64 kMaximoTotal = 100'000'000'000'000LL;
constexpr int kLineasProgramables = 5;

// The last `ancho` digits of v, zero-padded: fixed-width reply fields wrap.
QByteArray Relleno(qint64 v, int ancho)
{
    QByteArray d = QByteArray::number(v < 0 ? 0 : v);
    if (d.size() > ancho)
        d = d.right(ancho);
    return d.rightJustified(ancho, '0');
}

bool SoloDigitos(QByteArrayView s, qsizetype minimo, qsizetype maximo)
{
    if (s.size() < minimo || s.size() > maximo)
        return false;
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

QString ATexto(const QByteArray& b)
{
    return CodigoPagina::ATexto(b);
}

QString Importe(qint64 centesimas)
{
    const QString signo = centesimas < 0 ? QStringLiteral("-") : QString();
    const qint64 v = centesimas < 0 ? -centesimas : centesimas;
    return signo + QStringLiteral("%1.%2").arg(v / 100).arg(v % 100, 2, 10, QLatin1Char('0'));
}

// yymmdd; the years are this century's, as the printer's own clock.
std::optional<QDate> FechaCorta(QByteArrayView s)
{
    if (!SoloDigitos(s, 6, 6))
        return std::nullopt;
    const QByteArray b = s.toByteArray();
    const QDate d(2000 + b.mid(0, 2).toInt(), b.mid(2, 2).toInt(), b.mid(4, 2).toInt());
    if (!d.isValid())
        return std::nullopt;
    return d;
}

bool FechaFacturaValida(QByteArrayView s)
{
    if (s.isEmpty())
        return true;
    if (!SoloDigitos(s, 8, 8))
        return false;
    const QByteArray b = s.toByteArray();
    return QDate(b.mid(4, 4).toInt(), b.mid(0, 2).toInt(), b.mid(2, 2).toInt()).isValid();
}

QByteArray FechaYYMMDD(const QDateTime& t)
{
    return t.date().toString(QStringLiteral("yyMMdd")).toLatin1();
}

QByteArray HoraHHMMSS(const QDateTime& t)
{
    return t.time().toString(QStringLiteral("HHmmss")).toLatin1();
}

QByteArray Hex4(quint16 v)
{
    return QByteArray::number(v, 16).toUpper().rightJustified(4, '0');
}

bool EsConsulta(char cmd)
{
    return cmd == '8' || cmd == 'Y' || static_cast<unsigned char>(cmd) == 0x80;
}
} // namespace

QByteArray MaquinaFiscal::ComandoReset()
{
    QByteArray r;
    for (char c = 7; c <= 23; ++c)
        r.append(c);
    return r;
}

QByteArray MaquinaFiscal::Resultado::Contenido() const
{
    QByteArray b;
    b.append(eco);
    b.append(Protocolo::FS);
    b.append(Hex4(estado1));
    b.append(Protocolo::FS);
    b.append(Hex4(estado2));
    b.append(Protocolo::FS);
    for (qsizetype i = 0; i < campos.size(); ++i) {
        if (i > 0)
            b.append(Protocolo::FS);
        b.append(campos.at(i));
    }
    return b;
}

QByteArray MaquinaFiscal::Resultado::Motivo() const
{
    if (aceptado || campos.size() < 2)
        return QByteArray();
    return campos.at(1);
}

MaquinaFiscal::MaquinaFiscal()
{
    for (int i = 0; i < kLineasProgramables; ++i) {
        encabezado_.append(QString());
        pie_.append(QString());
    }
}

void MaquinaFiscal::ponerContadores(const Contadores& c)
{
    c_ = c;
    facturaAlZ_ = qMin(facturaAlZ_, c_.ultimaFactura);
}

QByteArray MaquinaFiscal::codigoEstado() const
{
    if (!estadoForzado_.isEmpty())
        return estadoForzado_;
    if (!doc_)
        return "00";
    return doc_->tipo == Tipo::NoFiscal ? "02" : "01";
}

void MaquinaFiscal::rechazarEnesimo(int n)
{
    rechazoEnesimo_ = qMax(0, n);
}

void MaquinaFiscal::rechazarComando(char comando, int veces)
{
    if (veces == 0)
        rechazosComando_.remove(comando);
    else
        rechazosComando_[comando] = veces;
}

void MaquinaFiscal::numeroOcupado(int consultas)
{
    numeroOcupado_ = consultas;
    if (consultas == 0)
        consultasOcupadas_ = 0;
}

void MaquinaFiscal::forzarEstado(const QByteArray& codigo)
{
    estadoForzado_ = (codigo == "00") ? QByteArray() : codigo;
}

void MaquinaFiscal::limpiarFallas()
{
    rechazoEnesimo_ = 0;
    rechazosComando_.clear();
    numeroOcupado_ = 0;
    consultasOcupadas_ = 0;
    estadoForzado_.clear();
}

MaquinaFiscal::Resultado MaquinaFiscal::Rechazo(quint16 bits, const char* motivo)
{
    Resultado r;
    r.aceptado = false;
    r.estado1 = bits;
    r.campos = {QByteArrayLiteral("ERROR"), QByteArray(motivo)};
    return r;
}

bool MaquinaFiscal::rechazoPorFalla(char cmd)
{
    bool rechazar = false;
    if (rechazoEnesimo_ > 0 && --rechazoEnesimo_ == 0)
        rechazar = true;
    auto it = rechazosComando_.find(cmd);
    if (it != rechazosComando_.end()) {
        rechazar = true;
        if (it.value() > 0 && --it.value() == 0)
            rechazosComando_.erase(it);
    }
    return rechazar;
}

void MaquinaFiscal::terminar(Resultado& r) const
{
    if (estadoForzado_ == "04" || estadoForzado_ == "08")
        r.estado1 |= kCierreNecesario;
    if (doc_)
        r.estado1 |= doc_->tipo == Tipo::NoFiscal ? kNoFiscalAbierto : kFiscalAbierto;
    if (r.estado1 & kBitsError)
        r.estado1 |= kOrErrores;
    const int codigo = estadoForzado_.toInt();
    if (codigo >= 10 && codigo <= 14)
        r.estado2 |= kFallaImpresora;
    if (r.estado2 & (kFallaImpresora | kFueraDeLinea | kSinPapel))
        r.estado2 |= kOrImpresora;
}

MaquinaFiscal::Resultado MaquinaFiscal::ejecutar(QByteArrayView comando, const QDateTime& ahora)
{
    Resultado r;
    const char cmd = comando.isEmpty() ? ' ' : comando.front();
    const QByteArrayView resto = comando.isEmpty() ? QByteArrayView() : comando.sliced(1);
    if (rechazoPorFalla(cmd)) {
        r = Rechazo(kCampoInvalido, "RECHAZO SIMULADO");
    } else if (comando.isEmpty()) {
        r = Rechazo(kComandoDesconocido, "COMANDO VACIO");
    } else if (comando == ComandoReset()) {
        const int codigo = estadoForzado_.toInt();
        r = (codigo >= 10 && codigo <= 14) ? Rechazo(kErrorMemoriaTrabajo, "ERROR CRITICO")
                                           : reset(ahora);
    } else if (!resto.isEmpty() && resto.front() != Protocolo::FS) {
        // Every field is preceded by FS; anything else glued to the command
        // byte is not a command this printer knows.
        r = Rechazo(kComandoDesconocido, "COMANDO INVALIDO");
    } else {
        QList<QByteArray> campos;
        if (!resto.isEmpty())
            campos = resto.sliced(1).toByteArray().split(Protocolo::FS);
        r = despachar(cmd, campos, ahora);
    }
    r.eco = cmd;
    terminar(r);
    return r;
}

MaquinaFiscal::Resultado MaquinaFiscal::despachar(char cmd, const QList<QByteArray>& campos,
                                                  const QDateTime& ahora)
{
    const int codigo = estadoForzado_.toInt();
    if (codigo >= 10 && codigo <= 14 && !EsConsulta(cmd)) {
        static const quint16 bits[] = {kErrorMemoriaTrabajo, kErrorMemoriaFiscal,
                                       kErrorMemoriaTrabajo, kErrorMemoriaFiscal, kMemoriaLlena};
        return Rechazo(bits[codigo - 10], "ERROR CRITICO");
    }
    const QByteArray primero = campos.value(0);
    switch (cmd) {
    case '8':
        return estadoConsulta(primero, ahora);
    case '9':
        return cierre(primero, ahora);
    case 'Y': {
        Resultado r;
        r.campos = {FechaYYMMDD(ahora), HoraHHMMSS(ahora)};
        return r;
    }
    case 'P': {
        int lineas = 1;
        if (primero.size() == 1 && primero.at(0) >= 1 && primero.at(0) < 32)
            lineas = primero.at(0);
        else if (SoloDigitos(primero, 1, 2))
            lineas = qMax(1, primero.toInt());
        else if (!campos.isEmpty())
            return Rechazo(kCampoInvalido, "CAMPO INVALIDO");
        Resultado r;
        r.avance = lineas;
        return r;
    }
    case 'K': {
        Resultado r;
        r.corte = true;
        return r;
    }
    case 'H': {
        if (doc_)
            return Rechazo(kComandoInvalidoEstado, "DOCUMENTO ABIERTO");
        doc_ = nuevo(Tipo::NoFiscal, ahora);
        subtotal_ = false;
        return Resultado();
    }
    case 'I': {
        if (!doc_ || doc_->tipo != Tipo::NoFiscal)
            return Rechazo(kComandoInvalidoEstado, "NO HAY DOCUMENTO NO FISCAL");
        if (campos.isEmpty())
            return Rechazo(kCampoInvalido, "CAMPO INVALIDO");
        doc_->renglones.append(Renglon{Renglon::Clase::Texto, ATexto(primero), {}});
        return Resultado();
    }
    case 'J': {
        if (!doc_ || doc_->tipo != Tipo::NoFiscal)
            return Rechazo(kComandoInvalidoEstado, "NO HAY DOCUMENTO NO FISCAL");
        Resultado r;
        doc_->numero = ++c_.ultimoNoFiscal;
        doc_->hora = ahora;
        r.campos = {Relleno(doc_->numero, 8)};
        r.impreso = std::move(*doc_);
        r.guardar = true;
        doc_.reset();
        return r;
    }
    case '@':
        return abrirFiscal(campos, ahora);
    case 'A': {
        if (!doc_ || !doc_->esFiscal())
            return Rechazo(kComandoInvalidoEstado, "NO HAY DOCUMENTO FISCAL");
        if (campos.isEmpty())
            return Rechazo(kCampoInvalido, "CAMPO INVALIDO");
        doc_->renglones.append(Renglon{Renglon::Clase::Texto, ATexto(primero), {}});
        return Resultado();
    }
    case 'B':
        return articulo(campos);
    case 'E':
        return finFiscal(campos, ahora);
    case ']':
    case '^':
        return lineaProgramada(cmd, campos);
    case ':':
        return reportePorFechas(campos, ahora);
    case ';':
        return reportePorZ(campos, ahora);
    default:
        break;
    }
    if (static_cast<unsigned char>(cmd) == 0x80) {
        if (!campos.isEmpty())
            return Rechazo(kCampoInvalido, "CAMPO INVALIDO");
        Resultado r;
        r.campos = {registro_.left(10).leftJustified(10, ' ')};
        return r;
    }
    return Rechazo(kComandoDesconocido, "COMANDO INVALIDO");
}

MaquinaFiscal::Resultado MaquinaFiscal::estadoConsulta(const QByteArray& que,
                                                       const QDateTime& ahora)
{
    Resultado r;
    if (que == "N") {
        QByteArray factura = Relleno(c_.ultimaFactura, 8);
        if (consultasOcupadas_ != 0) {
            factura = "NNNNNNNN";
            if (consultasOcupadas_ > 0)
                --consultasOcupadas_;
        }
        r.campos = {FechaYYMMDD(ahora),
                    HoraHHMMSS(ahora),
                    Relleno(c_.ultimoNoFiscal, 8),
                    Relleno(c_.documentosDesdeZ, 9),
                    factura,
                    Relleno(c_.ultimaNotaCredito, 8),
                    Relleno(c_.z, 4)};
    } else if (que == "T") {
        r.campos = {"00", codigoEstado(), Relleno(c_.ultimaFactura, 8),
                    Relleno(c_.ultimoNoFiscal, 8), Relleno(c_.ultimaNotaCredito, 4)};
    } else if (que.size() == 1 && QByteArrayView("AEBCDRFJSU").contains(que.at(0))) {
        // Plain status: the two words say it all.
    } else {
        return Rechazo(kCampoInvalido, "CAMPO INVALIDO");
    }
    return r;
}

DocumentoImpreso MaquinaFiscal::nuevo(DocumentoImpreso::Tipo t, const QDateTime& ahora) const
{
    DocumentoImpreso d;
    d.tipo = t;
    d.hora = ahora;
    d.z = c_.z + 1;
    d.encabezado = encabezado_;
    d.pie = pie_;
    d.registro = QString::fromLatin1(registro_);
    return d;
}

MaquinaFiscal::Resultado MaquinaFiscal::cierre(const QByteArray& que, const QDateTime& ahora)
{
    if (que != "Z" && que != "X")
        return Rechazo(kCampoInvalido, "CAMPO INVALIDO");
    if (doc_)
        return Rechazo(kComandoInvalidoEstado, "DOCUMENTO ABIERTO");

    const bool z = que == "Z";
    DocumentoImpreso d = nuevo(z ? Tipo::CierreZ : Tipo::CierreX, ahora);
    const int primera = c_.ultimaFactura > facturaAlZ_ ? facturaAlZ_ + 1 : 0;
    d.numero = z ? c_.z + 1 : cierresX_ + 1;
    auto linea = [&d](const QString& s) {
        d.renglones.append(Renglon{Renglon::Clase::Texto, s, {}});
    };
    linea(z ? QStringLiteral("CIERRE Z N. %1").arg(d.numero, 4, 10, QLatin1Char('0'))
            : QStringLiteral("LECTURA X N. %1").arg(d.numero, 4, 10, QLatin1Char('0')));
    linea(QStringLiteral("DOCUMENTOS FISCALES: %1").arg(c_.documentosDesdeZ));
    if (primera > 0)
        linea(QStringLiteral("FACTURAS: %1 A %2")
                  .arg(primera, 8, 10, QLatin1Char('0'))
                  .arg(c_.ultimaFactura, 8, 10, QLatin1Char('0')));
    linea(QStringLiteral("VENTAS: %1").arg(Importe(c_.ventasDia)));
    linea(QStringLiteral("NOTAS DE CREDITO: %1").arg(Importe(c_.notasDia)));
    linea(QStringLiteral("NETO: %1").arg(Importe(c_.ventasDia - c_.notasDia)));
    d.total = c_.ventasDia - c_.notasDia;

    Resultado r;
    r.guardar = true;
    if (z) {
        historial_.append(ResumenZ{d.numero, ahora, c_.documentosDesdeZ, c_.ventasDia, c_.notasDia,
                                   primera, primera > 0 ? c_.ultimaFactura : 0});
        c_.z = d.numero;
        c_.documentosDesdeZ = 0;
        c_.ventasDia = 0;
        c_.notasDia = 0;
        facturaAlZ_ = c_.ultimaFactura;
        cierresX_ = 0;
        // A forced "day must be closed" state is what this closing settles.
        if (estadoForzado_ == "04" || estadoForzado_ == "08")
            estadoForzado_.clear();
        r.campos = {Relleno(c_.z, 4)};
    } else {
        cierresX_ = d.numero;
        r.campos = {Relleno(c_.z, 4)};
    }
    r.impreso = std::move(d);
    return r;
}

MaquinaFiscal::Resultado MaquinaFiscal::abrirFiscal(const QList<QByteArray>& campos,
                                                    const QDateTime& ahora)
{
    if (doc_)
        return Rechazo(kComandoInvalidoEstado, "DOCUMENTO ABIERTO");
    if (estadoForzado_ == "04" || estadoForzado_ == "08")
        return Rechazo(kComandoInvalidoEstado, "DEBE HACER CIERRE Z");
    if (campos.size() < 2)
        return Rechazo(kCampoInvalido, "CAMPO INVALIDO");
    const bool nota = campos.size() >= 7 && campos.at(6) == "D";
    DocumentoImpreso d = nuevo(nota ? Tipo::NotaCredito : Tipo::Factura, ahora);
    d.cliente = ATexto(campos.at(0));
    d.rif = ATexto(campos.at(1));
    if (nota) {
        if (!FechaFacturaValida(campos.at(4)))
            return Rechazo(kCampoInvalido, "FECHA INVALIDA");
        d.facturaAfectada = ATexto(campos.at(2));
        d.serial = ATexto(campos.at(3));
        d.fechaFactura = ATexto(campos.at(4));
    }
    doc_ = std::move(d);
    subtotal_ = false;
    return Resultado();
}

MaquinaFiscal::Resultado MaquinaFiscal::articulo(const QList<QByteArray>& campos)
{
    if (!doc_ || !doc_->esFiscal())
        return Rechazo(kComandoInvalidoEstado, "NO HAY DOCUMENTO FISCAL");
    if (subtotal_)
        return Rechazo(kComandoInvalidoEstado, "ARTICULOS TERMINADOS");
    if (campos.size() < 4)
        return Rechazo(kCampoInvalido, "CAMPO INVALIDO");
    // Bounds keep quantity times price inside 64 bits.
    if (!SoloDigitos(campos.at(1), 1, 8))
        return Rechazo(kCampoInvalido, "CANTIDAD INVALIDA");
    if (!SoloDigitos(campos.at(2), 1, 10))
        return Rechazo(kCampoInvalido, "PRECIO INVALIDO");
    if (!SoloDigitos(campos.at(3), 4, 4))
        return Rechazo(kCampoInvalido, "TASA INVALIDA");
    if (campos.size() >= 5 && campos.at(4) != "M")
        return Rechazo(kCampoInvalido, "CAMPO INVALIDO");

    DocumentoImpreso::Articulo a;
    a.descripcion = ATexto(campos.at(0));
    a.cantidad = campos.at(1).toLongLong();
    a.precio = campos.at(2).toLongLong();
    a.tasa = campos.at(3).toInt();

    DocumentoImpreso prueba = *doc_;
    prueba.renglones.append(Renglon{Renglon::Clase::Articulo, QString(), a});
    const qint64 dia = doc_->tipo == Tipo::Factura ? c_.ventasDia : c_.notasDia;
    if (DocumentoImpreso::Importe(a) > kMaximoTotal || prueba.sumaArticulos() > kMaximoTotal ||
        dia + prueba.sumaArticulos() > kMaximoTotal)
        return Rechazo(kDesbordamiento, "DESBORDAMIENTO DE TOTALES");
    doc_ = std::move(prueba);
    return Resultado();
}

MaquinaFiscal::Resultado MaquinaFiscal::finFiscal(const QList<QByteArray>& campos,
                                                  const QDateTime& ahora)
{
    if (!doc_ || !doc_->esFiscal())
        return Rechazo(kComandoInvalidoEstado, "NO HAY DOCUMENTO FISCAL");
    if (!campos.isEmpty() && campos.at(0) == "A") {
        if (subtotal_)
            return Rechazo(kComandoInvalidoEstado, "ARTICULOS TERMINADOS");
        subtotal_ = true;
        doc_->renglones.append(Renglon{Renglon::Clase::Subtotal, QString(), {}});
        Resultado r;
        r.campos = {QByteArray::number(doc_->sumaArticulos())};
        return r;
    }
    if (!campos.isEmpty())
        return Rechazo(kCampoInvalido, "CAMPO INVALIDO");

    DocumentoImpreso d = std::move(*doc_);
    doc_.reset();
    d.total = d.sumaArticulos();
    d.hora = ahora;
    if (d.tipo == Tipo::Factura) {
        d.numero = ++c_.ultimaFactura;
        c_.ventasDia += d.total;
    } else {
        d.numero = ++c_.ultimaNotaCredito;
        c_.notasDia += d.total;
    }
    ++c_.documentosDesdeZ;
    consultasOcupadas_ = numeroOcupado_;

    Resultado r;
    r.campos = {Relleno(d.numero, 8)};
    r.guardar = true;
    r.impreso = std::move(d);
    return r;
}

MaquinaFiscal::Resultado MaquinaFiscal::lineaProgramada(char cmd, const QList<QByteArray>& campos)
{
    if (doc_)
        return Rechazo(kComandoInvalidoEstado, "DOCUMENTO ABIERTO");
    if (campos.size() < 2)
        return Rechazo(kCampoInvalido, "CAMPO INVALIDO");
    const QByteArray n = campos.at(0).trimmed();
    if (!SoloDigitos(n, 1, 1) || n.toInt() < 1 || n.toInt() > kLineasProgramables)
        return Rechazo(kCampoInvalido, "LINEA INVALIDA");
    QStringList& lineas = cmd == ']' ? encabezado_ : pie_;
    lineas[n.toInt() - 1] = ATexto(campos.at(1));
    Resultado r;
    r.guardar = true;
    return r;
}

MaquinaFiscal::Resultado MaquinaFiscal::reportePorFechas(const QList<QByteArray>& campos,
                                                         const QDateTime& ahora)
{
    if (doc_)
        return Rechazo(kComandoInvalidoEstado, "DOCUMENTO ABIERTO");
    if (campos.size() < 3)
        return Rechazo(kCampoInvalido, "CAMPO INVALIDO");
    const auto desde = FechaCorta(campos.at(0));
    const auto hasta = FechaCorta(campos.at(1));
    const QByteArray clase = campos.at(2);
    if (!desde || !hasta || (clase != "D" && clase != "M" && clase != "C"))
        return Rechazo(kCampoInvalido, "CAMPO INVALIDO");
    QList<ResumenZ> cierres;
    for (const ResumenZ& z : historial_)
        if (z.hora.date() >= *desde && z.hora.date() <= *hasta)
            cierres.append(z);
    const QString rango = QStringLiteral("DESDE %1 HASTA %2")
                              .arg(desde->toString(QStringLiteral("dd-MM-yyyy")),
                                   hasta->toString(QStringLiteral("dd-MM-yyyy")));
    const QString titulo = clase == "D"   ? QStringLiteral("REPORTE POR FECHAS ")
                           : clase == "M" ? QStringLiteral("REPORTE MENSUAL ")
                                          : QStringLiteral("REPORTE Z POR FECHAS ");
    return reporte(titulo + rango, cierres, clase == "M", ahora);
}

MaquinaFiscal::Resultado MaquinaFiscal::reportePorZ(const QList<QByteArray>& campos,
                                                    const QDateTime& ahora)
{
    if (doc_)
        return Rechazo(kComandoInvalidoEstado, "DOCUMENTO ABIERTO");
    if (campos.size() < 2 || !SoloDigitos(campos.at(0), 4, 8) || !SoloDigitos(campos.at(1), 4, 8))
        return Rechazo(kCampoInvalido, "CAMPO INVALIDO");
    const int desde = campos.at(0).toInt();
    const int hasta = campos.at(1).toInt();
    QList<ResumenZ> cierres;
    for (const ResumenZ& z : historial_)
        if (z.numero >= desde && z.numero <= hasta)
            cierres.append(z);
    return reporte(QStringLiteral("REPORTE Z DESDE %1 HASTA %2")
                       .arg(desde, 4, 10, QLatin1Char('0'))
                       .arg(hasta, 4, 10, QLatin1Char('0')),
                   cierres, false, ahora);
}

MaquinaFiscal::Resultado MaquinaFiscal::reporte(const QString& titulo,
                                                const QList<ResumenZ>& cierres, bool agruparMes,
                                                const QDateTime& ahora)
{
    DocumentoImpreso d = nuevo(Tipo::Reporte, ahora);
    auto linea = [&d](const QString& s) {
        d.renglones.append(Renglon{Renglon::Clase::Texto, s, {}});
    };
    linea(titulo);
    qint64 neto = 0;
    if (agruparMes) {
        QMap<QString, qint64> meses;
        for (const ResumenZ& z : cierres)
            meses[z.hora.date().toString(QStringLiteral("yyyy-MM"))] += z.ventas - z.notas;
        for (auto it = meses.cbegin(); it != meses.cend(); ++it)
            linea(QStringLiteral("MES %1 NETO %2").arg(it.key(), Importe(it.value())));
    } else {
        for (const ResumenZ& z : cierres)
            linea(QStringLiteral("Z %1 %2 DOCS %3 NETO %4")
                      .arg(z.numero, 4, 10, QLatin1Char('0'))
                      .arg(z.hora.date().toString(QStringLiteral("dd-MM-yyyy")))
                      .arg(z.documentos)
                      .arg(Importe(z.ventas - z.notas)));
    }
    for (const ResumenZ& z : cierres)
        neto += z.ventas - z.notas;
    if (cierres.isEmpty())
        linea(QStringLiteral("SIN CIERRES EN EL RANGO"));
    linea(QStringLiteral("TOTAL NETO %1").arg(Importe(neto)));
    d.total = neto;
    Resultado r;
    r.impreso = std::move(d);
    return r;
}

MaquinaFiscal::Resultado MaquinaFiscal::reset(const QDateTime& ahora)
{
    Resultado r;
    // The closing's busy number field belongs to the document state: a reset ends it.
    consultasOcupadas_ = 0;
    subtotal_ = false;
    if (doc_) {
        DocumentoImpreso d = std::move(*doc_);
        doc_.reset();
        d.anuladoDe = d.tipo;
        d.tipo = Tipo::Anulado;
        d.total = d.sumaArticulos();
        d.hora = ahora;
        r.impreso = std::move(d);
    }
    return r;
}

QJsonObject MaquinaFiscal::Estado() const
{
    QJsonArray historial;
    for (const ResumenZ& z : historial_)
        historial.append(QJsonObject{{"numero", z.numero},
                                     {"hora", z.hora.toString(Qt::ISODate)},
                                     {"documentos", z.documentos},
                                     {"ventas", double(z.ventas)},
                                     {"notas", double(z.notas)},
                                     {"primera_factura", z.primeraFactura},
                                     {"ultima_factura", z.ultimaFactura}});
    return QJsonObject{{"ultima_factura", c_.ultimaFactura},
                       {"ultima_nota_credito", c_.ultimaNotaCredito},
                       {"ultimo_no_fiscal", c_.ultimoNoFiscal},
                       {"z", c_.z},
                       {"documentos_desde_z", c_.documentosDesdeZ},
                       {"ventas_dia", double(c_.ventasDia)},
                       {"notas_dia", double(c_.notasDia)},
                       {"factura_al_z", facturaAlZ_},
                       {"cierres_x", cierresX_},
                       {"encabezado", QJsonArray::fromStringList(encabezado_)},
                       {"pie", QJsonArray::fromStringList(pie_)},
                       {"historial_z", historial}};
}

bool MaquinaFiscal::cargarEstado(const QJsonObject& o)
{
    if (!o.contains("ultima_factura") || !o.contains("z"))
        return false;
    auto entero = [&o](const char* k) { return qMax(0, o.value(QLatin1String(k)).toInt()); };
    auto importe = [](const QJsonValue& v) {
        const double d = v.toDouble();
        return (d > 0 && d <= double(kMaximoTotal)) ? qint64(d) : qint64(0);
    };
    c_.ultimaFactura = entero("ultima_factura");
    c_.ultimaNotaCredito = entero("ultima_nota_credito");
    c_.ultimoNoFiscal = entero("ultimo_no_fiscal");
    c_.z = entero("z");
    c_.documentosDesdeZ = entero("documentos_desde_z");
    c_.ventasDia = importe(o.value("ventas_dia"));
    c_.notasDia = importe(o.value("notas_dia"));
    facturaAlZ_ = qMin(entero("factura_al_z"), c_.ultimaFactura);
    cierresX_ = entero("cierres_x");
    const QJsonArray enc = o.value("encabezado").toArray();
    const QJsonArray pie = o.value("pie").toArray();
    for (int i = 0; i < kLineasProgramables; ++i) {
        encabezado_[i] = enc.at(i).toString();
        pie_[i] = pie.at(i).toString();
    }
    historial_.clear();
    for (const QJsonValue& v : o.value("historial_z").toArray()) {
        const QJsonObject z = v.toObject();
        historial_.append(ResumenZ{z.value("numero").toInt(),
                                   QDateTime::fromString(z.value("hora").toString(), Qt::ISODate),
                                   z.value("documentos").toInt(), importe(z.value("ventas")),
                                   importe(z.value("notas")), z.value("primera_factura").toInt(),
                                   z.value("ultima_factura").toInt()});
    }
    return true;
}
