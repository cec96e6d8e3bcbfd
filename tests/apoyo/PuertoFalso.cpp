#include "apoyo/PuertoFalso.h"

PuertoFalso::PuertoFalso(RelojFalso& reloj) : reloj_(reloj) {}

void PuertoFalso::Programar(const QList<Trozo>& trozos)
{
    programados_ = trozos;
}

void PuertoFalso::PonerRestos(const QByteArray& datos)
{
    buffer_.append(datos);
}

void PuertoFalso::FallarApertura(const QString& motivo)
{
    fallo_ = motivo;
}

QString PuertoFalso::Nombre() const
{
    return QStringLiteral("falso");
}

bool PuertoFalso::Abrir()
{
    if (!fallo_.isEmpty())
        return false;
    abierto_ = true;
    ++aperturas_;
    return true;
}

QString PuertoFalso::Error() const
{
    return fallo_;
}

bool PuertoFalso::Escribir(const QByteArray& datos, int)
{
    escrito_.append(datos);
    pendientes_.clear();
    for (const Trozo& t : programados_)
        pendientes_.append({reloj_.AhoraMs() + t.enMs, t.datos});
    programados_.clear();
    return true;
}

void PuertoFalso::Descartar()
{
    buffer_.clear();
}

qint64 PuertoFalso::BytesEsperando()
{
    return buffer_.size();
}

bool PuertoFalso::EsperarDatos(int ms)
{
    if (pendientes_.isEmpty() || pendientes_.first().enMs > reloj_.AhoraMs() + ms) {
        reloj_.Avanzar(ms);
        return false;
    }
    const Trozo t = pendientes_.takeFirst();
    reloj_.Avanzar(t.enMs - reloj_.AhoraMs());
    buffer_.append(t.datos);
    return true;
}

QByteArray PuertoFalso::LeerTodo()
{
    QByteArray b;
    b.swap(buffer_);
    return b;
}

void PuertoFalso::Cerrar()
{
    if (abierto_)
        ++cierres_;
    abierto_ = false;
    pendientes_.clear();
}
