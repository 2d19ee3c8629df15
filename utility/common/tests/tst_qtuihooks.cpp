#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QtTest>
#include <thread>

#include "modal_helper.h"
#include "qt_ui_hooks.h"
#include "tarvik/ui_hooks.h"

class TestQtUiHooks : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { InstallQtUiHooks(); }
  void nameFilters_data();
  void nameFilters();
  void shellArguments();
  void messageBoxShowsCaptionIconAndButtons_data();
  void messageBoxShowsCaptionIconAndButtons();
  void messageBoxShowsMarkupAsText();
  void openDialogGivesTheChosenPath();
  void cancelledDialogGivesNothing();
  void shellOpenStartsAProgramDetached();
  void shellOpenOfAMissingProgramFails();
  void waitCursorNests();
  // Last: it puts the hooks into their terminating state for good.
  void messageFromAnotherThreadIsShownOnTheUiThread();
  void terminatingAnswersWithoutWaiting();
};

void TestQtUiHooks::nameFilters_data() {
  QTest::addColumn<QByteArray>("windows");
  QTest::addColumn<QStringList>("qt");
  QTest::newRow("import")
      << QByteArray("XML Configuration Files (*.xml)|*.xml|Configuration Files (*.cfg)|*.cfg|"
                    "All Files (*.*)|*.*||")
      << QStringList{"XML Configuration Files (*.xml)", "Configuration Files (*.cfg)",
                     "All Files (*)"};
  QTest::newRow("export") << QByteArray("XML Configuration Files (*.xml)|*.xml||")
                          << QStringList{"XML Configuration Files (*.xml)"};
  QTest::newRow("no parenthesis, two patterns")
      << QByteArray("Text|*.txt;*.log||") << QStringList{"Text (*.txt *.log)"};
  QTest::newRow("empty") << QByteArray("") << QStringList{};
}

void TestQtUiHooks::nameFilters() {
  QFETCH(QByteArray, windows);
  QFETCH(QStringList, qt);
  QCOMPARE(QtNameFilters(windows.toStdString()), qt);
}

void TestQtUiHooks::shellArguments() {
  QCOMPARE(SplitShellArguments("Serial=COM1"), QStringList{"Serial=COM1"});
  QCOMPARE(SplitShellArguments("Tcp=10.0.0.5,4001"), QStringList{"Tcp=10.0.0.5,4001"});
  QCOMPARE(SplitShellArguments(""), QStringList{});
  QCOMPARE(SplitShellArguments("a \"b c\""), (QStringList{"a", "b c"}));
}

void TestQtUiHooks::messageBoxShowsCaptionIconAndButtons_data() {
  QTest::addColumn<unsigned>("flags");
  QTest::addColumn<int>("icon");
  QTest::addColumn<int>("buttons");
  QTest::addColumn<int>("press");
  QTest::addColumn<int>("answer");
  QTest::newRow("ok/cancel warning, cancel")
      << unsigned(tarvik::kMbOkCancel | tarvik::kMbIconWarning) << int(QMessageBox::Warning)
      << int(QMessageBox::Ok | QMessageBox::Cancel) << int(QMessageBox::Cancel)
      << int(tarvik::kIdCancel);
  QTest::newRow("ok information") << unsigned(tarvik::kMbOk | tarvik::kMbIconInformation)
                                  << int(QMessageBox::Information) << int(QMessageBox::Ok)
                                  << int(QMessageBox::Ok) << int(tarvik::kIdOk);
  QTest::newRow("yes/no stop, no") << unsigned(tarvik::kMbYesNo | tarvik::kMbIconError)
                                   << int(QMessageBox::Critical)
                                   << int(QMessageBox::Yes | QMessageBox::No)
                                   << int(QMessageBox::No) << int(tarvik::kIdNo);
  QTest::newRow("no icon, ok") << unsigned(tarvik::kMbOk) << int(QMessageBox::NoIcon)
                               << int(QMessageBox::Ok) << int(QMessageBox::Ok)
                               << int(tarvik::kIdOk);
}

void TestQtUiHooks::messageBoxShowsCaptionIconAndButtons() {
  QFETCH(unsigned, flags);
  QFETCH(int, icon);
  QFETCH(int, buttons);
  QFETCH(int, press);
  QFETCH(int, answer);
  QString caption, text;
  int shownIcon = -1, shownButtons = -1;
  WhenModal<QMessageBox>([&](QMessageBox* box) {
    caption = box->windowTitle();
    text = box->text();
    shownIcon = box->icon();
    shownButtons = int(box->standardButtons());
    box->button(QMessageBox::StandardButton(press))->click();
  });
  QCOMPARE(tarvik::ShowMessageBox("Import operation is canceled!", "Tarvik Utility", flags),
           answer);
  QCOMPARE(caption, QStringLiteral("Tarvik Utility"));
  QCOMPARE(text, QStringLiteral("Import operation is canceled!"));
  QCOMPARE(shownIcon, icon);
  QCOMPARE(shownButtons, buttons);
}

