#include "ControlSimulador.h"

#include "SimuladorFiscal.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <optional>

namespace
{
using Resultado = ControlSimulador::Resultado;

Resultado Bien(const QString& texto = QStringLiteral("ok"))
{
    return Resultado{true, texto};
}

Resultado Mal(const QString& texto)
{
    return Resultado{false, QStringLiteral("error: ") + texto};
}

std::optional<int> Entero(const QString& s, int minimo, int maximo)
{
    bool ok = false;
    const int v = s.toInt(&ok);
    if (!ok || v < minimo || v > maximo)
        return std::nullopt;
    return v;
}

std::optional<bool> SiNo(const QString& s)
{
    const QString v = s.toLower();
    if (v == QLatin1String("on") || v == QLatin1String("si") || v == QLatin1String("1"))
        return true;
    if (v == QLatin1String("off") || v == QLatin1String("no") || v == QLatin1String("0"))
        return false;
    return std::nullopt;
}

// A command byte written as itself ("B") or in hex ("0x80").
std::optional<char> ByteComando(const QString& s)
{
    if (s.size() == 1 && s.at(0).unicode() < 128)
        return char(s.at(0).unicode());
    if (s.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) && s.size() <= 4) {
        bool ok = false;
        const int v = s.mid(2).toInt(&ok, 16);
        if (ok && v >= 0 && v <= 255)
            return char(v);
    }
    return std::nullopt;
}

QString Contadores(const SimuladorFiscal& s)
{
    const MaquinaFiscal::Contadores c = s.maquina().contadores();
    const QJsonObject o{{"ultima_factura", c.ultimaFactura},
                        {"ultima_nota_credito", c.ultimaNotaCredito},
                        {"ultimo_no_fiscal", c.ultimoNoFiscal},
                        {"z", c.z},
                        {"documentos_desde_z", c.documentosDesdeZ},
                        {"estado", QString::fromLatin1(s.maquina().codigoEstado())}};
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}
} // namespace

QStringList ControlSimulador::Ayuda()
{
    return {
        QStringLiteral("silencio on|off          no answer at all (frames are still logged)"),
        QStringLiteral("rechazar C [k]           refuse command byte C (\"B\", \"0x80\"), k times; "
                       "k=0 stops"),
        QStringLiteral("rechazar-enesimo n       refuse the n-th command from now"),
        QStringLiteral("perder CMD [k]           the next k frames holding exactly CMD (\"E\") "
                       "are lost: not done, not answered"),
        QStringLiteral("perder-respuesta n|CMD [k] the n-th frame from now (or the next k "
                       "frames holding exactly CMD) is done, its reply lost"),
        QStringLiteral("corromper suma|campo [k] the next k replies (-1 always) with a wrong "
                       "checksum, or with \"9e99\" before the ETX"),
        QStringLiteral("sin-etx n                the next reply is STX and n bytes, no ETX"),
        QStringLiteral("ocupado-siempre on|off   DC2 for ever instead of each reply"),
        QStringLiteral("apagar on|off            switched off: the port's link is removed"),
        QStringLiteral("basura n                 n garbage bytes before each reply"),
        QStringLiteral("ocupado k [ms]           k DC2 busy bytes before each reply, ms apart"),
        QStringLiteral("demora ms                time taken by each command"),
        QStringLiteral("trozos a,b,.. [ms]       split each reply into pieces, ms apart; "
                       "\"trozos 0\" stops"),
        QStringLiteral("numero-ocupado k         invoice number busy for k queries after a "
                       "closing (-1 always)"),
        QStringLiteral("estado CC                force state code CC in \"8\" FS \"T\" (00 stops)"),
        QStringLiteral("ritmo on|off             pace bytes at 9600 baud"),
        QStringLiteral("fecha ISO|ahora          freeze the clock, or follow the system's"),
        QStringLiteral("normal                   clear every fault"),
        QStringLiteral("contadores               print the counters as JSON"),
    };
}

