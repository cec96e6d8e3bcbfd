// The reading of Vendrix.inf on any bytes, and what start-up derives from it:
// the database and marker paths and the serial port.
#include "Ayudas.h"
#include "tienda/Configuracion.h"
#include "impresora/NombrePuerto.h"

#include <QLoggingCategory>

#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    QLoggingCategory::setFilterRules(QStringLiteral("*=false"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo)
{
    const QByteArray contenido(reinterpret_cast<const char*>(datos), qsizetype(largo));
    const Configuracion c = Configuracion::LeerConfiguracion(contenido);
    Exigir(!c.Puerto.isEmpty());
    Exigir(!(c.Servidor && !c.ErrorServidor.isEmpty()));
    (void)c.ArchivoBaseDatos();
    (void)c.ArchivoMarcaMantenimiento();
    (void)Configuracion::RutaDelSistema(c.RutaDatos);
    (void)NombrePuerto::Resolver(c.Puerto);
    return 0;
}
