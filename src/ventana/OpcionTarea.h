#pragma once

#include <QList>
#include <QRadioButton>

// A task option of the options panel whose caption leaves room for its
// fields: "Imprimir Reporte por Fechas desde <gap> hasta" has the first date
// in the gap. The caption text stays exactly as designed; a run of three or
// more blanks is drawn as a slot holding the next embedded field.
class OpcionTarea : public QRadioButton
{
    Q_OBJECT
  public:
    OpcionTarea(const QString& nombre, const QString& texto, QWidget* parent = nullptr);

    // Puts `campo` into the caption's next gap; the option takes ownership.
    void Incrustar(QWidget* campo);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    bool hitButton(const QPoint& pos) const override;

  private:
    QStringList Partes() const;
    int InicioTexto() const;
    void Acomodar();

    QList<QWidget*> campos_;
};
