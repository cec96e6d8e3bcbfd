#pragma once

#include <QString>
#include <optional>

// A one-line marker file holding the Código of the document whose closing
// command went out last (Log.log). Written so that a crash or power loss at
// any moment leaves the old or the new content, never an empty or half file.
class ArchivoMarca
{
public:
    explicit ArchivoMarca(const QString& ruta);

    QString Ruta() const { return ruta_; }
    bool Existe() const;
    // The leading numeric value of the first item; nullopt when the file
    // cannot be opened or read.
    std::optional<qlonglong> Leer() const;
    // Temporary file, flushed to disk, renamed over the old one, folder synced.
    bool Escribir(qlonglong codigo, QString* error = nullptr);
    // Makes sure the file exists: creates it with "0" only when it is missing.
    // A file that exists but cannot be read is never overwritten: false and a
    // reason in *error.
    bool Verificar(QString* error = nullptr);

private:
    bool EscribirTexto(const QByteArray& contenido, QString* error);

    QString ruta_;
};
