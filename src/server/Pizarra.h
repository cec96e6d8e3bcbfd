#pragma once

#include <QString>

// The chat board: one RTF document kept exactly as the program writes it,
// ended with a line end as a rich-text box stores it, plus a renderer of the
// RTF subset the board uses (colour table, \cfN, \par, escapes) for display.
class Pizarra
{
public:
    static constexpr int kColores = 6;

    // The board's starting document.
    void IniciarPizarra();
    // The stored RTF without its last three characters (the closing brace and
    // the line end); the board is left empty.
    QString TomarPizarra();
    // Stores an RTF text as the board's document.
    void Guardar(const QString& rtf);
    QString Rtf() const { return rtf_; }

    // A chat line from the server.
    void ChatServidor(const QString& cuerpo);
    // The echo of a sent "M%", "D%" or "N%" message; `visible` is whether the
    // window shows itself (no echo otherwise, and the board stays as it was).
    void Eco(const QString& mensaje, const QString& hablante, bool visible);

    // The document as HTML for a QTextEdit: colours and line breaks.
    static QString AHtml(const QString& rtf);

private:
    QString rtf_;
};
