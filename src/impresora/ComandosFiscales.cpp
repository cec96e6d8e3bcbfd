#include "impresora/ComandosFiscales.h"

#include "impresora/Protocolo.h"

ComandosFiscales::ComandosFiscales(EnlaceImpresora& enlace) : enlace_(enlace) {}

QByteArray ComandosFiscales::Armar(char comando, const QList<QByteArray>& campos)
{
    QByteArray c(1, comando);
    for (const QByteArray& campo : campos)
        c.append(Protocolo::FS).append(campo);
    return c;
}

QByteArray ComandosFiscales::ComandoReset()
{
    QByteArray c;
    for (char b = 7; b <= 23; ++b)
        c.append(b);
    return c;
}

void ComandosFiscales::Enviar(const QByteArray& comando)
{
    enlace_.Comando = comando;
    enlace_.EnviarComando();
}

void ComandosFiscales::Estado(char letra, bool corta)
{
    if (corta)
        enlace_.EsperaCorta = true;
    Enviar(Armar('8', {QByteArray(1, letra)}));
    if (corta)
        enlace_.EsperaCorta = false;
}

void ComandosFiscales::PidoEstadoN()
{
    Estado('N', true);
}
void ComandosFiscales::PidoEstadoT()
{
    Estado('T', true);
}
void ComandosFiscales::PidoEstadoA()
{
    Estado('A', false);
}
void ComandosFiscales::PidoEstadoE()
{
    Estado('E', false);
}
void ComandosFiscales::PidoEstadoB()
{
    Estado('B', false);
}
void ComandosFiscales::PidoEstadoC()
{
    Estado('C', false);
}
void ComandosFiscales::PidoEstadoD()
{
    Estado('D', false);
}
void ComandosFiscales::PidoEstadoR()
{
    Estado('R', false);
}
void ComandosFiscales::PidoEstadoF()
{
    Estado('F', false);
}
void ComandosFiscales::PidoEstadoJ()
{
    Estado('J', false);
}
void ComandosFiscales::PidoEstadoS()
{
    Estado('S', false);
}
void ComandosFiscales::PidoEstadoU()
{
    Estado('U', false);
}
void ComandosFiscales::CierreZ()
{
    Enviar(Armar('9', {"Z"}));
}
void ComandosFiscales::CierreX()
{
    Enviar(Armar('9', {"X"}));
}
void ComandosFiscales::AvanzoPapel()
{
    Enviar(Armar('P', {QByteArray(1, '\x01')}));
}
void ComandosFiscales::CortoPapel()
{
    Enviar("K");
}
void ComandosFiscales::AbroNoFiscal()
{
    Enviar("H");
}
void ComandosFiscales::CierroNoFiscal()
{
    Enviar("J");
}
void ComandosFiscales::Resetear()
{
    Enviar(ComandoReset());
}
