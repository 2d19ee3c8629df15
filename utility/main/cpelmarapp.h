// The application object: prepares the state root and the platform hooks,
// runs the main window modally and ends the program when it closes. There is
// no single-instance check; several copies may run side by side.
#pragma once

class QDialog;

class CPelmarApp {
 public:
  // Call first in main(), before the Qt application exists: a termination
  // request (SIGTERM, SIGINT, SIGHUP) then closes the main window through
  // its normal shutdown instead of killing the process.
  static void CatchTerminationSignals();
  // From then on a caught request closes dialog (after any box of the
  // program that is open over it), as Run does with its main window.
  static void WatchTerminationSignals(QDialog* dialog);

  // Runs the main window; returns the program's exit code.
  int Run();
};
