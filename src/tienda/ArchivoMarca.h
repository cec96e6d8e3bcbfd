#pragma once

#include <QString>
#include <optional>

// A small marker file beside the program (Log.log for invoices, LogNota.log
// for credit notes). Its first line is the Código of the document whose
// closing command went out last, as a blank and the exact digits (" 4711");
// "0" names no document. The lines after it say what the printer showed
// then, so that a recovery marks a document printed only on the printer's
// evidence. Written so that a crash or power loss at any moment leaves the
// old or the new content, never an empty or half file.
class ArchivoMarca
{
public:
    struct Marca {
        // The document; none for a marker that names nothing ("0", empty).
        std::optional<qlonglong> Codigo;
        // The printer's last number of the document's kind before its closing.
        QString Antes;
        // The number the printer gave it, kept while the write-back failed.
        QString Numero;
        // The daily period the document belongs to, kept with Numero.
        std::optional<qlonglong> NumeroZ;

        bool operator==(const Marca&) const = default;
        // A marker that names `codigo`, with what the printer showed.
        static Marca De(qlonglong codigo, const QString& antes = {}, const QString& numero = {},
                        std::optional<qlonglong> numeroZ = {})
        {
            return Marca{codigo, antes, numero, numeroZ};
        }
    };

    explicit ArchivoMarca(const QString& ruta);

    QString Ruta() const { return ruta_; }
    bool Existe() const;
    // A missing file names no document; nullopt when the file exists but
    // cannot be read.
    std::optional<Marca> Leer() const;
    // Temporary file, flushed to disk, renamed over the old one, folder synced.
    bool Escribir(const Marca& marca, QString* error = nullptr);
    // Makes sure the file exists: creates it with "0" only when it is missing.
    // A file that exists but cannot be read is never overwritten: false and a
    // reason in *error.
    bool Verificar(QString* error = nullptr);

    static QByteArray Contenido(const Marca& marca);
    static Marca Interpretar(const QByteArray& contenido);

private:
    bool EscribirTexto(const QByteArray& contenido, QString* error);

    QString ruta_;
};
