// Dialog units: sizes given in units of the dialog font, a quarter of the
// average character width across and an eighth of the line height down, so
// a window keeps its proportions whatever font the desktop uses.
#pragma once
#include <QSize>

class QWidget;

QSize DialogUnitsToPixels(const QWidget* widget, QSize units);
int DialogUnitsX(const QWidget* widget, int units);
int DialogUnitsY(const QWidget* widget, int units);
