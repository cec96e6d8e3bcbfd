#include "estado/InformeEstado.h"

#include "impresora/Leds.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>

namespace
{
QJsonValue Momento(const QDateTime& t)
{
    return t.isValid() ? QJsonValue(t.toString(Qt::ISODateWithMs)) : QJsonValue();
}

QJsonValue TextoONulo(const QString& t)
{
    return t.isEmpty() ? QJsonValue() : QJsonValue(t);
}

QString Hex(quint16 v)
{
    return QStringLiteral("%1").arg(v, 4, 16, QLatin1Char('0')).toUpper();
}

QJsonObject PalabraJson(FilaLed fila, quint16 v)
{
    QJsonArray bits;
    for (int bit = 15; bit >= 0; --bit)
        if (v & (1u << bit))
            bits.append(QJsonObject{{"bit", bit}, {"nombre", Leds::Tooltip(fila, 15 - bit)}});
    return QJsonObject{{"hex", Hex(v)}, {"bits", bits}};
}

QString EstadoRobotTexto(const DatosEstado& d)
{
    if (!d.iniciado)
        return QStringLiteral("iniciando");
    return d.enMarcha ? QStringLiteral("en_marcha") : QStringLiteral("detenido");
}

QString Duracion(double s)
{
    const qint64 t = qint64(s);
    if (t < 60)
        return QStringLiteral("%1 s").arg(t);
    if (t < 3600)
        return QStringLiteral("%1 min %2 s").arg(t / 60).arg(t % 60);
    return QStringLiteral("%1 h %2 min").arg(t / 3600).arg(t % 3600 / 60);
}

// Escaped for HTML; the operator messages' line breaks (CR) kept.
QString H(const QString& t)
{
    return t.toHtmlEscaped().replace(QLatin1Char('\r'), QStringLiteral("<br>"));
}

QString Numero(double v)
{
    // Prometheus floats: plain decimal, enough digits, no locale.
    return QString::number(v, 'g', 12);
}

const char* const kNombreTipo[] = {"Facturas", "Notas de crédito", "Documentos no fiscales"};
} // namespace

QString InformeEstado::SignificadoCodigo(const QString& codigo)
{
    static const QMap<QString, QString> t{{"00", "Impresora lista"},
                                          {"01", "Documento fiscal en curso"},
                                          {"02", "Documento no fiscal en curso"},
                                          {"03", "SLIP activo"},
                                          {"04", "Debe hacer reporte Z"},
                                          {"05", "Primeras líneas de factura"},
                                          {"08", "Equipo bloqueado. Debe hacer reporte Z"},
                                          {"10", "Error Crítico. Error en BCC RAM."},
                                          {"11", "Error Crítico. Error en BCC ROM."},
                                          {"12", "Error Crítico. Error en formato de fecha."},
                                          {"13", "Error Crítico. Error construyendo Z."},
                                          {"14", "Error Crítico. Límite de memoria fiscal."}};
    return t.value(codigo);
}

QStringList InformeEstado::BitsActivos(FilaLed fila, quint16 palabra)
{
    QStringList r;
    for (int bit = 15; bit >= 0; --bit)
        if (palabra & (1u << bit))
            r << QStringLiteral("bit %1: %2").arg(bit).arg(Leds::Tooltip(fila, 15 - bit));
    return r;
}

QString InformeEstado::EscaparEtiqueta(const QString& valor)
{
    QString r;
    for (QChar c : valor) {
        if (c == QLatin1Char('\\'))
            r += QStringLiteral("\\\\");
        else if (c == QLatin1Char('"'))
            r += QStringLiteral("\\\"");
        else if (c == QLatin1Char('\n'))
            r += QStringLiteral("\\n");
        else
            r += c;
    }
    return r;
}

