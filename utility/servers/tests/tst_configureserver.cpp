// Configure Server from the servers pane: the dialog opens for the selected
// server, and what OK hands back reaches the server's record in memory and
// in the store; Cancel changes nothing.
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>
#include <QtTest>
#include <memory>

#include "app_state.h"
#include "cconfigsvr.h"
#include "cconfigsvropt.h"
#include "cpelmarmenu.h"
#include "cpelmarserverdlg.h"
#include "modal_helper.h"
#include "record_fixture.h"
#include "tarvik/registry.h"
#include "temp_root.h"
#include "ui_hook_double.h"

using tarvik::app::testing::AddServer;
using tarvik::app::testing::MakeServer;
using tarvik::app::testing::MakeSet;
using tarvik::device::ServerOptionNumber;

namespace {

void Retype(QLineEdit* edit, const char* text) {
  edit->setText(QString::fromLatin1(text));
}

}  // namespace

class TestConfigureServer : public QObject {
  Q_OBJECT
 private slots:
  void init();
  void cleanup();

  void okStoresTheOptionsAndKeepsTheSelection();
  void cancelChangesNothing();
  void doubleClickOpensItForThatServer();
  void rfc2217BoxShowsEachServersChoiceAndOkStoresIt();

 private:
  void Select(int serverIndex);
  TkcServerRecord Stored(int index);

  std::unique_ptr<tarvik::TempStateRoot> m_root;
  std::unique_ptr<UiHookDouble> m_ui;
  std::unique_ptr<QWidget> m_owner;
  CPelmarMenu* m_menu = nullptr;
  CPelmarServerDlg* m_pane = nullptr;
};

void TestConfigureServer::init() {
  m_root = std::make_unique<tarvik::TempStateRoot>();
  m_ui = std::make_unique<UiHookDouble>();
  ResetAppState();
  tarvik::RegKey services;
  QCOMPARE(services.Create(TKC_SERVICES_KEY), tarvik::kErrorSuccess);
  services.Close();
  QCOMPARE(Tkc_RegCheckCreateServiceKey(), uint16_t(TKC_OK));

  auto set = MakeSet();
  const char* rows[][2] = {{"Q410X4", "10.0.0.3"}, {"3147", "10.0.0.2"}, {"4629", "10.0.0.9"}};
  for (const auto& row : rows) {
    ServerRecord r = MakeServer(row[0], row[1]);
    QCOMPARE(Tkc_ParseServerInfo(&r, 928), uint16_t(TKC_OK));
    r.IPAddress2 = 0x0B00000A;  // 10.0.0.11
    r.KeepAliveTime = 30000;
    r.ConnectTimeout = 3000;
    AddServer(*set, r);
  }
  set->Flags = TKC_FLAGS_FORMAT_MARKER;
  QCOMPARE(Tkc_RegWriteAll(set.get()), uint16_t(TKC_OK));

  m_owner = std::make_unique<QWidget>();
  m_menu = new CPelmarMenu(m_owner.get());
  m_pane = new CPelmarServerDlg(m_menu, m_owner.get());
  connect(m_menu, &CPelmarMenu::commandTriggered, m_pane, &CPelmarServerDlg::OnCommand);
  m_pane->resize(510, 300);
  m_pane->LoadSortType();
  m_pane->Load();
  m_pane->Rebuild();
}

void TestConfigureServer::cleanup() {
  m_owner.reset();
  m_pane = nullptr;
  m_ui.reset();
  m_root.reset();
}

void TestConfigureServer::Select(int serverIndex) {
  QTreeWidgetItem* root = m_pane->Tree()->topLevelItem(0);
  for (int i = 0; i < root->childCount(); ++i) {
    m_pane->Tree()->setCurrentItem(root->child(i));
    if (m_pane->SelectedServer() == serverIndex) return;
  }
  QFAIL("server not in the tree");
}

TkcServerRecord TestConfigureServer::Stored(int index) {
  TkcServerRecord r{};
  Tkc_RegReadOneServer(static_cast<uint32_t>(index), &r, sizeof r);
  return r;
}

