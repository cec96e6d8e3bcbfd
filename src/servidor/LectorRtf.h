#pragma once

#include <QColor>
#include <QList>
#include <QString>

// Reads the RTF subset the chat board writes (colour table, \cfN, \par, \uN,
// \'hh and the escaped "\", "{" and "}") into HTML for a QTextEdit: colours
// and line breaks. Anything else is skipped, and no input can make it fail.
class LectorRtf
{
  public:
    static QString AHtml(const QString& rtf);

  private:
    explicit LectorRtf(const QString& rtf) : rtf_(rtf), n_(rtf.size()) {}

    QString Leer();
    void Caracter(QChar c);
    // At a backslash with something after it.
    void Control();
    void Hexadecimal();
    void PalabraControl();
    void Palabra(const QString& palabra, int valor, bool conValor);
    void Unicode(int valor);
    void TerminarColor();
    void CambiarColor(int indice);

    const QString& rtf_;
    const qsizetype n_;
    qsizetype i_ = 0;
    QString html_;
    QList<QColor> colores_; // index 0 is the default colour (the entry without values)
    int profundidad_ = 0;
    int grupoTabla_ = -1; // depth of a {\fonttbl} or {\colortbl} group being skipped
    bool enColores_ = false;
    int rojo_ = 0, verde_ = 0, azul_ = 0;
    bool entradaConColor_ = false;
    bool spanAbierto_ = false;
};
