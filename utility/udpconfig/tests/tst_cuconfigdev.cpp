// The UDP configuration dialog and the search pane's configure procedure
// against simulated devices. Runs only inside the network namespace harness
// (run-in-netns.sh with tarvik-devsim): every search and every configuration
// command here is a broadcast, which must never reach a real network.
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>
#include <net/if.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app_state.h"
#include "cpelmarsearchdlg.h"
#include "cuconfigdev.h"
#include "findra.h"
#include "modal_helper.h"
#include "netns_guard.h"
#include "temp_root.h"
#include "ui_hook_double.h"

namespace app = tarvik::app;

namespace {

// The configuration commands the simulator received since offset, as sent.
std::vector<std::string> CommandsSince(std::streamoff offset) {
  std::vector<std::string> commands;
  std::ifstream log(qgetenv("UDPCONFIG_DEVSIM_LOG").toStdString());
  log.seekg(offset);
  for (std::string line; std::getline(log, line);) {
    const size_t at = line.find("KORVAXQ410X,01,");
    if (line.rfind("recv ", 0) == 0 && at != std::string::npos) commands.push_back(line.substr(at));
  }
  return commands;
}

std::streamoff LogSize() {
  std::ifstream log(qgetenv("UDPCONFIG_DEVSIM_LOG").toStdString(), std::ios::ate);
  return log ? static_cast<std::streamoff>(log.tellg()) : 0;
}

QPoint CellCenter(QTreeWidget* list, int row, int column) {
  const QRect rowRect = list->visualItemRect(list->topLevelItem(row));
  const int x = list->header()->sectionViewportPosition(column) + list->columnWidth(column) / 2;
  return QPoint(x, rowRect.center().y());
}

}  // namespace

class TestCUConfigDev : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase();
  void cleanupTestCase();
  void init();

  void oneDeviceFormIsShortenedAndShowsTheDevice();
  void dhcpRuleFollowsTheDropDown();
  void severalDevicesFormListsEveryDevice();
  void onlyEditableCellsOfUncheckedRowsOpenTheEditor();
  void editorWritesOnEnterAndOnFocusLoss();
  void checkBoxChangesShowDashOrTheDevicesValues();
  void copySettingsPassesOverAFoundDevicesAddress();
  void okRefusesBadRowsAndStaysOpen();
  void cancelSendsNothing();
  void doubleClickConfiguresTheRowUnderTheCursor();
  void mixedTableSendsExactCommandsAndReportsEveryDevice();
  void threeDevicesTakeCopiedSettings();
  void deviceNameWithMarkupIsShownAsText();
  void dhcpTwoIsOffInTheDialogAsInTheList();
  void aliasThatWouldAddFieldsIsRefusedAtOk();
  void copySettingsFitsNumberedAliasesIntoNineteen();

 private:
  void Search();
  // Selects the pane's rows of these device names; returns their records.
  std::vector<int> Select(const QStringList& names);
  std::unique_ptr<CUConfigDev> Dialog(const QStringList& names);

  std::unique_ptr<tarvik::TempStateRoot> m_root;
  std::unique_ptr<UiHookDouble> m_ui;
  std::unique_ptr<CPelmarSearchDlg> m_pane;
  app::UdpConfigTable m_table;
};

void TestCUConfigDev::initTestCase() {
  if (!InsidePrivateNamespace())
    QSKIP("searches broadcast: run inside tests/netns/run-in-netns.sh");
  m_root = std::make_unique<tarvik::TempStateRoot>();
  m_ui = std::make_unique<UiHookDouble>();
  ResetAppState();
  m_pane = std::make_unique<CPelmarSearchDlg>();
  m_pane->resize(800, 300);
  m_pane->show();
  Search();
}

void TestCUConfigDev::cleanupTestCase() {
  m_pane.reset();
  if (App().discoveryReady) Findra_Close();
  m_ui.reset();
  m_root.reset();
}

void TestCUConfigDev::init() {
  if (m_ui) m_ui->messageBoxes.clear();
}