QByteArray InformeEstado::Json(const DatosEstado& d)
{
    QJsonObject detencion;
    if (d.momentoDetencion.isValid())
        detencion = QJsonObject{{"motivo", d.motivoDetencion},
                                {"mensaje", d.mensajeDetencion},
                                {"etapa", TextoONulo(d.etapaDetencion)},
                                {"momento", Momento(d.momentoDetencion)}};
    const QJsonObject robot{
        {"estado", EstadoRobotTexto(d)},
        {"en_marcha", d.enMarcha},
        {"motivo_detencion", d.enMarcha ? QJsonValue() : TextoONulo(d.motivoDetencion)},
        {"ultima_detencion", detencion.isEmpty() ? QJsonValue() : QJsonValue(detencion)}};

    QJsonObject palabras;
    if (d.hayPalabras)
        palabras = QJsonObject{{"primera", PalabraJson(FilaLed::EF, d.palabra1)},
                               {"segunda", PalabraJson(FilaLed::EI, d.palabra2)}};
    const QJsonObject impresora{
        {"puerto", d.puerto},
        {"registro", d.registro},
        {"fecha", d.fechaImpresora},
        {"ok", d.ImpresoraOk()},
        {"codigo_estado", TextoONulo(d.codigoEstado)},
        {"significado", TextoONulo(SignificadoCodigo(d.codigoEstado))},
        {"palabras_estado", palabras.isEmpty() ? QJsonValue() : QJsonValue(palabras)},
        {"ultima_factura", d.ultimaFactura},
        {"ultimo_z", d.ultimoZ},
        {"ultima_nota_credito", d.ultimaNota},
        {"ultimo_intercambio_fallido", d.ultimoFallido},
        {"ultimo_intercambio_bueno", Momento(d.ultimoBueno)},
        {"intercambios", double(d.intercambios.cuenta)},
        {"intercambios_fallidos", double(d.intercambiosFallidos)}};

    QJsonObject pendientes;
    for (const ListaPendiente& p : d.pendientes)
        pendientes.insert(p.tipo, QJsonObject{{"cantidad", p.cantidad},
                                              {"mas_antiguo_segundos", p.masAntiguoSeg}});
    QJsonObject impresos, fallas;
    for (auto it = d.impresos.cbegin(); it != d.impresos.cend(); ++it)
        impresos.insert(it.key(), double(it.value()));
    for (auto it = d.fallas.cbegin(); it != d.fallas.cend(); ++it)
        fallas.insert(it.key(), double(it.value()));

    const QJsonObject raiz{
        {"version", d.version},
        {"en_marcha_segundos", d.enMarchaSeg},
        {"momento", Momento(d.ahora)},
        {"robot", robot},
        {"impresora", impresora},
        {"pendientes", pendientes},
        {"documentos_impresos", impresos},
        {"fallas", fallas},
        {"servidor", QJsonObject{{"conectado", d.conectado},
                                 {"registrado", d.registrado},
                                 {"desde", Momento(d.enlaceDesde)}}},
        {"alarma", QJsonObject{{"activa", d.alarma},
                               {"umbral_segundos", d.umbralAlarmaSeg},
                               {"desde", d.alarma ? Momento(d.alarmaDesde) : QJsonValue()},
                               {"texto", TextoONulo(d.textoAlarma)}}}};
    return QJsonDocument(raiz).toJson(QJsonDocument::Indented);
}

