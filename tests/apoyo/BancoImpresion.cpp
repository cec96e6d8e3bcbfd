#include "apoyo/BancoImpresion.h"

#include "motor/TurnoImpresion.h"
#include "tienda/Arranque.h"

BancoImpresion::BancoImpresion() : base(QStringLiteral("banco.tienda")) {}

BancoImpresion::~BancoImpresion()
{
    base.Cerrar();
    tienda.Cerrar();
}

bool BancoImpresion::Crear(const OpcionesTienda& opciones)
{
    SimuladorFiscal::Opciones o;
    o.ritmo = false;
    // A link the simulator removes while "switched off".
    o.enlace = dir_.filePath(QStringLiteral("impresora"));
    sim = std::make_unique<SimuladorEnHilo>(o);
    if (!sim->iniciar()) {
        error_ = sim->error();
        return false;
    }
    OpcionesTienda t = opciones;
    t.Puerto = sim->ruta();
    if (!tienda.Crear(dir_.path(), t)) {
        error_ = tienda.Error();
        return false;
    }
    Arranque::Resultado inicio = Arranque::Form_Load(dir_.path());
    if (inicio.fin != Arranque::Fin::Seguir) {
        error_ = inicio.mensaje;
        return false;
    }
    config = inicio.ajustes.config;
    if (!base.Abrir(inicio.ajustes.rutaBaseDatos)) {
        error_ = base.UltimoError();
        return false;
    }
    if (const auto fila = base.ConfiguracionTienda())
        ajustesTienda = AjustesTienda::Desde(*fila);
    puerto = std::make_unique<Linea>(sim->ruta());
    enlace = std::make_unique<EnlaceImpresora>(*puerto);
    // Short deadlines: a silent printer must not hold a test for 50 s.
    enlace->tiempos.esperaCortaMs = 1000;
    enlace->tiempos.esperaLargaMs = 2000;
    enlace->tiempos.extensionDc2Ms = 2000;
    enlace->tiempos.centesimaMs = 1;
    enlace->tiempos.esperaNumeroMs = 3000;
    enlace->AlTerminar = [this](const QByteArray& c, const QByteArray&) {
        enviados << c.mid(2, c.size() - 3);
    };
    comandos = std::make_unique<ComandosFiscales>(*enlace);
    bitacora = std::make_unique<BitacoraPantalla>(pantalla);
    ctx.reset(new ContextoImpresion{*enlace, *comandos, base, config, ajustesTienda, hechos,
                                    *bitacora, dir_.path()});
    return true;
}

void BancoImpresion::DetenerPorFalla()
{
    ++detenciones;
    timer = false;
    pantalla.PonerTitulo(QStringLiteral("Command3"), QStringLiteral("Iniciar"));
    pantalla.Habilitar(QStringLiteral("Command10"), true);
}

namespace
{
QStringList textos(const std::optional<QList<Pendiente>>& filas)
{
    QStringList t;
    if (filas)
        for (const Pendiente& p : *filas)
            t << p.VistaEspecial;
    return t;
}
} // namespace

std::optional<QList<Pendiente>> BancoImpresion::RefrescarFacturas()
{
    auto filas = base.FacturasPendientes(config.NumeroCaja);
    pantalla.PonerPendientes(QStringLiteral("DBList2"), textos(filas));
    return filas;
}

std::optional<QList<Pendiente>> BancoImpresion::RefrescarNotas()
{
    auto filas = base.NotasPendientes(config.NumeroCaja);
    pantalla.PonerPendientes(QStringLiteral("DBList1"), textos(filas));
    return filas;
}

QStringList BancoImpresion::FacturasPendientes()
{
    return textos(base.FacturasPendientes(config.NumeroCaja));
}
QStringList BancoImpresion::NotasPendientes()
{
    return textos(base.NotasPendientes(config.NumeroCaja));
}

void BancoImpresion::Linea::PerderPrimerCierre(std::function<void()> antes)
{
    AlEscribir = [antes, perdio = false](const QByteArray& datos) mutable {
        if (perdio || datos.mid(2, 2) != "E\x03")
            return true;
        perdio = true;
        if (antes)
            antes();
        return false;
    };
}

QString BancoImpresion::Linea::Error() const
{
    return perdida_ ? QStringLiteral("perdida") : real_.Error();
}

bool BancoImpresion::Linea::Escribir(const QByteArray& datos, int ms)
{
    perdida_ = AlEscribir && !AlEscribir(datos);
    return !perdida_ && real_.Escribir(datos, ms);
}

QByteArray BancoImpresion::Linea::LeerTodo()
{
    QByteArray b = real_.LeerTodo();
    if (AlLeer)
        AlLeer(b);
    return b;
}

void BancoImpresion::TurnoFactura()
{
    ImpresionFactura factura(*ctx);
    ImpresionNotaCredito nota(*ctx);
    TurnoImpresion(*this, pantalla, factura, nota).Factura();
}

void BancoImpresion::TurnoNota(ImpresionNotaCredito& nota)
{
    ImpresionFactura factura(*ctx);
    TurnoImpresion(*this, pantalla, factura, nota).Nota();
}
