#include <QLabel>
#include <QtTest>
#include <cstring>

#include "csysinfo.h"
#include "tarvik/system_info.h"
#include "temp_root.h"

namespace {

QColor TextColour(QLabel* label) { return label->palette().color(QPalette::WindowText); }
const QColor kBlue(50, 50, 200);
const QColor kRed(200, 50, 50);

}  // namespace

class TestCSysInfo : public QObject {
  Q_OBJECT
 private slots:
  void missingDriverShowsZeroInRedAndNotAvailable();
  void runningServiceIsBlueAndTheMachineIsShown();
};

void TestCSysInfo::missingDriverShowsZeroInRedAndNotAvailable() {
  tarvik::TempStateRoot root;
  CSysInfo dlg;
  dlg.show();
  QCOMPARE(dlg.windowTitle(), QStringLiteral("System Information"));
  QCOMPARE(dlg.Field("File Size : ")->text(), QStringLiteral("0 Byte(s)."));
  QCOMPARE(TextColour(dlg.Field("File Size : ")), kRed);
  QCOMPARE(dlg.Field("File Time : ")->text(), QStringLiteral("N/A"));
  QCOMPARE(dlg.Field("File Ver : ")->text(), QStringLiteral("N/A"));
  QCOMPARE(TextColour(dlg.Field("File Ver : ")), kBlue);
  QCOMPARE(dlg.Field("Status : ")->text(), QStringLiteral("Service does not exist!"));
  QCOMPARE(TextColour(dlg.Field("Status : ")), kRed);
  QCOMPARE(dlg.Field("System Dir : ")->text(),
           QString::fromStdString(root.Path() + "/System32"));
}

void TestCSysInfo::runningServiceIsBlueAndTheMachineIsShown() {
  tarvik::TempStateRoot root;
  SysInfoSources sources = SysInfoSources::Live();
  sources.serviceStatus = [](const char* name, char* text, size_t size) -> uint32_t {
    if (std::strcmp(name, "Vonderil") != 0) return 0;
    snprintf(text, size, "Driver is running.");
    return 4;
  };
  CSysInfo dlg(nullptr, sources);
  dlg.show();
  QCOMPARE(dlg.Field("Status : ")->text(), QStringLiteral("Driver is running."));
  QCOMPARE(TextColour(dlg.Field("Status : ")), kBlue);
  // This machine's kernel and processor count.
  QVERIFY(dlg.Field("OS : ")->text().contains(QStringLiteral(" ver ")));
  QCOMPARE(dlg.Field("CPU(s) : ")->text(), QString::number(tarvik::ProcessorCount()));
  QCOMPARE(TextColour(dlg.Field("CPU Type : ")), kBlue);
  QVERIFY(dlg.Field("")->text().contains(QStringLiteral(",  ")));
}

QTEST_MAIN(TestCSysInfo)
#include "tst_csysinfo.moc"
