// Answers a modal dialog that a call under test is about to open: once the
// dialog of type T is the active modal widget, act() runs on it.
#pragma once
#include <QApplication>
#include <QTimer>
#include <functional>

template <typename T>
void WhenModal(std::function<void(T*)> act, int triesLeft = 500) {
  QTimer::singleShot(10, [act, triesLeft] {
    if (T* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
      act(dialog);
    } else if (triesLeft > 0) {
      WhenModal<T>(act, triesLeft - 1);
    }
  });
}