void TestCUConfigDev::Search() {
  m_pane->Search();
  QCOMPARE(m_pane->List()->topLevelItemCount(), 8);
}

std::vector<int> TestCUConfigDev::Select(const QStringList& names) {
  QTreeWidget* list = m_pane->List();
  list->clearSelection();
  std::vector<int> records;
  for (const QString& name : names) {
    for (int row = 0; row < list->topLevelItemCount(); ++row) {
      if (list->topLevelItem(row)->text(0) != name) continue;
      list->topLevelItem(row)->setSelected(true);
      records.push_back(m_pane->Rows().RecordOf(row));
    }
  }
  m_pane->LeftClick();
  return records;
}

std::unique_ptr<CUConfigDev> TestCUConfigDev::Dialog(const QStringList& names) {
  app::FillConfigTable(&m_table, Select(names));
  auto dialog = std::make_unique<CUConfigDev>(
      &m_table, nullptr, app::ReadDiscoveryModule,
      app::AddressesOfOtherDevices(m_table, Findra_GetCount(), app::ReadDiscoveryModule));
  dialog->show();
  return dialog;
}

void TestCUConfigDev::oneDeviceFormIsShortenedAndShowsTheDevice() {
  auto dialog = Dialog({"Q410X-2"});
  QCOMPARE(dialog->windowTitle(), QStringLiteral("Configure Server (UDP)"));
  QVERIFY(!dialog->SeveralDevices());
  QVERIFY(dialog->Preview()->isHidden());
  QVERIFY(dialog->CopyButton()->isHidden());
  const int cancelBottom = dialog->CancelButton()->mapTo(dialog.get(),
                                                         QPoint(0, dialog->CancelButton()->height())).y();
  QCOMPARE(dialog->height(), cancelBottom + 20);
  QCOMPARE(dialog->DeviceName()->text(), QStringLiteral("Q410X-2"));
  QCOMPARE(dialog->MacEdit()->text(), QStringLiteral("02:4E:A7:00:20:01"));
  QCOMPARE(dialog->IpEdit()->text(), QStringLiteral("10.77.0.31"));
  QCOMPARE(dialog->GatewayEdit()->text(), QStringLiteral("10.77.0.254"));
  QCOMPARE(dialog->AliasEdit()->text(), QStringLiteral("lab"));
  QCOMPARE(dialog->DhcpChoice()->currentText(), QStringLiteral("0: OFF"));
  QVERIFY(dialog->MacEdit()->isReadOnly());
  QVERIFY(dialog->AliasEdit()->maxLength() == 19);
}

void TestCUConfigDev::dhcpRuleFollowsTheDropDown() {
  auto dialog = Dialog({"NH-0408"});
  QCOMPARE(dialog->DhcpChoice()->currentText(), QStringLiteral("1: ON"));
  for (QLineEdit* edit : {dialog->IpEdit(), dialog->MaskEdit(), dialog->GatewayEdit()})
    QVERIFY(!edit->isEnabled());
  dialog->DhcpChoice()->setCurrentIndex(0);
  for (QLineEdit* edit : {dialog->IpEdit(), dialog->MaskEdit(), dialog->GatewayEdit()})
    QVERIFY(edit->isEnabled());

  // One device with DHCP on: OK does not look at the address fields.
  dialog->DhcpChoice()->setCurrentIndex(1);
  dialog->IpEdit()->setText(QStringLiteral("1.2.3"));
  dialog->AliasEdit()->setText(QStringLiteral("porch"));
  dialog->accept();
  QCOMPARE(dialog->result(), int(QDialog::Accepted));
  QVERIFY(m_ui->messageBoxes.empty());
  QCOMPARE(m_table.entries[0].dhcp, 1);
  QCOMPARE(QString::fromLatin1(m_table.entries[0].ip), QStringLiteral("10.77.0.33"));
  QCOMPARE(QString::fromLatin1(m_table.entries[0].alias), QStringLiteral("porch"));
}

