#include "ciconbutton.h"

#include <QEnterEvent>
#include <QPalette>

CIconButton::CIconButton(const QString& text, QWidget* parent)
    : QPushButton(text, parent), m_hotText(0, 70, 200) {
  setAttribute(Qt::WA_Hover);
  setMouseTracking(true);
  setIconSize(QSize(20, 20));
}

void CIconButton::SetHotTextColor(const QColor& color) {
  m_hotText = color;
  ApplyColors();
}

void CIconButton::enterEvent(QEnterEvent* event) {
  SetHot(isEnabled());
  QPushButton::enterEvent(event);
}

void CIconButton::leaveEvent(QEvent* event) {
  SetHot(false);
  QPushButton::leaveEvent(event);
}

void CIconButton::changeEvent(QEvent* event) {
  // A button greyed while the pointer rests on it must not stay hot.
  if (event->type() == QEvent::EnabledChange && !isEnabled()) SetHot(false);
  QPushButton::changeEvent(event);
}

void CIconButton::SetHot(bool hot) {
  if (m_hot == hot) return;
  m_hot = hot;
  ApplyColors();
  emit hotChanged(hot);
}

void CIconButton::ApplyColors() {
  QPalette pal = palette();
  const QPalette base = parentWidget() ? parentWidget()->palette() : QPalette();
  pal.setColor(QPalette::Active, QPalette::ButtonText,
               m_hot ? m_hotText : base.color(QPalette::Active, QPalette::ButtonText));
  pal.setColor(QPalette::Inactive, QPalette::ButtonText,
               m_hot ? m_hotText : base.color(QPalette::Inactive, QPalette::ButtonText));
  setPalette(pal);
  update();
}
