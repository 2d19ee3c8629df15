#include "qt_ui_hooks.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QMetaObject>
#include <QProcess>
#include <QThread>
#include <QUrl>
#include <cstdio>

#include "tarvik/ui_hooks.h"

namespace {

bool g_terminating = false;

QString Latin1(const std::string& text) { return QString::fromLatin1(text.c_str()); }

QWidget* DialogParent() {
  QWidget* parent = QApplication::activeModalWidget();
  if (!parent) parent = QApplication::activeWindow();
  return parent;
}

int TerminatingAnswer(const std::string& text, const std::string& caption, unsigned flags) {
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  switch (flags & tarvik::kMbButtonMask) {
    case tarvik::kMbOkCancel:
    case tarvik::kMbYesNoCancel: return tarvik::kIdCancel;
    case tarvik::kMbYesNo: return tarvik::kIdNo;
    default: return tarvik::kIdOk;
  }
}

int QtMessageBox(const std::string& text, const std::string& caption, unsigned flags);

// The discovery library's receiver thread reports its failures on its own
// thread. Widgets live on the UI thread only, and that thread may be about
// to join the receiver, so the box is handed over and the thread goes on at
// once with the answer of a box that only informs.
int MessageBoxFromOtherThread(const std::string& text, const std::string& caption,
                              unsigned flags) {
  QMetaObject::invokeMethod(
      qApp, [text, caption, flags] { QtMessageBox(text, caption, flags); }, Qt::QueuedConnection);
  return (flags & tarvik::kMbButtonMask) == tarvik::kMbOk ? tarvik::kIdOk : tarvik::kIdCancel;
}

int QtMessageBox(const std::string& text, const std::string& caption, unsigned flags) {
  if (g_terminating) return TerminatingAnswer(text, caption, flags);
  if (qApp && QThread::currentThread() != qApp->thread()) {
    return MessageBoxFromOtherThread(text, caption, flags);
  }
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  switch (flags & tarvik::kMbIconMask) {
    case tarvik::kMbIconError: icon = QMessageBox::Critical; break;
    case tarvik::kMbIconQuestion: icon = QMessageBox::Question; break;
    case tarvik::kMbIconWarning: icon = QMessageBox::Warning; break;
    case tarvik::kMbIconInformation: icon = QMessageBox::Information; break;
    default: break;
  }
  QMessageBox::StandardButtons buttons = QMessageBox::Ok;
  switch (flags & tarvik::kMbButtonMask) {
    case tarvik::kMbOkCancel: buttons = QMessageBox::Ok | QMessageBox::Cancel; break;
    case tarvik::kMbYesNo: buttons = QMessageBox::Yes | QMessageBox::No; break;
    case tarvik::kMbYesNoCancel:
      buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
      break;
    default: break;
  }
  QMessageBox box(icon, Latin1(caption), Latin1(text), buttons, DialogParent());
  // Messages carry devices' names and addresses: text, never markup.
  box.setTextFormat(Qt::PlainText);
  // A message box shown while a wait cursor is up must still show an arrow.
  QApplication::setOverrideCursor(Qt::ArrowCursor);
  const int answer = box.exec();
  QApplication::restoreOverrideCursor();
  switch (answer) {
    case QMessageBox::Ok: return tarvik::kIdOk;
    case QMessageBox::Yes: return tarvik::kIdYes;
    case QMessageBox::No: return tarvik::kIdNo;
    default: return tarvik::kIdCancel;
  }
}

bool QtFileDialog(const tarvik::FileDialogRequest& request, std::string* path) {
  if (g_terminating) return false;
  QString title = Latin1(request.title);
  if (title.isEmpty()) title = request.save ? QStringLiteral("Save As") : QStringLiteral("Open");
  QFileDialog dialog(DialogParent(), title);
  dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setNameFilters(QtNameFilters(request.filter));
  if (!request.defaultExtension.empty()) dialog.setDefaultSuffix(Latin1(request.defaultExtension));
  if (!request.initialName.empty())
    dialog.selectFile(QFile::decodeName(request.initialName.c_str()));
  // The overwrite question is the dialog's own (on by default for saving).
  QApplication::setOverrideCursor(Qt::ArrowCursor);
  const bool accepted = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
  QApplication::restoreOverrideCursor();
  if (!accepted) return false;
  // A path is what the file system calls the file: its bytes in the local
  // encoding, not a Latin-1 text (which would turn other letters into '?').
  *path = QFile::encodeName(dialog.selectedFiles().first()).toStdString();
  return true;
}

int QtShellOpen(const std::string& file, const std::string& parameters,
                const std::string& directory) {
  const QUrl url(Latin1(file));
  if (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"))
    return QDesktopServices::openUrl(url) ? 33 : 31;  // 31: no application for it
  const QString program = QFile::decodeName(file.c_str());
  if (!QFileInfo(program).isFile()) return 2;  // file not found
  const bool started = QProcess::startDetached(program, SplitShellArguments(parameters),
                                               QFile::decodeName(directory.c_str()));
  return started ? 33 : 2;
}

}  // namespace

QStringList QtNameFilters(const std::string& windowsFilter) {
  const QStringList parts = Latin1(windowsFilter).split(QLatin1Char('|'));
  QStringList filters;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    if (parts[i].isEmpty()) break;
    QString patterns = parts[i + 1];
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    // "*.*" means every file; here it would miss names without a dot.
    patterns.replace(QLatin1String("*.*"), QLatin1String("*"));
    // Qt takes the patterns from the parentheses of the text it shows, so
    // the description's own parenthesis gives way to the real patterns.
    QString description = parts[i];
    const int open = description.lastIndexOf(QLatin1Char('('));
    if (open > 0) description = description.left(open).trimmed();
    filters << QStringLiteral("%1 (%2)").arg(description, patterns);
  }
  return filters;
}

QStringList SplitShellArguments(const std::string& parameters) {
  return QProcess::splitCommand(Latin1(parameters));
}

void SetUiTerminating() { g_terminating = true; }
bool IsUiTerminating() { return g_terminating; }

void InstallQtUiHooks() {
  tarvik::SetMessageBoxHook(&QtMessageBox);
  tarvik::SetFileDialogHook(&QtFileDialog);
  tarvik::SetShellOpenHook(&QtShellOpen);
  tarvik::SetWaitCursorHook([](bool on) {
    if (on)
      QApplication::setOverrideCursor(Qt::WaitCursor);
    else
      QApplication::restoreOverrideCursor();
  });
  tarvik::SetPumpHook([] { QCoreApplication::processEvents(); });
}