QByteArray InformeEstado::Metricas(const DatosEstado& d)
{
    QString m;
    auto familia = [&](const char* nombre, const char* tipo, const char* ayuda) {
        m += QStringLiteral("# HELP %1 %2\n# TYPE %1 %3\n")
                 .arg(QLatin1String(nombre), QString::fromUtf8(ayuda), QLatin1String(tipo));
    };
    auto muestra = [&](const QString& nombre, double v) {
        m += nombre + QLatin1Char(' ') + Numero(v) + QLatin1Char('\n');
    };
    auto etiqueta = [](const char* clave, const QString& v) {
        return QStringLiteral("{%1=\"%2\"}").arg(QLatin1String(clave), EscaparEtiqueta(v));
    };

    familia("rovend_info", "gauge", "Version of the robot (always 1).");
    muestra(QStringLiteral("rovend_info") + etiqueta("version", d.version), 1);
    familia("rovend_tiempo_en_marcha_segundos", "gauge", "Seconds since the robot started.");
    muestra(QStringLiteral("rovend_tiempo_en_marcha_segundos"), d.enMarchaSeg);
    familia("rovend_robot_en_marcha", "gauge", "1 while the robot polls for documents.");
    muestra(QStringLiteral("rovend_robot_en_marcha"), d.enMarcha ? 1 : 0);
    familia("rovend_impresora_ok", "gauge",
            "1 when the last exchange succeeded and the printer state does not lock the robot.");
    muestra(QStringLiteral("rovend_impresora_ok"), d.ImpresoraOk() ? 1 : 0);
    familia("rovend_impresora_codigo_estado", "gauge",
            "The printer state code of the last state query (label), always 1.");
    if (!d.codigoEstado.isEmpty())
        muestra(QStringLiteral("rovend_impresora_codigo_estado") +
                    etiqueta("codigo", d.codigoEstado),
                1);
    familia("rovend_servidor_conectado", "gauge", "1 while the link to the server program is up.");
    muestra(QStringLiteral("rovend_servidor_conectado"), d.conectado ? 1 : 0);
    familia("rovend_servidor_registrado", "gauge", "1 once the robot registered on the link.");
    muestra(QStringLiteral("rovend_servidor_registrado"), d.registrado ? 1 : 0);

    familia("rovend_pendientes", "gauge", "Documents waiting to be printed, by kind.");
    for (const ListaPendiente& p : d.pendientes)
        muestra(QStringLiteral("rovend_pendientes") + etiqueta("tipo", p.tipo), p.cantidad);
    familia("rovend_pendiente_mas_antiguo_segundos", "gauge",
            "How long the oldest pending document of a kind has waited (0 when none).");
    for (const ListaPendiente& p : d.pendientes)
        muestra(QStringLiteral("rovend_pendiente_mas_antiguo_segundos") + etiqueta("tipo", p.tipo),
                p.masAntiguoSeg);
    familia(
        "rovend_alarma_pendientes", "gauge",
        "1 while documents wait longer than the threshold and the robot is stopped or failing.");
    muestra(QStringLiteral("rovend_alarma_pendientes"), d.alarma ? 1 : 0);
    familia("rovend_alarma_umbral_segundos", "gauge", "The waiting threshold of the alarm.");
    muestra(QStringLiteral("rovend_alarma_umbral_segundos"), d.umbralAlarmaSeg);

    familia("rovend_documentos_impresos_total", "counter",
            "Documents printed and written back, by kind.");
    for (auto it = d.impresos.cbegin(); it != d.impresos.cend(); ++it)
        muestra(QStringLiteral("rovend_documentos_impresos_total") + etiqueta("tipo", it.key()),
                double(it.value()));
    familia("rovend_fallas_total", "counter", "Printing runs that stopped the robot, by stage.");
    for (auto it = d.fallas.cbegin(); it != d.fallas.cend(); ++it)
        muestra(QStringLiteral("rovend_fallas_total") + etiqueta("etapa", it.key()),
                double(it.value()));
    familia("rovend_intercambios_fallidos_total", "counter",
            "Printer exchanges that failed (no reply, or a reply with ERROR).");
    muestra(QStringLiteral("rovend_intercambios_fallidos_total"), double(d.intercambiosFallidos));
    familia("rovend_ultimo_intercambio_bueno_timestamp_seconds", "gauge",
            "Unix time of the last good printer exchange (0 before any).");
    muestra(QStringLiteral("rovend_ultimo_intercambio_bueno_timestamp_seconds"),
            d.ultimoBueno.isValid() ? double(d.ultimoBueno.toMSecsSinceEpoch()) / 1000.0 : 0);

    familia("rovend_intercambio_duracion_segundos", "histogram",
            "Duration of printer exchanges, from the command written to the reply read.");
    quint64 acumulado = 0;
    const auto& h = d.intercambios;
    for (size_t i = 0; i < h.kLimites.size(); ++i) {
        acumulado += h.cubetas[i];
        muestra(QStringLiteral("rovend_intercambio_duracion_segundos_bucket") +
                    etiqueta("le", Numero(h.kLimites[i])),
                double(acumulado));
    }
    muestra(QStringLiteral("rovend_intercambio_duracion_segundos_bucket") + etiqueta("le", "+Inf"),
            double(h.cuenta));
    muestra(QStringLiteral("rovend_intercambio_duracion_segundos_sum"), h.suma);
    muestra(QStringLiteral("rovend_intercambio_duracion_segundos_count"), double(h.cuenta));
    return m.toUtf8();
}

