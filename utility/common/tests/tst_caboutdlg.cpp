#include <QFile>
#include <QLabel>
#include <QtTest>

#include "app_texts.h"
#include "build_info.h"
#include "caboutdlg.h"

class TestCAboutDlg : public QObject {
  Q_OBJECT
 private slots:
  void showsTitleAndHidesTheThirdLine();
  void ctrlF6RevealsBuildInformation();
  void buildInformationIsNotPlainTextInTheBinary();
};

void TestCAboutDlg::showsTitleAndHidesTheThirdLine() {
  CAboutDlg about;
  about.show();
  QVERIFY(QTest::qWaitForWindowExposed(&about));
  QCOMPARE(about.windowTitle(), QStringLiteral("About Tarvik Utility"));
  QCOMPARE(about.TitleLine()->text(), QString::fromLatin1(kAppTitle));
  QVERIFY(!about.HiddenLine()->isVisible());
}

void TestCAboutDlg::ctrlF6RevealsBuildInformation() {
  CAboutDlg about;
  about.show();
  QVERIFY(QTest::qWaitForWindowActive(&about));
  QTest::keyClick(&about, Qt::Key_F6);
  QVERIFY(!about.HiddenLine()->isVisible());
  QTest::keyClick(&about, Qt::Key_F6, Qt::ControlModifier);
  QVERIFY(about.HiddenLine()->isVisible());
  QCOMPARE(about.HiddenLine()->text(), QString::fromLatin1(BuildInformation().c_str()));
  QVERIFY(about.HiddenLine()->text().startsWith(QStringLiteral("Tarvik utility build of ")));
}

void TestCAboutDlg::buildInformationIsNotPlainTextInTheBinary() {
  QFile self(QStringLiteral("/proc/self/exe"));
  QVERIFY(self.open(QIODevice::ReadOnly));
  const QByteArray binary = self.readAll();
  const QByteArray text = QByteArray::fromStdString(BuildInformation());
  QVERIFY(text.size() > 30);
  QVERIFY(!binary.contains(text));
}

QTEST_MAIN(TestCAboutDlg)
#include "tst_caboutdlg.moc"