void TestConfigureServer::okStoresTheOptionsAndKeepsTheSelection() {
  Select(1);
  QVERIFY(m_menu->IsEnabled(PelmarCommand::kConfigureServer));
  WhenModal<CConfigSvr>([](CConfigSvr* dialog) {
    CConfigSvrOpt* page = dialog->OptionsPage();
    Retype(page->NumberEdit(tarvik::device::kKeepAliveTime), "45");
    Retype(page->NumberEdit(tarvik::device::kConnectionBroken), "4000000");
    Retype(page->NumberEdit(tarvik::device::kConnectTimeout), "7");
    Retype(page->NumberEdit(tarvik::device::kTcpPortCmd), "4001");
    Retype(page->NumberEdit(tarvik::device::kTcpPort7000), "4000");
    Retype(page->AddressEdit(), "10.0.0.22");
    Retype(page->Address2Edit(), "0.0.0.0");
    dialog->accept();
  });
  m_menu->Action(PelmarCommand::kConfigureServer)->trigger();

  for (const TkcServerRecord& r : {App().config.Records[1], Stored(1)}) {
    QCOMPARE(r.KeepAliveTime, 45000u);
    QCOMPARE(r.ConnectionBroken, 4000000000u);
    QCOMPARE(r.ConnectTimeout, 7000u);
    QCOMPARE(r.TcpPortCmd, 4001u);
    QCOMPARE(r.TcpPort7000, 4000u);
    QCOMPARE(r.IPAddress, 0x1600000Au);
    QCOMPARE(r.IPAddress2, 0u);
  }
  QCOMPARE(Stored(0).TcpPortCmd, 10000u);  // only the configured server is written
  QVERIFY(App().restartPending);
  QCOMPARE(m_pane->SelectedServer(), 1);
  QCOMPARE(m_pane->Tree()->currentItem()->text(0), QStringLiteral("3147 [10.0.0.22]"));
}

void TestConfigureServer::cancelChangesNothing() {
  Select(0);
  WhenModal<CConfigSvr>([](CConfigSvr* dialog) {
    Retype(dialog->OptionsPage()->NumberEdit(tarvik::device::kKeepAliveTime), "45");
    dialog->reject();
  });
  m_pane->OnCommand(PelmarCommand::kConfigureServer);
  QCOMPARE(App().config.Records[0].KeepAliveTime, 30000u);
  QCOMPARE(Stored(0).KeepAliveTime, 30000u);
  QVERIFY(!App().restartPending);
}

void TestConfigureServer::doubleClickOpensItForThatServer() {
  Select(0);
  QString description;
  QString address2;
  WhenModal<CConfigSvr>([&](CConfigSvr* dialog) {
    description = dialog->Description()->text();
    address2 = dialog->OptionsPage()->Address2Edit()->text();
    dialog->reject();
  });
  m_owner->show();
  QWidget* viewport = m_pane->Tree()->viewport();
  const QPoint at = m_pane->Tree()->visualItemRect(m_pane->Tree()->currentItem()).center();
  // A double-click as the view sees it: the press names the item.
  QTest::mousePress(viewport, Qt::LeftButton, {}, at);
  QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
  QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
  QCOMPARE(description, QStringLiteral("Q410X4 [10.0.0.3]"));
  QCOMPARE(address2, QStringLiteral("10.0.0.11"));
}

void TestConfigureServer::rfc2217BoxShowsEachServersChoiceAndOkStoresIt() {
  QCOMPARE(Tkc_RegSetDataProtocol(2, TKC_DATA_PROTOCOL_RFC2217), uint16_t(TKC_OK));
  m_pane->Load();
  m_pane->Rebuild();
  bool shown = false;
  Select(2);
  WhenModal<CConfigSvr>([&](CConfigSvr* dialog) {
    shown = dialog->OptionsPage()->Rfc2217Box()->isChecked();
    dialog->reject();
  });
  m_pane->OnCommand(PelmarCommand::kConfigureServer);
  QVERIFY2(shown, "server 3 speaks RFC 2217");

  Select(1);
  WhenModal<CConfigSvr>([&](CConfigSvr* dialog) {
    QCheckBox* box = dialog->OptionsPage()->Rfc2217Box();
    shown = box->isChecked();
    QTest::mouseClick(box, Qt::LeftButton);
    dialog->accept();
  });
  m_pane->OnCommand(PelmarCommand::kConfigureServer);
  QVERIFY2(!shown, "server 2 is on raw TCP");
  uint32_t protocol = 0;
  QCOMPARE(Tkc_RegGetDataProtocol(1, &protocol), uint16_t(TKC_OK));
  QCOMPARE(protocol, TKC_DATA_PROTOCOL_RFC2217);
  QCOMPARE(App().config.DataProtocol[1], uint8_t(TKC_DATA_PROTOCOL_RFC2217));
  QCOMPARE(Tkc_RegGetDataProtocol(0, &protocol), uint16_t(TKC_OK));
  QCOMPARE(protocol, TKC_DATA_PROTOCOL_RAW);
  QVERIFY(App().restartPending);
}

QTEST_MAIN(TestConfigureServer)
#include "tst_configureserver.moc"
