#include "ventana/OpcionTarea.h"

#include <QPainter>
#include <QRegularExpression>
#include <QStyleOptionButton>

namespace
{
constexpr int kMargen = 4; // blank either side of an embedded field
}

OpcionTarea::OpcionTarea(const QString& nombre, const QString& texto, QWidget* parent)
    : QRadioButton(texto, parent)
{
    setObjectName(nombre);
}

void OpcionTarea::Incrustar(QWidget* campo)
{
    campo->setParent(this);
    // The slot keeps the field's natural width unless the field fixed its own.
    if (campo->minimumWidth() != campo->maximumWidth())
        campo->setFixedWidth(campo->sizeHint().width());
    campos_.append(campo);
    updateGeometry();
    Acomodar();
}

QStringList OpcionTarea::Partes() const
{
    // One gap per embedded field; later gaps stay part of the text.
    static const QRegularExpression hueco(QStringLiteral(" {3,}"));
    const QString texto = text();
    QStringList partes;
    qsizetype desde = 0;
    auto huecos = hueco.globalMatch(texto);
    while (huecos.hasNext() && partes.size() < campos_.size()) {
        const QRegularExpressionMatch m = huecos.next();
        partes.append(texto.mid(desde, m.capturedStart() - desde));
        desde = m.capturedEnd();
    }
    partes.append(texto.mid(desde));
    return partes;
}

int OpcionTarea::InicioTexto() const
{
    QStyleOptionButton opt;
    initStyleOption(&opt);
    return style()->subElementRect(QStyle::SE_RadioButtonContents, &opt, this).left() + 2;
}

QSize OpcionTarea::sizeHint() const
{
    if (campos_.isEmpty())
        return QRadioButton::sizeHint();
    int ancho = InicioTexto();
    int alto = QRadioButton::sizeHint().height();
    for (const QString& parte : Partes())
        ancho += fontMetrics().horizontalAdvance(parte);
    for (const QWidget* c : campos_) {
        ancho += c->width() + 2 * kMargen;
        alto = qMax(alto, c->sizeHint().height());
    }
    return {ancho + 4, alto};
}

QSize OpcionTarea::minimumSizeHint() const
{
    return sizeHint();
}

void OpcionTarea::Acomodar()
{
    const QStringList partes = Partes();
    int x = InicioTexto();
    for (qsizetype i = 0; i < campos_.size(); ++i) {
        x += fontMetrics().horizontalAdvance(partes.value(i)) + kMargen;
        QWidget* c = campos_.at(i);
        const QSize s = c->sizeHint();
        c->setGeometry(x, (height() - s.height()) / 2, c->width(), s.height());
        x += c->width() + kMargen;
    }
}

void OpcionTarea::resizeEvent(QResizeEvent* e)
{
    QRadioButton::resizeEvent(e);
    Acomodar();
}

bool OpcionTarea::hitButton(const QPoint& pos) const
{
    return campos_.isEmpty() ? QRadioButton::hitButton(pos) : rect().contains(pos);
}

void OpcionTarea::paintEvent(QPaintEvent* e)
{
    if (campos_.isEmpty()) {
        QRadioButton::paintEvent(e);
        return;
    }
    QPainter p(this);
    QStyleOptionButton opt;
    initStyleOption(&opt);
    opt.rect = style()->subElementRect(QStyle::SE_RadioButtonIndicator, &opt, this);
    style()->drawPrimitive(QStyle::PE_IndicatorRadioButton, &opt, &p, this);

    const QStringList partes = Partes();
    int x = InicioTexto();
    QRect primera;
    for (qsizetype i = 0; i < partes.size(); ++i) {
        const int ancho = fontMetrics().horizontalAdvance(partes.at(i));
        const QRect r(x, 0, ancho, height());
        style()->drawItemText(&p, r, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine,
                              palette(), isEnabled(), partes.at(i), QPalette::WindowText);
        if (i == 0)
            primera = r;
        x += ancho;
        if (i < campos_.size())
            x += campos_.at(i)->width() + 2 * kMargen;
    }
    if (hasFocus()) {
        QStyleOptionFocusRect foco;
        foco.initFrom(this);
        foco.rect = primera.adjusted(-1, 2, 1, -2);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &foco, &p, this);
    }
}
