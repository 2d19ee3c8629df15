// A push button with an icon that tracks the mouse: while the pointer is over
// it the button is "hot" and draws its text in the hot colour, so a column of
// command buttons shows at a glance which one a click would hit.
#pragma once
#include <QColor>
#include <QPushButton>

class CIconButton : public QPushButton {
  Q_OBJECT
 public:
  explicit CIconButton(const QString& text, QWidget* parent = nullptr);

  void SetHotTextColor(const QColor& color);
  bool IsHot() const { return m_hot; }

 signals:
  void hotChanged(bool hot);

 protected:
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void SetHot(bool hot);
  void ApplyColors();

  bool m_hot = false;
  QColor m_hotText;
};
