#include "documentos/ArmadoFactura.h"

#include "comun/CodigoPagina.h"
#include "comun/Conversiones.h"
#include "documentos/ArticulosFactura.h"
#include "documentos/CampoVenta.h"
#include "documentos/EncabezadoFactura.h"
#include "impresora/ComandosFiscales.h"
#include "impresora/Protocolo.h"

ArmadoFactura::ArmadoFactura(const Ajustes& ajustes) : ajustes_(ajustes) {}

ArmadoFactura::Resultado ArmadoFactura::Armar(const Ajustes& ajustes, qlonglong codigo,
                                              const QSqlRecord& venta,
                                              const QList<QSqlRecord>& lineas)
{
    ArmadoFactura a(ajustes);
    a.documento_.Codigo = codigo;
    // The stage a refused opening names.
    a.documento_.EtapaRechazo = 2.2;
    const auto datos = EncabezadoFactura(a).Armar(venta);
    if (datos) {
        ArticulosFactura articulos(a, *datos);
        if (articulos.ArmarArticulos(lineas)) {
            articulos.ArmarLineasFinales();
            return {a.documento_, a.etapa_, QString()};
        }
    }
    const QString nombre = QStringLiteral("La factura ") + QString::number(codigo);
    return {std::nullopt, a.etapa_,
            a.falla_.isEmpty() ? nombre + QStringLiteral(" no se pudo preparar.")
                               : nombre + QStringLiteral(" no se imprimió: ") + a.falla_ +
                                     QStringLiteral(". No se abrió nada en la impresora.")};
}

void ArmadoFactura::Apertura(const QByteArray& comando)
{
    documento_.Apertura = comando;
}

void ArmadoFactura::Agregar(const QByteArray& comando, bool reenviable)
{
    documento_.Lineas.append({comando, etapa_, reenviable});
}

void ArmadoFactura::LineaTexto(const QString& texto)
{
    const QByteArray linea = CodigoPagina::ABytes(Conversiones::LimpioCadena(texto));
    Agregar(ComandosFiscales::Armar('A', {linea, QByteArray(1, Protocolo::DEL)}));
}

void ArmadoFactura::Falta(const QString& campo)
{
    if (falla_.isEmpty())
        falla_ =
            QStringLiteral("el campo \"%1\" está vacío (Null) o no se puede imprimir").arg(campo);
}

std::optional<QString> ArmadoFactura::TextoRequerido(const QSqlRecord& registro,
                                                     const QString& campo)
{
    const std::optional<QString> v = CampoVenta::Texto(registro, campo);
    if (!v)
        Falta(campo);
    return v;
}

std::optional<double> ArmadoFactura::NumeroRequerido(const QSqlRecord& registro,
                                                     const QString& campo)
{
    const std::optional<double> v = CampoVenta::Numero(registro, campo);
    if (!v)
        Falta(campo);
    return v;
}
