#include "servidor/VistaPizarra.h"

#include "servidor/Pizarra.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

VistaPizarra::VistaPizarra(QTextDocument& documento) : documento_(documento)
{
    documento_.setUndoRedoEnabled(false);
}

void VistaPizarra::Iniciar(const QString& rtf)
{
    documento_.setHtml(Pizarra::AHtml(rtf));
    bloquesCabeza_ = documento_.blockCount();
    lineas_ = 0;
}

void VistaPizarra::Agregar(const QString& html, int quitadas)
{
    // Line k is the paragraph bloquesCabeza_ + k.
    quitadas = qBound(0, quitadas, lineas_);
    if (quitadas > 0) {
        QTextCursor c(&documento_);
        const QTextBlock primera = documento_.findBlockByNumber(bloquesCabeza_);
        const QTextBlock siguiente = documento_.findBlockByNumber(bloquesCabeza_ + quitadas);
        if (siguiente.isValid()) {
            c.setPosition(primera.position());
            c.setPosition(siguiente.position(), QTextCursor::KeepAnchor);
        } else { // every line goes, with the paragraph break before them
            c.setPosition(primera.position() - 1);
            c.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        }
        c.removeSelectedText();
        lineas_ -= quitadas;
    }
    QTextCursor c(&documento_);
    c.movePosition(QTextCursor::End);
    c.insertBlock();
    c.insertHtml(html);
    ++lineas_;
}
