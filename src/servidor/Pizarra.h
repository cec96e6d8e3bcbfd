#pragma once

#include <QString>
#include <deque>

// The chat board: one RTF document as the program writes it, ended with a
// line end as a rich-text box stores it, and its HTML for display (LectorRtf
// reads the RTF subset the board uses).
//
// The board runs for weeks: it keeps its opening and the most recent lines
// within kMaxLineas and kMaxTexto characters, dropping the oldest first, and
// each line is added without copying the rest. Text from the server enters
// the RTF escaped, so no line can change how the others read.
class Pizarra
{
  public:
    static constexpr int kColores = 6;
    static constexpr int kMaxLineas = 500;
    static constexpr qsizetype kMaxTexto = 256 * 1024;
    // A longer chat text is cut here (and marked), so that one line alone
    // never fills the board.
    static constexpr qsizetype kMaxCuerpo = 16 * 1024;

    // The board's starting document.
    void IniciarPizarra();
    // The stored RTF without its last three characters (the closing brace and
    // the line end); the board is left empty.
    QString TomarPizarra();
    // Stores an RTF text as the board's document.
    void Guardar(const QString& rtf);
    // The whole document (built on each call: for tests and checks).
    QString Rtf() const;

    // A chat line from the server.
    void ChatServidor(const QString& cuerpo);
    // The echo of a sent "M%", "D%" or "N%" message; `visible` is whether the
    // window shows itself (no echo otherwise, and the board stays as it was).
    void Eco(const QString& mensaje, const QString& hablante, bool visible);

    // The lines kept after the opening, and what the last addition did: the
    // RTF it added and how many of the oldest lines it dropped.
    qsizetype Lineas() const { return lineas_.size(); }
    QString UltimaLinea() const { return lineas_.empty() ? QString() : lineas_.back(); }
    int Quitadas() const { return quitadas_; }
    // The RTF opening: everything before the lines.
    QString Cabeza() const { return cabeza_; }

    // Text as it goes into the RTF: "\", "{" and "}" escaped, characters
    // the code page lacks as \uN with "?" for readers without Unicode.
    static QString Escapar(const QString& texto);

    // The document as HTML for a QTextEdit: colours and line breaks.
    static QString AHtml(const QString& rtf);
    // One added line as HTML, with the colours of the board's opening.
    QString HtmlLinea(const QString& linea) const;

  private:
    void Agregar(const QString& linea);

    QString cabeza_;      // the document up to its lines, without its closing brace
    bool cierre_ = false; // Rtf() ends with the closing brace
    bool vacia_ = true;   // taken (TomarPizarra) or never written
    std::deque<QString> lineas_;
    qsizetype tamano_ = 0;
    int quitadas_ = 0;
};