void TestCUConfigDev::severalDevicesFormListsEveryDevice() {
  auto dialog = Dialog({"Q410X-2", "Q410X-4", "NH-0408"});
  QVERIFY(dialog->SeveralDevices());
  QTreeWidget* list = dialog->Preview();
  QVERIFY(list->isVisible());
  QVERIFY(dialog->CopyButton()->isVisible());
  QCOMPARE(dialog->CopyButton()->toolTip(), QStringLiteral("Copy about settings to the preview list"));
  QCOMPARE(dialog->CopyButton()->font().pixelSize(), 24);
  QVERIFY(dialog->CopyButton()->font().bold());
  QCOMPARE(dialog->DeviceName()->text(), QStringLiteral("-"));
  QCOMPARE(dialog->MacEdit()->text(), QStringLiteral("-"));
  QCOMPARE(list->topLevelItemCount(), 3);
  const char* headers[] = {"DHCP (*)", "Name", "Alias (*)", "IP Address (*)", "Mask (*)",
                           "Gateway (*)", "MAC Address"};
  const char* templates[] = {"DHCP____", "Name__________", "Alias_________", "IP Address____",
                             "Sub-net Mask__", "Gateway_______", "MAC Address_______"};
  const QFontMetrics metrics(list->font());
  for (int c = 0; c < 7; ++c) {
    QCOMPARE(list->headerItem()->text(c), QString::fromLatin1(headers[c]));
    QCOMPARE(list->columnWidth(c), metrics.horizontalAdvance(QString::fromLatin1(templates[c])) + 10);
  }
  QTreeWidgetItem* dhcpRow = list->topLevelItem(2);
  QCOMPARE(dhcpRow->checkState(0), Qt::Checked);
  QCOMPARE(dhcpRow->text(0), QString());
  QCOMPARE(list->topLevelItem(0)->checkState(0), Qt::Unchecked);
  QCOMPARE(dhcpRow->text(1), QStringLiteral("NH-0408"));
  QCOMPARE(dhcpRow->text(2), QStringLiteral("hall"));
  QCOMPARE(dhcpRow->text(3), QStringLiteral("10.77.0.33"));
  QCOMPARE(dhcpRow->text(6), QStringLiteral("02:4E:A7:00:20:03"));
  // The fields start from the first device.
  QCOMPARE(dialog->IpEdit()->text(), QStringLiteral("10.77.0.31"));
  QCOMPARE(dialog->AliasEdit()->text(), QStringLiteral("lab"));
}

void TestCUConfigDev::onlyEditableCellsOfUncheckedRowsOpenTheEditor() {
  auto dialog = Dialog({"Q410X-2", "NH-0408"});
  QTreeWidget* list = dialog->Preview();
  for (int column : {CUConfigDev::kName, CUConfigDev::kMac}) {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, CellCenter(list, 0, column));
    QVERIFY2(dialog->CellEditor()->isHidden(), "name and MAC open no editor");
  }
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, CellCenter(list, 1, CUConfigDev::kIp));
  QVERIFY2(dialog->CellEditor()->isHidden(), "a DHCP row has no addresses to edit");

  struct Case {
    int column;
    int maxLength;
  } cases[] = {{CUConfigDev::kAlias, 20}, {CUConfigDev::kIp, 15}, {CUConfigDev::kMask, 15},
               {CUConfigDev::kGateway, 15}};
  for (const Case& c : cases) {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, CellCenter(list, 0, c.column));
    QLineEdit* editor = dialog->CellEditor();
    QVERIFY(editor->isVisible());
    QCOMPARE(dialog->EditedRow(), 0);
    QCOMPARE(dialog->EditedColumn(), c.column);
    QCOMPARE(editor->maxLength(), c.maxLength);
    QCOMPARE(editor->text(), list->topLevelItem(0)->text(c.column));
    QCOMPARE(editor->cursorPosition(), editor->text().size());
    QCOMPARE(editor->geometry().left(), list->header()->sectionViewportPosition(c.column));
  }
}