namespace
{
// The page's opening: its head, with the style and a refresh every 5 s.
QString CabezaPagina()
{
    return QStringLiteral(
        "<!DOCTYPE html><html lang=\"es\"><head><meta charset=\"utf-8\">"
        "<meta http-equiv=\"refresh\" content=\"5\">"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
        "<title>Rovend - estado</title><style>"
        "body{font-family:sans-serif;margin:1em;background:#f4f6f8;color:#222}"
        "h1{font-size:1.3em;margin:0 0 .5em}h2{font-size:1em;margin:1em 0 .3em}"
        ".caja{background:#fff;border:1px solid #ccd;border-radius:6px;padding:.6em .8em;"
        "margin-bottom:.7em}"
        ".alarma{background:#d63939;color:#fff;font-weight:bold;padding:.7em;border-radius:6px;"
        "margin-bottom:.7em}"
        ".led{display:inline-block;width:14px;height:14px;border-radius:50%;margin:1px;"
        "border:1px solid #555}"
        ".fila{white-space:nowrap}.marcha{color:#2fb344;font-weight:bold}"
        ".detenido{color:#d63939;font-weight:bold}"
        "table{border-collapse:collapse}td,th{padding:2px 10px 2px 0;text-align:left}"
        "small{color:#666}</style></head><body>");
}

QString CajaRobot(const DatosEstado& d)
{
    QString p;
    p += QStringLiteral("<div class=\"caja\"><b>Robot:</b> ");
    if (!d.iniciado)
        p += QStringLiteral("<span>iniciando</span>");
    else if (d.enMarcha)
        p += QStringLiteral("<span class=\"marcha\">en marcha</span>");
    else
        p += QStringLiteral("<span class=\"detenido\">detenido (%1)</span>")
                 .arg(H(d.motivoDetencion));
    if (d.momentoDetencion.isValid()) {
        p += QStringLiteral("<h2>Última detención</h2><div id=\"detencion\">%1</div>")
                 .arg(H(d.mensajeDetencion));
        p += QStringLiteral("<small>%1%2</small>")
                 .arg(d.etapaDetencion.isEmpty()
                          ? QString()
                          : QStringLiteral("Etapa %1 &middot; ").arg(H(d.etapaDetencion)),
                      H(d.momentoDetencion.toLocalTime().toString(Qt::ISODate)));
    }
    p += QStringLiteral("</div>");
    return p;
}

QString CajaImpresora(const DatosEstado& d)
{
    static const char* const kColor[] = {"#9a9a9a", "#2fb344", "#d63939", "#f59f00"};
    QString p;
    p += QStringLiteral("<div class=\"caja\"><b>Impresora</b> %1 &middot; registro %2 &middot; ")
             .arg(d.ImpresoraOk() ? QStringLiteral("<span class=\"marcha\">lista</span>")
                                  : QStringLiteral("<span class=\"detenido\">no lista</span>"),
                  H(d.registro));
    p += d.codigoEstado.isEmpty()
             ? QStringLiteral("estado desconocido")
             : QStringLiteral("estado %1 (%2)")
                   .arg(H(d.codigoEstado), H(InformeEstado::SignificadoCodigo(d.codigoEstado)));
    const char* filas[] = {"LEF", "LEI"};
    for (int f = 0; f < 2; ++f) {
        p += QStringLiteral("<div class=\"fila\">%1: ").arg(QLatin1String(filas[f]));
        for (int i = 0; i < 16; ++i) {
            const int k = f * 16 + i;
            const int c = k < d.leds.size() ? qBound(0, d.leds.at(k), 3) : 0;
            p += QStringLiteral("<span class=\"led\" style=\"background:%1\" title=\"%2\"></span>")
                     .arg(QLatin1String(kColor[c]),
                          H(Leds::Tooltip(f == 0 ? FilaLed::EF : FilaLed::EI, i)));
        }
        p += QStringLiteral("</div>");
    }
    p += QStringLiteral(
             "<small>Última factura %1 &middot; último Z %2 &middot; última nota de crédito %3"
             " &middot; último intercambio bueno %4</small></div>")
             .arg(H(d.ultimaFactura), H(d.ultimoZ), H(d.ultimaNota),
                  d.ultimoBueno.isValid() ? H(d.ultimoBueno.toLocalTime().toString(Qt::ISODate))
                                          : QStringLiteral("ninguno"));
    return p;
}

QString CajaPendientes(const DatosEstado& d)
{
    QString p;
    p += QStringLiteral("<div class=\"caja\"><b>Pendientes</b><table>"
                        "<tr><th></th><th>cantidad</th><th>el más antiguo espera</th></tr>");
    for (size_t i = 0; i < d.pendientes.size(); ++i) {
        const ListaPendiente& l = d.pendientes[i];
        p += QStringLiteral("<tr><td>%1</td><td id=\"%2\">%3</td><td>%4</td></tr>")
                 .arg(QString::fromUtf8(kNombreTipo[i]), l.tipo)
                 .arg(l.cantidad)
                 .arg(l.cantidad ? Duracion(l.masAntiguoSeg) : QStringLiteral("&mdash;"));
    }
    p += QStringLiteral("</table></div>");
    return p;
}
} // namespace

QByteArray InformeEstado::Pagina(const DatosEstado& d)
{
    QString p = CabezaPagina();
    p += QStringLiteral("<h1>Rovend %1 &mdash; caja en el puerto %2</h1>")
             .arg(H(d.version), H(d.puerto));
    if (d.alarma)
        p += QStringLiteral("<div class=\"alarma\" id=\"alarma\">%1</div>").arg(H(d.textoAlarma));

    p += CajaRobot(d);
    p += CajaImpresora(d);
    p += CajaPendientes(d);
    p += QStringLiteral(
             "<div class=\"caja\"><b>Servidor:</b> %1 &middot; <small>en marcha desde hace %2"
             " &middot; %3</small></div>")
             .arg(d.conectado ? (d.registrado ? QStringLiteral("conectado y registrado")
                                              : QStringLiteral("conectado"))
                              : QStringLiteral("sin conexión"),
                  Duracion(d.enMarchaSeg), H(d.ahora.toLocalTime().toString(Qt::ISODate)));
    p += QStringLiteral("</body></html>\n");
    return p.toUtf8();
}
