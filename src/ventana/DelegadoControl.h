#pragma once

#include <QList>
#include <QStyledItemDelegate>

// Draws the entries of the command and reply lists with every control byte
// (STX, FS, ETX, DC2, DEL ...) as a small labelled box, so a frame can be read
// at a glance. Only the drawing changes: the entry's text stays the exact
// bytes, which is what a double click copies.
class DelegadoControl : public QStyledItemDelegate
{
    Q_OBJECT
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // The name drawn for a character that has no glyph of its own ("STX",
    // "FS", "DEL", "?" for an unknown byte); empty for printable text.
    static QString Simbolo(QChar c);

  private:
    struct Trozo {
        QString texto;
        bool simbolo = false;
    };
    static QList<Trozo> Trozos(const QString& texto);
    static QFont FuenteSimbolo(const QFont& base);
    static int AnchoTrozo(const Trozo& t, const QFont& fuente);
};