void TestCUConfigDev::editorWritesOnEnterAndOnFocusLoss() {
  auto dialog = Dialog({"Q410X-2", "Q410X-4"});
  QTreeWidget* list = dialog->Preview();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, CellCenter(list, 1, CUConfigDev::kAlias));
  QLineEdit* editor = dialog->CellEditor();
  editor->clear();
  QTest::keyClicks(editor, QStringLiteral("a-very-long-alias-of-25ch"));
  QTest::keyClick(editor, Qt::Key_Return);
  QVERIFY(editor->isHidden());
  QCOMPARE(list->topLevelItem(1)->text(CUConfigDev::kAlias), QStringLiteral("a-very-long-alias-of"));
  QVERIFY2(dialog->isVisible(), "Enter in the editor does not press OK");

  // Another cell clicked while editing: the first edit is written.
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, CellCenter(list, 0, CUConfigDev::kIp));
  editor->setText(QStringLiteral("10.77.0.90"));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, CellCenter(list, 0, CUConfigDev::kMask));
  QCOMPARE(list->topLevelItem(0)->text(CUConfigDev::kIp), QStringLiteral("10.77.0.90"));
  // Losing the focus writes too.
  editor->setText(QStringLiteral("255.255.0.0"));
  emit editor->editingFinished();
  QVERIFY(editor->isHidden());
  QCOMPARE(list->topLevelItem(0)->text(CUConfigDev::kMask), QStringLiteral("255.255.0.0"));
  // Escape drops the edit and leaves the dialog open.
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, CellCenter(list, 0, CUConfigDev::kGateway));
  editor->setText(QStringLiteral("10.77.0.9"));
  QTest::keyClick(editor, Qt::Key_Escape);
  QVERIFY(editor->isHidden());
  QVERIFY(dialog->isVisible());
  QCOMPARE(list->topLevelItem(0)->text(CUConfigDev::kGateway), QStringLiteral("10.77.0.254"));
}

void TestCUConfigDev::checkBoxChangesShowDashOrTheDevicesValues() {
  auto dialog = Dialog({"Q410X-2", "Q410X-4"});
  QTreeWidgetItem* row = dialog->Preview()->topLevelItem(1);
  row->setText(CUConfigDev::kIp, QStringLiteral("10.77.0.99"));
  row->setCheckState(0, Qt::Checked);
  for (int c : {CUConfigDev::kIp, CUConfigDev::kMask, CUConfigDev::kGateway})
    QCOMPARE(row->text(c), QStringLiteral("-"));
  row->setCheckState(0, Qt::Unchecked);
  QCOMPARE(row->text(CUConfigDev::kIp), QStringLiteral("10.77.0.32"));
  QCOMPARE(row->text(CUConfigDev::kMask), QStringLiteral("255.255.255.0"));
  QCOMPARE(row->text(CUConfigDev::kGateway), QStringLiteral("10.77.0.254"));
  QCOMPARE(dialog->Preview()->topLevelItem(0)->text(CUConfigDev::kIp), QStringLiteral("10.77.0.31"));
}

void TestCUConfigDev::copySettingsPassesOverAFoundDevicesAddress() {
  auto dialog = Dialog({"Q410X-2", "Q410X-4", "NH-0408"});
  dialog->DhcpChoice()->setCurrentIndex(0);
  dialog->IpEdit()->setText(QStringLiteral("10.77.0.60"));
  dialog->AliasEdit()->setText(QStringLiteral("Dev"));
  dialog->CopySettings();
  QTreeWidget* list = dialog->Preview();
  // RRB-341, which is not being configured, holds .61.
  const char* expected[][2] = {{"Dev", "10.77.0.60"}, {"Dev1", "10.77.0.62"}, {"Dev2", "10.77.0.63"}};
  for (int r = 0; r < 3; ++r) {
    QCOMPARE(list->topLevelItem(r)->checkState(0), Qt::Unchecked);
    QCOMPARE(list->topLevelItem(r)->text(CUConfigDev::kAlias), QString::fromLatin1(expected[r][0]));
    QCOMPARE(list->topLevelItem(r)->text(CUConfigDev::kIp), QString::fromLatin1(expected[r][1]));
  }
  dialog->IpEdit()->setText(QStringLiteral("10.77.0"));
  dialog->CopySettings();
  QCOMPARE(m_ui->Texts(), std::vector<std::string>{"Invalid IP Address!"});
  QCOMPARE(m_ui->messageBoxes[0].caption, std::string("Tarvik Utility"));
  QCOMPARE(m_ui->messageBoxes[0].Icon(), unsigned(tarvik::kMbIconWarning));
  QCOMPARE(list->topLevelItem(2)->text(CUConfigDev::kIp), QStringLiteral("10.77.0.63"));
}

