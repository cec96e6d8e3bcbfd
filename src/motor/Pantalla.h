#pragma once

#include "tienda/BaseDatos.h"
#include "impresora/Leds.h"

#include <QMap>
#include <QObject>
#include <QStringList>
#include <array>

// What the window shows, addressed by the controls' designer names. The
// robot thread changes it; every change is a signal that the window applies
// to the widget of the same objectName (queued across the threads). Tests
// read the state directly, headless.
class Pantalla : public QObject
{
    Q_OBJECT
public:
    explicit Pantalla(QObject* parent = nullptr);

    // The operator buttons switched together by HabilitarControles.
    static const QStringList& BotonesOperador();

    // List1 (replies) and List2 (commands): entries keep the exact bytes,
    // as Windows-1252 text.
    void AgregarLista(const QString& lista, const QString& texto);
    void LimpiarLista(const QString& lista);
    // The logging step after a printer command: the reply to List1, the
    // framed command to List2, then the lamps for the reply.
    void MuestroRespuesta(const QByteArray& respuesta, const QByteArray& comando);
    // The same without the lamps ("listed only").
    void Listar(const QByteArray& respuesta, const QByteArray& comando);
    void ActualizoLeds(const QByteArray& respuesta);
    QStringList Lista(const QString& lista) const { return listas_.value(lista); }

    // DBList1 (credit notes), DBList2 (invoices), DBList3 (tickets).
    void PonerPendientes(const QString& lista, const QStringList& filas);
    QStringList Pendientes(const QString& lista) const { return pendientes_.value(lista); }

    void PonerLeds(const Leds::Panel& panel);
    Leds::Panel LedsActuales() const { return leds_; }

    // The labels L(0) to L(6).
    void PonerEtiqueta(int indice, const QString& texto);
    QString Etiqueta(int indice) const;

    void Habilitar(const QString& control, bool habilitado);
    bool Habilitado(const QString& control) const { return habilitado_.value(control, true); }
    void PonerVisible(const QString& control, bool visible);
    bool Visible(const QString& control) const { return visible_.value(control, false); }
    // Captions; the window's own caption is addressed as "frmImprimirFacturaROBOT".
    void PonerTitulo(const QString& control, const QString& titulo);
    QString Titulo(const QString& control) const { return titulos_.value(control); }

    // The polling timer's switch, shown so the operator can tell a stopped robot.
    void PonerTimer(bool activo);
    bool Timer() const { return timer_; }

    void PonerPizarra(const QString& rtf);
    QString Pizarra() const { return pizarra_; }

    // A message for the operator (a modal box in the window, a console line
    // without one). Kept in order for tests.
    void MostrarMensaje(const QString& texto);
    QStringList Mensajes() const { return mensajes_; }

    void RestaurarVentana();

    // For the status view beside the window (additive; nothing here changes
    // what the window shows).
    // The Códigos of a pending list (DBList1..3), so the view can tell how
    // long the oldest has waited; nothing when the query failed.
    void AnotarPendientes(const QString& lista, const std::optional<QList<Pendiente>>& filas);
    // A document printed and written back: "factura" or "nota_credito".
    void ContarImpreso(const QString& tipo);
    // A run gave up at stage `etapa` (negative: no stage) with this message.
    void AnotarFalla(double etapa, const QString& mensaje);
    // The robot stopped itself after a failure (DetenerPorFalla).
    void AnotarDetencion();
    // A finished printer exchange and how long it took.
    void AnotarIntercambio(const QByteArray& comando, const QByteArray& respuesta, qint64 ms);

Q_SIGNALS:
    void ListaAgregada(const QString& lista, const QString& texto);
    void ListaLimpiada(const QString& lista);
    void PendientesCambiados(const QString& lista, const QStringList& filas);
    void LedsCambiados(const QList<int>& colores); // ColorLed values, EF then EI
    void EtiquetaCambiada(int indice, const QString& texto);
    void HabilitadoCambiado(const QString& control, bool habilitado);
    void TituloCambiado(const QString& control, const QString& titulo);
    void VisibleCambiado(const QString& control, bool visible);
    void TimerCambiado(bool activo);
    void PizarraCambiada(const QString& rtf);
    void Mensaje(const QString& texto);
    void VentanaRestaurada();
    void CodigosPendientes(const QString& lista, const QList<qlonglong>& codigos);
    void DocumentoImpreso(const QString& tipo);
    void FallaAnotada(double etapa, const QString& mensaje);
    void DetenidoPorFalla();
    void IntercambioTerminado(const QByteArray& comando, const QByteArray& respuesta, qint64 ms);

private:
    QMap<QString, QStringList> listas_;
    QMap<QString, QStringList> pendientes_;
    Leds::Panel leds_;
    std::array<QString, 7> etiquetas_;
    QMap<QString, bool> habilitado_;
    QMap<QString, QString> titulos_;
    QMap<QString, bool> visible_;
    bool timer_ = false;
    QString pizarra_;
    QStringList mensajes_;
    QMap<QString, QList<qlonglong>> codigos_;
};
