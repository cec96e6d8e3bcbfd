#pragma once

#include <QString>

class QTextDocument;

// Shows the chat board in a text document (the window's QTextEdit): the
// opening once, then each line as a paragraph of its own appended at the
// end, and the oldest lines removed as the board drops them. Nothing is
// rendered twice and the document keeps no undo history.
class VistaPizarra
{
  public:
    explicit VistaPizarra(QTextDocument& documento);

    // The board began again: its whole RTF document.
    void Iniciar(const QString& rtf);
    // A line (HTML) at the end, after removing the `quitadas` oldest lines.
    void Agregar(const QString& html, int quitadas);

    int Lineas() const { return lineas_; }

  private:
    QTextDocument& documento_;
    int bloquesCabeza_ = 0; // paragraphs of the opening
    int lineas_ = 0;
};