void TestCUConfigDev::okRefusesBadRowsAndStaysOpen() {
  auto dialog = Dialog({"Q410X-2", "Q410X-4"});
  QTreeWidget* list = dialog->Preview();
  list->topLevelItem(0)->setText(CUConfigDev::kIp, QStringLiteral("1.2.3"));
  dialog->OkButton()->click();
  QCOMPARE(m_ui->Texts(), std::vector<std::string>{"Row 0, invalid IP address."});
  QVERIFY(dialog->isVisible());
  list->topLevelItem(0)->setText(CUConfigDev::kIp, QStringLiteral("10.77.0.70"));
  list->topLevelItem(1)->setText(CUConfigDev::kIp, QStringLiteral("10.77.0.70"));
  dialog->OkButton()->click();
  QCOMPARE(m_ui->Texts().back(), std::string("Row 0 and row 1, same IP address."));
  QVERIFY(dialog->isVisible());
}

void TestCUConfigDev::cancelSendsNothing() {
  const std::streamoff before = LogSize();
  Select({"Q410X-2", "Q410X-4"});
  bool shown = false;
  WhenModal<CUConfigDev>([&shown](CUConfigDev* dialog) {
    shown = true;
    dialog->AliasEdit()->setText(QStringLiteral("changed"));
    dialog->CopySettings();
    dialog->CancelButton()->click();
  });
  m_pane->ConfigureByUdp();
  QVERIFY(shown);
  QVERIFY(m_ui->messageBoxes.empty());
  QTest::qWait(300);  // anything sent would have reached the simulator by now
  QCOMPARE(CommandsSince(before), std::vector<std::string>{});
}

void TestCUConfigDev::doubleClickConfiguresTheRowUnderTheCursor() {
  QTreeWidget* list = m_pane->List();
  int row = 0;
  while (list->topLevelItem(row)->text(0) != QStringLiteral("Q410X-4")) ++row;
  QString device;
  WhenModal<CUConfigDev>([&device](CUConfigDev* dialog) {
    device = dialog->DeviceName()->text();
    dialog->reject();
  });
  // A double-click is a click, then the second press.
  const QPoint at = list->visualItemRect(list->topLevelItem(row)).center();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
  QCOMPARE(device, QStringLiteral("Q410X-4"));
  QCOMPARE(App().searchSelection, row);
}

