// Times Add Server(s) in the utility's main window over a range, as a user
// who answers every question with OK: the window is real (offscreen), its
// name fetches pump its events, only the message boxes are answered here.
// Not a test; bench/add_servers_walk.sh runs it inside the namespace.
//
//   add_servers_utility FIRST LAST TIMEOUT-SECONDS
//
// Prints "seconds added questions".
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "app_state.h"
#include "caddserverip.h"
#include "caddservers.h"
#include "cconfigsvropt.h"
#include "ciconbutton.h"
#include "cpelmardlg.h"
#include "qt_ui_hooks.h"
#include "tarvik/state_root.h"
#include "tarvik/ui_hooks.h"

namespace {

// Fills the dialog once it is up; looks again until it is.
void AnswerDialog(const QString& first, const QString& last, const QString& timeout) {
  QTimer::singleShot(10, [=] {
    auto* dialog = qobject_cast<CAddServers*>(QApplication::activeModalWidget());
    if (!dialog) return AnswerDialog(first, last, timeout);
    dialog->RangePage()->StartEdit()->setText(first);
    dialog->RangePage()->EndEdit()->setText(last);
    dialog->OptionsPage()->NumberEdit(tarvik::device::kConnectTimeout)->setText(timeout);
    dialog->OkButton()->click();
  });
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: add_servers_utility FIRST LAST TIMEOUT-SECONDS\n");
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  InstallQtUiHooks();
  std::string error;
  if (!tarvik::EnsureStateRoot(&error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  int questions = 0;
  tarvik::SetMessageBoxHook([&](const std::string&, const std::string&, unsigned) {
    ++questions;
    return tarvik::kIdOk;
  });

  CPelmarDlg dialog;
  dialog.show();
  QApplication::processEvents();
  AnswerDialog(QString::fromLatin1(argv[1]), QString::fromLatin1(argv[2]),
               QString::fromLatin1(argv[3]));
  QElapsedTimer clock;
  clock.start();
  dialog.Button(PelmarCommand::kAddServers)->click();  // returns when the walk is over
  const double seconds = clock.elapsed() / 1000.0;
  std::printf("%.1f %u %d\n", seconds, App().config.Servers, questions);
  // No Restart Driver dialog on the way out.
  SetUiTerminating();
  dialog.reject();
  return 0;
}
