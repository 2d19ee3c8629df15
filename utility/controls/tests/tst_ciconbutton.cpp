#include <QEnterEvent>
#include <QSignalSpy>
#include <QtTest>

#include "ciconbutton.h"

class TestCIconButton : public QObject {
  Q_OBJECT
 private slots:
  void hotWhileThePointerIsOver();
  void greyingAHotButtonCoolsIt();
  void aGreyButtonNeverTurnsHot();
};

namespace {
void Enter(QWidget* w) {
  QEnterEvent event(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
  QApplication::sendEvent(w, &event);
}
void Leave(QWidget* w) {
  QEvent event(QEvent::Leave);
  QApplication::sendEvent(w, &event);
}
}  // namespace

void TestCIconButton::hotWhileThePointerIsOver() {
  CIconButton button(QStringLiteral("Web"));
  button.SetHotTextColor(QColor(1, 2, 3));
  QSignalSpy spy(&button, &CIconButton::hotChanged);
  QVERIFY(spy.isValid());
  Enter(&button);
  QVERIFY(button.IsHot());
  QCOMPARE(button.palette().color(QPalette::Active, QPalette::ButtonText), QColor(1, 2, 3));
  Leave(&button);
  QVERIFY(!button.IsHot());
  QVERIFY(button.palette().color(QPalette::Active, QPalette::ButtonText) != QColor(1, 2, 3));
  QCOMPARE(spy.count(), 2);
}

void TestCIconButton::greyingAHotButtonCoolsIt() {
  CIconButton button(QStringLiteral("Remove Server"));
  Enter(&button);
  QVERIFY(button.IsHot());
  button.setEnabled(false);
  QVERIFY(!button.IsHot());
}

void TestCIconButton::aGreyButtonNeverTurnsHot() {
  CIconButton button(QStringLiteral("Configuration (UDP)"));
  button.setEnabled(false);
  Enter(&button);
  QVERIFY(!button.IsHot());
}

QTEST_MAIN(TestCIconButton)
#include "tst_ciconbutton.moc"
