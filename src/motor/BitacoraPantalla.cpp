#include "motor/BitacoraPantalla.h"

namespace
{
const QString kList1 = QStringLiteral("List1");
const QString kList2 = QStringLiteral("List2");
} // namespace

void BitacoraPantalla::Empezar()
{
    pantalla_.LimpiarLista(kList1);
    pantalla_.LimpiarLista(kList2);
}

void BitacoraPantalla::Verificando(bool repeticion)
{
    pantalla_.AgregarLista(repeticion ? kList1 : kList2, QStringLiteral("Verificando estado..."));
}

void BitacoraPantalla::Intercambio(const QByteArray& respuesta, const QByteArray& comando,
                                   bool luces)
{
    if (luces)
        pantalla_.MuestroRespuesta(respuesta, comando);
    else
        pantalla_.Listar(respuesta, comando);
}

void BitacoraPantalla::Hechos(const HechosImpresora& hechos)
{
    // Only what changed, so that a label the operator's commands set stays.
    const QString textos[] = {hechos.UltimaFactura, hechos.UltimaZ, hechos.UltimaNota};
    for (int i = 0; i < 3; ++i)
        if (!textos[i].isNull() && pantalla_.Etiqueta(4 + i) != textos[i])
            pantalla_.PonerEtiqueta(4 + i, textos[i]);
}

void BitacoraPantalla::Impreso(bool nota)
{
    pantalla_.ContarImpreso(nota ? QStringLiteral("nota_credito") : QStringLiteral("factura"));
}
