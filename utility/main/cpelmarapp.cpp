#include "cpelmarapp.h"

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

#include "app_state.h"
#include "companion.h"
#include "cpelmardlg.h"
#include "qt_ui_hooks.h"
#include "tarvik/state_root.h"
#include "tarvik/ui_hooks.h"

namespace {

int g_signalPipe[2] = {-1, -1};

void OnTerminationSignal(int) {
  const char byte = 1;
  // Only async-signal-safe work here: the main loop reads the pipe.
  [[maybe_unused]] ssize_t written = write(g_signalPipe[1], &byte, 1);
}

}  // namespace

void CPelmarApp::CatchTerminationSignals() {
  if (g_signalPipe[0] >= 0) return;
  if (pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  struct sigaction action = {};
  action.sa_handler = &OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &action, nullptr);
}

void CPelmarApp::WatchTerminationSignals(QDialog* dialog) {
  if (g_signalPipe[0] < 0) return;
  auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, dialog);
  QObject::connect(notifier, &QSocketNotifier::activated, dialog, [dialog] {
    char drain[16];
    while (read(g_signalPipe[0], drain, sizeof drain) > 0) {
    }
    SetUiTerminating();
    // A box of the program that is open goes first; the request comes
    // round again until the main window is the one on top.
    QWidget* modal = QApplication::activeModalWidget();
    if (auto* box = qobject_cast<QDialog*>(modal); box && box != dialog) {
      box->reject();
      OnTerminationSignal(SIGTERM);
      return;
    }
    // During a walk this ends the walk first (CPelmarDlg::done).
    dialog->reject();
  });
}

int CPelmarApp::Run() {
  InstallQtUiHooks();
  InstallCompanionShell();
  std::string error;
  if (!tarvik::EnsureStateRoot(&error))
    tarvik::ShowMessageBox(error.c_str(), kAppCaption, tarvik::kMbOk | tarvik::kMbIconWarning);

  CPelmarDlg dialog;
  WatchTerminationSignals(&dialog);
  dialog.exec();
  return 0;
}
