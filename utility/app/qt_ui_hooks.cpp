#include "qt_ui_hooks.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QUrl>

#include "tarvik/ui_hooks.h"

namespace {

QString Latin1(const std::string& text) { return QString::fromLatin1(text.c_str()); }

QWidget* DialogParent() {
  QWidget* parent = QApplication::activeModalWidget();
  if (!parent) parent = QApplication::activeWindow();
  return parent;
}

int QtMessageBox(const std::string& text, const std::string& caption, unsigned flags) {
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
  QString title = Latin1(request.title);
  if (title.isEmpty()) title = request.save ? QStringLiteral("Save As") : QStringLiteral("Open");
  QFileDialog dialog(DialogParent(), title);
  dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setNameFilters(QtNameFilters(request.filter));
  if (!request.defaultExtension.empty()) dialog.setDefaultSuffix(Latin1(request.defaultExtension));
  if (!request.initialName.empty()) dialog.selectFile(Latin1(request.initialName));
  // The overwrite question is the dialog's own (on by default for saving).
  QApplication::setOverrideCursor(Qt::ArrowCursor);
  const bool accepted = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
  QApplication::restoreOverrideCursor();
  if (!accepted) return false;
  *path = dialog.selectedFiles().first().toLatin1().toStdString();
  return true;
}

int QtShellOpen(const std::string& file, const std::string& parameters,
                const std::string& directory) {
  const QString target = Latin1(file);
  const QUrl url(target);
  if (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"))
    return QDesktopServices::openUrl(url) ? 33 : 31;  // 31: no application for it
  if (!QFileInfo(target).isFile()) return 2;             // file not found
  const bool started =
      QProcess::startDetached(target, SplitShellArguments(parameters), Latin1(directory));
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
