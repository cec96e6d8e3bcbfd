#include "motor/ComandosOperador.h"

#include "comun/CodigoPagina.h"
#include "comun/Conversiones.h"
#include "impresora/LectorRespuesta.h"
#include "impresora/Protocolo.h"
#include "comun/Texto.h"

namespace {
const QString kList1 = QStringLiteral("List1");
const QString kList2 = QStringLiteral("List2");
} // namespace

ComandosOperador::ComandosOperador(const ContextoOperador& contexto) : ctx_(contexto) {}

void ComandosOperador::Enviar(const QByteArray& comando)
{
    ctx_.enlace.Comando = comando;
    ctx_.enlace.EnviarComando();
}

void ComandosOperador::ConsultoEstado()
{
    Pantalla& p = ctx_.pantalla;
    ctx_.control.HabilitarControles(false);
    p.LimpiarLista(kList1);
    p.LimpiarLista(kList2);
    ctx_.comandos.PidoEstadoN();
    const QByteArray n = ctx_.enlace.Respuesta;
    p.Listar(n, ctx_.enlace.Comando);
    // The labels take whatever the reply holds there, before the failure test.
    p.PonerEtiqueta(4, LectorRespuesta::UltimaFactura(n));
    p.PonerEtiqueta(5, LectorRespuesta::AntesDeEtx(n));
    if (LectorRespuesta::Fallo(n)) {
        // The robot stays stopped until it is closed and started again.
        p.Habilitar(QStringLiteral("Command10"), true);
        p.ActualizoLeds(n);
        return;
    }
    p.ActualizoLeds(n);
    ctx_.control.HabilitarControles(true);
    ctx_.comandos.PidoEstadoT();
    p.Listar(ctx_.enlace.Respuesta, ctx_.enlace.Comando);
    p.PonerEtiqueta(6, Texto::Recortado(QStringLiteral("0000") + LectorRespuesta::AntesDeEtx(ctx_.enlace.Respuesta)));
    MuestroEstado();
}

void ComandosOperador::MuestroEstado()
{
    Pantalla& p = ctx_.pantalla;
    const QString codigo = LectorRespuesta::CodigoEstado(ctx_.enlace.Respuesta);
    static const QMap<QString, QString> avisos{{"00", "Impresora lista..."},
                                               {"01", "Documento fiscal en curso..."},
                                               {"02", "Documento no fiscal en curso..."},
                                               {"03", "SLIP activo..."},
                                               {"05", "Primeras líneas de factura..."}};
    static const QMap<QString, QString> criticos{{"10", "Error en BCC RAM."},
                                                 {"11", "Error en BCC ROM."},
                                                 {"12", "Error en formato de fecha."},
                                                 {"13", "Error construyendo Z."},
                                                 {"14", "Límite de memoria fiscal."}};
    if (avisos.contains(codigo)) {
        p.AgregarLista(kList1, avisos.value(codigo));
        return;
    }
    const bool bloqueo = codigo == QLatin1String("04") || codigo == QLatin1String("08");
    if (!bloqueo && !criticos.contains(codigo))
        return;
    p.RestaurarVentana();
    p.LimpiarLista(kList1);
    if (bloqueo) {
        if (codigo == QLatin1String("08"))
            p.AgregarLista(kList1, QStringLiteral("Equipo bloqueado."));
        p.AgregarLista(kList1, QStringLiteral("Debe hacer reporte Z"));
    } else {
        p.AgregarLista(kList1, QStringLiteral("Error Crítico."));
        p.AgregarLista(kList1, criticos.value(codigo));
        p.AgregarLista(kList1, QStringLiteral("Comuníquese con servicio técnico."));
    }
    ctx_.control.HabilitarControles(false);
    if (bloqueo) {
        p.Habilitar(QStringLiteral("Command6"), true);
        p.Habilitar(QStringLiteral("Command13556"), true);
    }
    p.Habilitar(QStringLiteral("Command10"), true);
}

void ComandosOperador::CierreX()
{
    ctx_.control.HabilitarControles(false);
    ctx_.comandos.CierreX();
    MostrarTarea();
    ctx_.control.HabilitarControles(true);
}

void ComandosOperador::CierreZ()
{
    ctx_.control.HabilitarControles(false);
    ctx_.comandos.CierreZ();
    MostrarTarea();
    ctx_.pantalla.PonerEtiqueta(5, LectorRespuesta::AntesDeEtx(ctx_.enlace.Respuesta));
    ctx_.control.HabilitarControles(true);
}

void ComandosOperador::Resetear()
{
    Pantalla& p = ctx_.pantalla;
    ctx_.control.HabilitarControles(false);
    p.LimpiarLista(kList1);
    p.LimpiarLista(kList2);
    p.AgregarLista(kList2, QStringLiteral("Iniciando reset..."));
    ctx_.comandos.Resetear();
    p.Listar(ctx_.enlace.Respuesta, ctx_.enlace.Comando);
    if (LectorRespuesta::Fallo(ctx_.enlace.Respuesta)) {
        p.Habilitar(QStringLiteral("Command10"), true);
        p.AgregarLista(kList1, QStringLiteral("No se pudo realizar el reset."));
    } else {
        p.AgregarLista(kList1, QStringLiteral("Reset realizado con éxito."));
    }
    ctx_.control.HabilitarControles(true);
}