// Messages carry devices' names ("Unknown device [%s] ..."): a reported
// name with markup must not render as markup.
void TestQtUiHooks::messageBoxShowsMarkupAsText() {
  Qt::TextFormat format = Qt::AutoText;
  QString text;
  WhenModal<QMessageBox>([&](QMessageBox* box) {
    format = box->textFormat();
    text = box->text();
    box->button(QMessageBox::Ok)->click();
  });
  tarvik::ShowMessageBox("Unknown device [RRB<b>x</b>]", "Tarvik Utility",
                         tarvik::kMbOk | tarvik::kMbIconWarning);
  QCOMPARE(format, Qt::PlainText);
  QCOMPARE(text, QStringLiteral("Unknown device [RRB<b>x</b>]"));
}

void TestQtUiHooks::openDialogGivesTheChosenPath() {
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("Quenport.xml"));
  QFile(file).open(QIODevice::WriteOnly);
  QStringList filters;
  WhenModal<QFileDialog>([&](QFileDialog* dialog) {
    filters = dialog->nameFilters();
    dialog->selectFile(file);
    static_cast<QDialog*>(dialog)->accept();
  });
  tarvik::FileDialogRequest request;
  request.filter = "XML Configuration Files (*.xml)|*.xml||";
  request.defaultExtension = "cfg";
  request.initialName = "Quenport";
  std::string path;
  QVERIFY(tarvik::ShowFileDialog(request, &path));
  QCOMPARE(QString::fromStdString(path), file);
  QCOMPARE(filters, QStringList{"XML Configuration Files (*.xml)"});
}

void TestQtUiHooks::cancelledDialogGivesNothing() {
  WhenModal<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
  tarvik::FileDialogRequest request;
  request.save = true;
  request.filter = "XML Configuration Files (*.xml)|*.xml||";
  std::string path = "unchanged";
  QVERIFY(!tarvik::ShowFileDialog(request, &path));
  QCOMPARE(path, std::string("unchanged"));
}

void TestQtUiHooks::shellOpenStartsAProgramDetached() {
  QTemporaryDir dir;
  const QString program = dir.filePath(QStringLiteral("Terminal.exe"));
  const QString marker = dir.filePath(QStringLiteral("args"));
  QFile script(program);
  QVERIFY(script.open(QIODevice::WriteOnly));
  script.write(QStringLiteral("#!/bin/sh\necho \"$@\" > '%1.tmp' && mv '%1.tmp' '%1'\n")
                   .arg(marker)
                   .toLatin1());
  script.close();
  script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  QVERIFY(tarvik::ShellOpen(program.toStdString(), "Serial=COM1") > 32);
  QTRY_VERIFY(QFile::exists(marker));
  QFile args(marker);
  QVERIFY(args.open(QIODevice::ReadOnly));
  QCOMPARE(args.readAll().trimmed(), QByteArray("Serial=COM1"));
}

void TestQtUiHooks::shellOpenOfAMissingProgramFails() {
  QTemporaryDir dir;
  QVERIFY(tarvik::ShellOpen(dir.filePath(QStringLiteral("HOLLIN.EXE")).toStdString()) <= 32);
}

void TestQtUiHooks::waitCursorNests() {
  QVERIFY(!QApplication::overrideCursor());
  {
    tarvik::WaitCursor outer;
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    { tarvik::WaitCursor inner; }
    QVERIFY(QApplication::overrideCursor());
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  }
  QVERIFY(!QApplication::overrideCursor());
}

// The discovery receiver reports failures from its own thread; the box must
// be made on the UI thread, and the reporting thread must not wait for it.
void TestQtUiHooks::messageFromAnotherThreadIsShownOnTheUiThread() {
  int answer = -1;
  std::thread receiver([&] {
    answer = tarvik::ShowMessageBox("Winsock select() error.", "Findra", tarvik::kMbOk | tarvik::kMbIconWarning);
  });
  receiver.join();  // returns without anyone answering the box
  QCOMPARE(answer, int(tarvik::kIdOk));
  QThread* shownOn = nullptr;
  QString text;
  WhenModal<QMessageBox>([&](QMessageBox* box) {
    shownOn = box->thread();
    text = box->text();
    box->button(QMessageBox::Ok)->click();
  });
  QTRY_COMPARE(text, QStringLiteral("Winsock select() error."));
  QCOMPARE(shownOn, qApp->thread());
}

void TestQtUiHooks::terminatingAnswersWithoutWaiting() {
  SetUiTerminating();
  QCOMPARE(tarvik::ShowMessageBox("Remove this server?", "Tarvik Utility",
                                  tarvik::kMbYesNo | tarvik::kMbIconError),
           int(tarvik::kIdNo));
  QCOMPARE(tarvik::ShowMessageBox("Are you sure to continue?", "Tarvik Utility",
                                  tarvik::kMbOkCancel | tarvik::kMbIconWarning),
           int(tarvik::kIdCancel));
  QCOMPARE(tarvik::ShowMessageBox("Failed", "Tarvik Utility", tarvik::kMbOk), int(tarvik::kIdOk));
  tarvik::FileDialogRequest request;
  std::string path;
  QVERIFY(!tarvik::ShowFileDialog(request, &path));
  QVERIFY(!QApplication::activeModalWidget());
}

QTEST_MAIN(TestQtUiHooks)
#include "tst_qtuihooks.moc"