void TestCUConfigDev::mixedTableSendsExactCommandsAndReportsEveryDevice() {
  const std::streamoff before = LogSize();
  Select({"Q410X-2", "NH-0408", "Q410X-8", "Q410X-9"});
  WhenModal<CUConfigDev>([](CUConfigDev* dialog) {
    QTreeWidget* list = dialog->Preview();
    list->topLevelItem(0)->setCheckState(0, Qt::Checked);          // static -> DHCP
    list->topLevelItem(1)->setCheckState(0, Qt::Unchecked);        // DHCP -> static
    list->topLevelItem(1)->setText(CUConfigDev::kIp, QStringLiteral("10.77.0.80"));
    list->topLevelItem(1)->setText(CUConfigDev::kGateway, QStringLiteral("10.77.0.1"));
    list->topLevelItem(2)->setText(CUConfigDev::kAlias, QStringLiteral("s2"));
    dialog->OkButton()->click();
  });
  m_pane->ConfigureByUdp();
  QCOMPARE(CommandsSince(before),
           (std::vector<std::string>{
               "KORVAXQ410X,01,TO=02:4E:A7:00:20:01,ALIAS=lab,DHCP=1, \\r",
               "KORVAXQ410X,01,TO=02:4E:A7:00:20:03,ALIAS=hall,IP=10.77.0.80,GATEWAY=10.77.0.1,DHCP=0, \\r",
               "KORVAXQ410X,01,TO=02:4E:A7:00:20:05,ALIAS=s2\\r",
               "KORVAXQ410X,01,TO=02:4E:A7:00:20:06,ALIAS=mute\\r",
           }));
  QCOMPARE(m_ui->messageBoxes.size(), size_t(1));
  QCOMPARE(m_ui->messageBoxes[0].Icon(), unsigned(tarvik::kMbIconWarning));
  QCOMPARE(m_ui->messageBoxes[0].text,
           std::string("Confirmed: 2, no answer: 1, refused: 1, other errors: 0.\n"
                       "Q410X-8 [02:4E:A7:00:20:05]: Configuration failiure, error=-14\n"
                       "Q410X-9 [02:4E:A7:00:20:06]: Configuration failiure, error=-6\n"
                       "Q410X-2 [02:4E:A7:00:20:01]: confirmed\n"
                       "NH-0408 [02:4E:A7:00:20:03]: confirmed"));
  QCOMPARE(m_ui->waitCursorDepth, 0);
}

void TestCUConfigDev::threeDevicesTakeCopiedSettings() {
  Search();
  const std::streamoff before = LogSize();
  Select({"Q410X-2", "Q410X-4", "NH-0408"});
  WhenModal<CUConfigDev>([](CUConfigDev* dialog) {
    dialog->DhcpChoice()->setCurrentIndex(0);
    dialog->IpEdit()->setText(QStringLiteral("10.77.0.60"));
    dialog->MaskEdit()->setText(QStringLiteral("255.255.255.0"));
    dialog->GatewayEdit()->setText(QStringLiteral("10.77.0.254"));
    dialog->AliasEdit()->setText(QStringLiteral("Dev"));
    dialog->CopySettings();
    dialog->OkButton()->click();
  });
  m_pane->ConfigureByUdp();
  QCOMPARE(CommandsSince(before).size(), size_t(3));
  QCOMPARE(m_ui->messageBoxes.size(), size_t(1));
  QCOMPARE(m_ui->messageBoxes[0].Icon(), unsigned(tarvik::kMbIconInformation));

  Search();
  QTreeWidget* list = m_pane->List();
  QStringList seen;
  for (int row = 0; row < list->topLevelItemCount(); ++row) {
    QTreeWidgetItem* item = list->topLevelItem(row);
    seen << item->text(0) + " " + item->text(1) + " " + item->text(2) + " " + item->text(6);
  }
  QVERIFY2(seen.contains("Q410X-2 Dev 10.77.0.60 OFF"), qPrintable(seen.join('|')));
  QVERIFY2(seen.contains("Q410X-4 Dev1 10.77.0.62 OFF"), qPrintable(seen.join('|')));
  QVERIFY2(seen.contains("NH-0408 Dev2 10.77.0.63 OFF"), qPrintable(seen.join('|')));
  QVERIFY2(seen.contains("RRB-341 other 10.77.0.61 OFF"), qPrintable(seen.join('|')));
}


// A reported name like "RRB<b>x</b>" rendered as markup in the label.
void TestCUConfigDev::deviceNameWithMarkupIsShownAsText() {
  auto dialog = Dialog({"RRB<b>x</b>"});
  QCOMPARE(dialog->DeviceName()->textFormat(), Qt::PlainText);
  QCOMPARE(dialog->DeviceName()->text(), QStringLiteral("RRB<b>x</b>"));
}