ControlSimulador::Resultado ControlSimulador::Aplicar(SimuladorFiscal& s, const QString& linea)
{
    const QStringList p = linea.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (p.isEmpty())
        return Mal(QStringLiteral("linea vacia"));
    const QString orden = p.at(0).toLower();
    const QString a1 = p.value(1);
    const QString a2 = p.value(2);
    FallasSimulador f = s.fallas();

    if (orden == QLatin1String("silencio")) {
        const auto v = a1.isEmpty() ? std::optional<bool>(true) : SiNo(a1);
        if (!v)
            return Mal(QStringLiteral("silencio on|off"));
        f.silencio = *v;
    } else if (orden == QLatin1String("rechazar")) {
        const auto c = ByteComando(a1);
        const auto k = a2.isEmpty() ? std::optional<int>(-1) : Entero(a2, -1, 1'000'000);
        if (!c || !k)
            return Mal(QStringLiteral("rechazar C [veces]"));
        if (*k == 0)
            f.rechazarComando.remove(*c);
        else
            f.rechazarComando[*c] = *k;
    } else if (orden == QLatin1String("perder")) {
        const auto k = a2.isEmpty() ? std::optional<int>(1) : Entero(a2, 0, 1'000'000);
        if (a1.isEmpty() || !k)
            return Mal(QStringLiteral("perder CMD [veces]"));
        if (*k == 0)
            f.perder.remove(a1.toLatin1());
        else
            f.perder[a1.toLatin1()] = *k;
    } else if (orden == QLatin1String("perder-respuesta")) {
        const auto n = Entero(a1, 0, 1'000'000);
        const auto k = a2.isEmpty() ? std::optional<int>(1) : Entero(a2, 0, 1'000'000);
        if (a1.isEmpty() || !k)
            return Mal(QStringLiteral("perder-respuesta n|CMD [veces]"));
        if (n)
            f.perderRespuestaEnesima = *n;
        else if (*k == 0)
            f.perderRespuesta.remove(a1.toLatin1());
        else
            f.perderRespuesta[a1.toLatin1()] = *k;
    } else if (orden == QLatin1String("corromper")) {
        const auto k = a2.isEmpty() ? std::optional<int>(1) : Entero(a2, -1, 1'000'000);
        if (!k || (a1 != QLatin1String("suma") && a1 != QLatin1String("campo")))
            return Mal(QStringLiteral("corromper suma|campo [veces]"));
        (a1 == QLatin1String("suma") ? f.corromperSuma : f.corromperCampo) = *k;
    } else if (orden == QLatin1String("sin-etx")) {
        const auto n = Entero(a1, 0, 100'000'000);
        if (!n)
            return Mal(QStringLiteral("sin-etx n"));
        f.sinEtx = *n;
    } else if (orden == QLatin1String("ocupado-siempre") || orden == QLatin1String("apagar")) {
        const auto v = a1.isEmpty() ? std::optional<bool>(true) : SiNo(a1);
        if (!v)
            return Mal(orden + QStringLiteral(" on|off"));
        (orden == QLatin1String("apagar") ? f.apagada : f.ocupadoSiempre) = *v;
    } else if (orden == QLatin1String("rechazar-enesimo")) {
        const auto n = Entero(a1, 0, 1'000'000);
        if (!n)
            return Mal(QStringLiteral("rechazar-enesimo n"));
        f.rechazarEnesimo = *n;
    } else if (orden == QLatin1String("basura")) {
        const auto n = Entero(a1, 0, 1000);
        if (!n)
            return Mal(QStringLiteral("basura n (0 a 1000)"));
        f.basura = *n;
    } else if (orden == QLatin1String("ocupado")) {
        const auto k = Entero(a1, 0, 10'000);
        const auto ms =
            a2.isEmpty() ? std::optional<int>(f.ocupadoPausaMs) : Entero(a2, 0, 600'000);
        if (!k || !ms)
            return Mal(QStringLiteral("ocupado k [ms]"));
        f.ocupado = *k;
        f.ocupadoPausaMs = *ms;
    } else if (orden == QLatin1String("demora")) {
        const auto ms = Entero(a1, 0, 3'600'000);
        if (!ms)
            return Mal(QStringLiteral("demora ms"));
        f.demoraMs = *ms;
    } else if (orden == QLatin1String("trozos")) {
        QList<int> tamanos;
        for (const QString& t : a1.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const auto n = Entero(t, 0, 100'000);
            if (!n)
                return Mal(QStringLiteral("trozos a,b,c [ms]"));
            if (*n > 0)
                tamanos.append(*n);
        }
        const auto ms = a2.isEmpty() ? std::optional<int>(f.trozosPausaMs) : Entero(a2, 0, 600'000);
        if (a1.isEmpty() || !ms)
            return Mal(QStringLiteral("trozos a,b,c [ms]"));
        f.trozos = tamanos;
        f.trozosPausaMs = *ms;
    } else if (orden == QLatin1String("numero-ocupado")) {
        const auto k = Entero(a1, -1, 1'000'000);
        if (!k)
            return Mal(QStringLiteral("numero-ocupado k"));
        f.numeroOcupado = *k;
    } else if (orden == QLatin1String("estado")) {
        if (a1.size() != 2 || !a1.at(0).isDigit() || !a1.at(1).isDigit())
            return Mal(QStringLiteral("estado CC (dos digitos)"));
        f.estado = a1.toLatin1();
    } else if (orden == QLatin1String("normal")) {
        f = FallasSimulador();
    } else if (orden == QLatin1String("ritmo")) {
        const auto v = SiNo(a1);
        if (!v)
            return Mal(QStringLiteral("ritmo on|off"));
        s.ponerRitmo(*v);
        return Bien();
    } else if (orden == QLatin1String("fecha")) {
        if (a1 == QLatin1String("ahora")) {
            s.ponerFecha(QDateTime());
            return Bien();
        }
        QDateTime t = QDateTime::fromString(a1, Qt::ISODate);
        if (!t.isValid()) {
            const QDate d = QDate::fromString(a1, Qt::ISODate);
            if (d.isValid())
                t = QDateTime(d, QTime(12, 0));
        }
        if (!t.isValid())
            return Mal(QStringLiteral("fecha yyyy-mm-ddThh:mm:ss | yyyy-mm-dd | ahora"));
        s.ponerFecha(t);
        return Bien();
    } else if (orden == QLatin1String("contadores")) {
        return Bien(Contadores(s));
    } else {
        return Mal(QStringLiteral("orden desconocida: ") + orden);
    }
    s.ponerFallas(f);
    return Bien();
}
