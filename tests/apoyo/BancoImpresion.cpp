#include "apoyo/BancoImpresion.h"

#include "motor/TurnoImpresion.h"
#include "tienda/Arranque.h"

bool BancoImpresion::Crear()
{
    SimuladorFiscal::Opciones o;
    o.ritmo = false;
    // A link the simulator removes while "switched off".
    o.enlace = dir_.filePath(QStringLiteral("impresora"));
    sim = std::make_unique<SimuladorEnHilo>(o);
    if (!sim->iniciar())
        return Falla(sim->error());
    OpcionesTienda opciones;
    opciones.Puerto = sim->ruta();
    if (!tienda.Crear(dir_.path(), opciones))
        return Falla(tienda.Error());
    Arranque::Resultado inicio = Arranque::Form_Load(dir_.path());
    if (inicio.fin != Arranque::Fin::Seguir)
        return Falla(inicio.mensaje);
    config = inicio.ajustes.config;
    if (!base.Abrir(inicio.ajustes.rutaBaseDatos))
        return Falla(base.UltimoError());
    if (const auto fila = base.ConfiguracionTienda())
        ajustesTienda = AjustesTienda::Desde(*fila);
    puerto = std::make_unique<Linea>(sim->ruta());
    enlace = std::make_unique<EnlaceImpresora>(*puerto);
    // Short deadlines and pauses: a silent printer, a busy number or a locked
    // shop must not hold a test for a minute.
    enlace->tiempos = {.esperaCortaMs = 1000,
                       .esperaLargaMs = 2000,
                       .extensionDc2Ms = 2000,
                       .limiteOcupadoMs = 300,
                       .centesimaMs = 1,
                       .esperaNumeroMs = 3000,
                       .esperaBaseMs = 300};
    enlace->AlTerminar = [this](const QByteArray& c, const QByteArray&) {
        enviados << c.mid(2, c.size() - 3);
    };
    comandos = std::make_unique<ComandosFiscales>(*enlace);
    ctx.reset(new ContextoImpresion{*enlace, *comandos, base, config, ajustesTienda, hechos,
                                    bitacora, dir_.path()});
    return true;
}

void BancoImpresion::TurnoFactura()
{
    ImpresionFactura factura(*ctx);
    ImpresionNotaCredito nota(*ctx);
    TurnoImpresion(*this, pantalla, factura, nota).Factura();
}