// The list shows "OFF" for DHCP 2; the dialog showed "1: ON" and a
// checked box for the same device.
void TestCUConfigDev::dhcpTwoIsOffInTheDialogAsInTheList() {
  QTreeWidget* pane = m_pane->List();
  for (int row = 0; row < pane->topLevelItemCount(); ++row) {
    if (pane->topLevelItem(row)->text(0) == QStringLiteral("Q410X-7"))
      QCOMPARE(pane->topLevelItem(row)->text(6), QStringLiteral("OFF"));
  }
  auto one = Dialog({"Q410X-7"});
  QCOMPARE(one->DhcpChoice()->currentText(), QStringLiteral("0: OFF"));
  QVERIFY(one->IpEdit()->isEnabled());
  one->accept();
  QCOMPARE(one->result(), int(QDialog::Accepted));
  QCOMPARE(m_table.entries[0].dhcp, 0);  // what was shown is what goes
  auto several = Dialog({"Q410X-2", "Q410X-7"});
  QCOMPARE(several->Preview()->topLevelItem(1)->checkState(CUConfigDev::kDhcp), Qt::Unchecked);
}

// ',' and '=' in an alias added real fields to the datagram ("a,IP=...").
void TestCUConfigDev::aliasThatWouldAddFieldsIsRefusedAtOk() {
  const std::streamoff before = LogSize();
  auto one = Dialog({"Q410X-2"});
  const QString reported = one->AliasEdit()->text();
  one->AliasEdit()->setText(QStringLiteral("a,IP=10.0.0.9"));
  one->OkButton()->click();
  QCOMPARE(m_ui->Texts(),
           std::vector<std::string>{"Invalid Alias! It may not hold ',', '=' or control characters."});
  QVERIFY(one->isVisible());
  QCOMPARE(QString::fromLatin1(m_table.entries[0].alias), reported);  // entry untouched

  auto several = Dialog({"Q410X-2", "Q410X-4"});
  QTreeWidget* list = several->Preview();
  const QString firstAlias = list->topLevelItem(0)->text(CUConfigDev::kAlias);
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, CellCenter(list, 1, CUConfigDev::kAlias));
  several->CellEditor()->setText(QStringLiteral("b,DHCP=1"));
  QTest::keyClick(several->CellEditor(), Qt::Key_Return);
  several->OkButton()->click();
  QCOMPARE(m_ui->Texts().back(),
           std::string("Row 1, invalid Alias (no ',', '=' or control characters)."));
  QVERIFY(several->isVisible());
  // Copy Settings would put it on every row.
  several->AliasEdit()->setText(QStringLiteral("c=d"));
  several->CopySettings();
  QCOMPARE(m_ui->Texts().back(),
           std::string("Invalid Alias! It may not hold ',', '=' or control characters."));
  QCOMPARE(list->topLevelItem(0)->text(CUConfigDev::kAlias), firstAlias);
  QCOMPARE(CommandsSince(before), std::vector<std::string>{});
}

// With a 19-character alias the numbered ones were cut back to 19 at OK:
// the devices got one alias, and the preview had shown three.
void TestCUConfigDev::copySettingsFitsNumberedAliasesIntoNineteen() {
  auto dialog = Dialog({"Q410X-2", "Q410X-4", "NH-0408"});
  dialog->DhcpChoice()->setCurrentIndex(1);
  dialog->AliasEdit()->setText(QStringLiteral("nineteen-characters"));
  dialog->CopySettings();
  QTreeWidget* list = dialog->Preview();
  const QStringList expected = {"nineteen-character", "nineteen-character1", "nineteen-character2"};
  for (int r = 0; r < 3; ++r)
    QCOMPARE(list->topLevelItem(r)->text(CUConfigDev::kAlias), expected[r]);
  dialog->accept();
  QCOMPARE(dialog->result(), int(QDialog::Accepted));
  for (int r = 0; r < 3; ++r) QCOMPARE(QString::fromLatin1(m_table.entries[r].alias), expected[r]);
}

QTEST_MAIN(TestCUConfigDev)
#include "tst_cuconfigdev.moc"
