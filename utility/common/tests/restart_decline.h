// Closing the main window with a restart pending brings up the Restart
// Driver dialog. Tests that are not about it decline it, as a user who wants
// no restart now, so a close never waits on a window nobody answers.
#pragma once
#include <QApplication>
#include <QDialog>
#include <QTimer>

class DeclineRestartDriverDialog {
 public:
  DeclineRestartDriverDialog() {
    QObject::connect(&m_timer, &QTimer::timeout, [] {
      QWidget* modal = QApplication::activeModalWidget();
      if (modal && modal->inherits("CRestartDrv")) static_cast<QDialog*>(modal)->reject();
    });
    m_timer.start(20);
  }

 private:
  QTimer m_timer;
};
