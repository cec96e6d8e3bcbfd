#pragma once

#include <QString>
#include <optional>

// Turns the configured port setting into a device: a whole number n is the
// n-th serial port, "COMn" likewise, and a path is used as it is.
class NombrePuerto
{
  public:
    // std::nullopt when the setting is none of these.
    static std::optional<QString> Resolver(const QString& puerto);
};
