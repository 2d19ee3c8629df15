#include <QApplication>

#include "cpelmarapp.h"

int main(int argc, char** argv) {
  CPelmarApp::CatchTerminationSignals();
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("tarvik"));
  CPelmarApp app;
  return app.Run();
}