void ComandosOperador::Command1()
{
    ComandosFiscales& c = ctx_.comandos;
    const QList<void (ComandosFiscales::*)()> pedidos{
        &ComandosFiscales::PidoEstadoA, &ComandosFiscales::PidoEstadoE, &ComandosFiscales::PidoEstadoB,
        &ComandosFiscales::PidoEstadoC, &ComandosFiscales::PidoEstadoD, &ComandosFiscales::PidoEstadoR,
        &ComandosFiscales::PidoEstadoF, &ComandosFiscales::PidoEstadoJ, &ComandosFiscales::PidoEstadoS,
        &ComandosFiscales::PidoEstadoU};
    for (auto pedido : pedidos) {
        (c.*pedido)();
        ctx_.enlace.DelayMili(100);
    }
    ctx_.pantalla.MostrarMensaje(QStringLiteral("Listo"));
}

void ComandosOperador::MostrarTarea()
{
    ctx_.pantalla.LimpiarLista(kList1);
    ctx_.pantalla.LimpiarLista(kList2);
    ctx_.pantalla.MuestroRespuesta(ctx_.enlace.Respuesta, ctx_.enlace.Comando);
}

QByteArray ComandosOperador::FechaAaMmDd(const QDate& fecha)
{
    return fecha.toString(QStringLiteral("yyMMdd")).toLatin1();
}

QByteArray ComandosOperador::NumeroZ(const QString& texto)
{
    const QString t = Texto::Recortado(texto);
    bool digitos = !t.isEmpty();
    for (QChar c : t)
        digitos = digitos && c.isDigit() && c.unicode() < 128;
    const QString numero = digitos ? t : QString::number(qlonglong(Texto::ValorInicial(t)));
    return Conversiones::RellenoCeros(numero, 4).toLatin1();
}

QByteArray ComandosOperador::ComandoTarea(const TareaOpciones& t)
{
    auto texto = [](const QString& s) { return CodigoPagina::ABytes(Conversiones::LimpioCadena(s)); };
    auto reporte = [&](char tipo) {
        return ComandosFiscales::Armar(':', {FechaAaMmDd(t.ini), FechaAaMmDd(t.fini), QByteArray(1, tipo)});
    };
    switch (t.tarea) {
    case 0:
        return "K";
    case 1:
        return ComandosFiscales::Armar('P', {QByteArray(1, '\x01')});
    case 2: // the line number as selected, not trimmed
        return ComandosFiscales::Armar(']', {CodigoPagina::ABytes(t.combo1), texto(t.encabezado), {}});
    case 3:
        return ComandosFiscales::Armar('^', {CodigoPagina::ABytes(Texto::Recortado(t.combo2)), texto(t.pie), {}});
    case 4:
        return reporte('D');
    case 6:
        if (t.zinic.isEmpty() || t.zfinic.isEmpty())
            return {};
        return ComandosFiscales::Armar(';', {NumeroZ(t.zinic), NumeroZ(t.zfinic), QByteArray(1, Protocolo::DEL)});
    case 7:
        return reporte('C');
    case 8:
        return reporte('M');
    default:
        return {};
    }
}

void ComandosOperador::Ejecutar(const TareaOpciones& t)
{
    Pantalla& p = ctx_.pantalla;
    if (t.tarea == 5) {
        ctx_.comandos.AbroNoFiscal();
        p.LimpiarLista(kList1);
        p.LimpiarLista(kList2);
        p.Listar(ctx_.enlace.Respuesta, ctx_.enlace.Comando);
        Enviar(ComandosFiscales::Armar('I', {"Documento no fiscal de Prueba"}));
        p.MuestroRespuesta(ctx_.enlace.Respuesta, ctx_.enlace.Comando);
        ctx_.comandos.CierroNoFiscal();
        p.MuestroRespuesta(ctx_.enlace.Respuesta, ctx_.enlace.Comando);
        return;
    }
    const QByteArray comando = ComandoTarea(t);
    if (comando.isEmpty())
        return; // no task selected, or a Z range with an empty box
    Enviar(comando);
    if (t.tarea != 3) {
        MostrarTarea();
        return;
    }
    p.LimpiarLista(kList1);
    p.LimpiarLista(kList2);
    p.AgregarLista(kList1, QStringLiteral("Configurando pie de pag en Pto ") + Texto::Recortado(t.combo2));
    p.AgregarLista(kList1, QStringLiteral("Valor: ") + Conversiones::LimpioCadena(t.pie));
    p.MuestroRespuesta(ctx_.enlace.Respuesta, ctx_.enlace.Comando);
}
