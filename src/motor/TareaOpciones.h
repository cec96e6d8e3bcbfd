#pragma once

#include <QDate>
#include <QString>

// What the options panel holds when "Ejecutar" is pressed: the selected task
// (Tarea(0) to Tarea(8), -1 for none) and the fields next to the tasks.
struct TareaOpciones {
    int tarea = -1;
    QString combo1;     // header line number, the selected item as shown
    QString encabezado; // header line text
    QString combo2;     // footer line number
    QString pie;        // footer line text
    QDate ini;
    QDate fini;
    QString zinic;
    QString zfinic;
};
