#pragma once

// What the fuzz targets share: a broken property aborts, so that libFuzzer
// keeps the input that broke it, and byte strings drawn from the input.
#include <QByteArray>

#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>

inline void Exigir(bool condicion)
{
    if (!condicion)
        std::abort();
}

inline QByteArray Bytes(FuzzedDataProvider& f, size_t maximo)
{
    const std::string s = f.ConsumeBytesAsString(f.ConsumeIntegralInRange<size_t>(0, maximo));
    return QByteArray(s.data(), qsizetype(s.size()));
}
