#include "motor/Pantalla.h"

#include "comun/CodigoPagina.h"

Pantalla::Pantalla(QObject* parent) : QObject(parent), leds_(Leds::ApagoLeds())
{
    etiquetas_[0] = QString();
    etiquetas_[1] = QStringLiteral("Detectando...");
    etiquetas_[4] = QStringLiteral("00000000");
    etiquetas_[5] = QStringLiteral("0000");
    etiquetas_[6] = QStringLiteral("00000000");
    titulos_.insert(QStringLiteral("Command3"), QStringLiteral("Detener"));
}

const QStringList& Pantalla::BotonesOperador()
{
    static const QStringList botones{"Command3", "Command4",  "Command5",  "Command6",
                                     "Command7", "Command13", "Command14", "Command13556"};
    return botones;
}

void Pantalla::AgregarLista(const QString& lista, const QString& texto)
{
    listas_[lista].append(texto);
    Q_EMIT ListaAgregada(lista, texto);
}

void Pantalla::LimpiarLista(const QString& lista)
{
    listas_[lista].clear();
    Q_EMIT ListaLimpiada(lista);
}

void Pantalla::Listar(const QByteArray& respuesta, const QByteArray& comando)
{
    AgregarLista(QStringLiteral("List1"), CodigoPagina::ATexto(respuesta));
    AgregarLista(QStringLiteral("List2"), CodigoPagina::ATexto(comando));
}

void Pantalla::MuestroRespuesta(const QByteArray& respuesta, const QByteArray& comando)
{
    Listar(respuesta, comando);
    ActualizoLeds(respuesta);
}

void Pantalla::ActualizoLeds(const QByteArray& respuesta) { PonerLeds(Leds::ActualizoLeds(respuesta)); }

void Pantalla::PonerPendientes(const QString& lista, const QStringList& filas)
{
    if (pendientes_.contains(lista) && pendientes_.value(lista) == filas)
        return;
    pendientes_[lista] = filas;
    Q_EMIT PendientesCambiados(lista, filas);
}

void Pantalla::PonerLeds(const Leds::Panel& panel)
{
    leds_ = panel;
    QList<int> colores;
    colores.reserve(32);
    for (ColorLed c : panel)
        colores.append(int(c));
    Q_EMIT LedsCambiados(colores);
}

void Pantalla::PonerEtiqueta(int indice, const QString& texto)
{
    if (indice < 0 || indice >= int(etiquetas_.size()))
        return;
    etiquetas_[indice] = texto;
    Q_EMIT EtiquetaCambiada(indice, texto);
}

QString Pantalla::Etiqueta(int indice) const
{
    return indice >= 0 && indice < int(etiquetas_.size()) ? etiquetas_[indice] : QString();
}

void Pantalla::Habilitar(const QString& control, bool habilitado)
{
    habilitado_[control] = habilitado;
    Q_EMIT HabilitadoCambiado(control, habilitado);
}

void Pantalla::PonerVisible(const QString& control, bool visible)
{
    visible_[control] = visible;
    Q_EMIT VisibleCambiado(control, visible);
}

void Pantalla::PonerTitulo(const QString& control, const QString& titulo)
{
    titulos_[control] = titulo;
    Q_EMIT TituloCambiado(control, titulo);
}

void Pantalla::PonerTimer(bool activo)
{
    timer_ = activo;
    Q_EMIT TimerCambiado(activo);
}

void Pantalla::PonerPizarra(const QString& rtf)
{
    pizarra_ = rtf;
    Q_EMIT PizarraCambiada(rtf);
}

void Pantalla::MostrarMensaje(const QString& texto)
{
    mensajes_.append(texto);
    if (mensajes_.size() > 200) // weeks unattended must not grow it without end
        mensajes_.removeFirst();
    Q_EMIT Mensaje(texto);
}

void Pantalla::RestaurarVentana() { Q_EMIT VentanaRestaurada(); }

void Pantalla::AnotarPendientes(const QString& lista, const std::optional<QList<Pendiente>>& filas)
{
    if (!filas)
        return;
    QList<qlonglong> codigos;
    codigos.reserve(filas->size());
    for (const Pendiente& p : *filas)
        codigos.append(p.Codigo);
    if (codigos_.contains(lista) && codigos_.value(lista) == codigos)
        return; // once a second: only changes cross the threads
    codigos_[lista] = codigos;
    Q_EMIT CodigosPendientes(lista, codigos);
}

void Pantalla::ContarImpreso(const QString& tipo) { Q_EMIT DocumentoImpreso(tipo); }

void Pantalla::AnotarFalla(double etapa, const QString& mensaje) { Q_EMIT FallaAnotada(etapa, mensaje); }

void Pantalla::AnotarDetencion() { Q_EMIT DetenidoPorFalla(); }

void Pantalla::AnotarIntercambio(const QByteArray& comando, const QByteArray& respuesta, qint64 ms)
{
    Q_EMIT IntercambioTerminado(comando, respuesta, ms);
}
