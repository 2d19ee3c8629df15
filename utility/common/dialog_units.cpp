#include "dialog_units.h"

#include <QFontMetrics>
#include <QWidget>

int DialogUnitsX(const QWidget* widget, int units) {
  const int base = qMax(1, widget->fontMetrics().averageCharWidth());
  return (units * base + 2) / 4;
}

int DialogUnitsY(const QWidget* widget, int units) {
  const int base = qMax(1, widget->fontMetrics().height());
  return (units * base + 4) / 8;
}

QSize DialogUnitsToPixels(const QWidget* widget, QSize units) {
  return QSize(DialogUnitsX(widget, units.width()), DialogUnitsY(widget, units.height()));
}
