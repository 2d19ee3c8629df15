// Configure Server from the servers pane: the dialog opens for the selected
// server, and what OK hands back reaches the server's record in memory and
// in the store; Cancel, and OK with nothing changed, change nothing. What
// the timer or another program changes while the dialog is open is neither
// lost nor written over.
#include <QAction>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
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
#include "store_snapshot.h"
#include "tarvik/clock.h"
#include "tarvik/registry.h"
#include "temp_root.h"
#include "ui_hook_double.h"

using tarvik::app::testing::AddServer;
using tarvik::app::testing::MakeServer;
using tarvik::app::testing::MakeSet;
using tarvik::app::testing::StoreSnapshot;
using tarvik::device::ServerOptionNumber;

namespace {

void Retype(QLineEdit* edit, const char* text) {
  edit->setText(QString::fromLatin1(text));
}

constexpr uint32_t Ip(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
  return a | (b << 8) | (c << 16) | (d << 24);
}

void ClickOk(CConfigSvr* dialog) {
  QTest::mouseClick(dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok),
                    Qt::LeftButton);
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
  void okWithNothingChangedLeavesTheStoreAsItWas();
  void hostLookupWhileOpenKeepsTheFoundAddress();
  void addressChangedOnBothSidesIsAsked_data();
  void addressChangedOnBothSidesIsAsked();
  void reloadWhileOpenConfiguresTheSameServer();
  void rfc2217BoxShowsEachServersChoiceAndOkStoresIt();

 private:
  void Select(int serverIndex);
  TkcServerRecord Stored(int index);
  // Gives server index a host name that the lookup resolves to address,
  // with the periodic lookup on.
  void GiveHostName(int index, const char* host, uint32_t address);
  // One tick's host-name step with the interval over.
  void TickWithLookup();

  tarvik::VirtualClock m_clock{1000000};

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
  // The pane's lookup times its rounds by this clock.
  tarvik::SetClock(&m_clock);
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
    r.KeepAliveTime = 30500;    // shown as 30 s
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
  tarvik::SetClock(nullptr);
  m_ui.reset();
  m_root.reset();
}

void TestConfigureServer::GiveHostName(int index, const char* host, uint32_t address) {
  tarvik::CopyText(App().config.Records[index].HostName, host);
  QCOMPARE(m_pane->Store(), 0);
  uint32_t seconds = 0;
  m_pane->Query().SetIntervalSeconds(60, &seconds);
  m_pane->Query().SetResolver([address](const std::string&, uint32_t* found) {
    *found = address;
    return 0;
  });
}

void TestConfigureServer::TickWithLookup() {
  m_clock.Advance(static_cast<uint32_t>(m_pane->Query().IntervalMs()) + 1);
  m_pane->HostQueryStep();
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
  QCOMPARE(App().config.Records[0].KeepAliveTime, 30500u);
  QCOMPARE(Stored(0).KeepAliveTime, 30500u);
  QVERIFY(!App().restartPending);
}

void TestConfigureServer::okWithNothingChangedLeavesTheStoreAsItWas() {
  Select(1);
  const std::string before = StoreSnapshot();
  const TkcServerRecord inMemory = App().config.Records[1];
  WhenModal<CConfigSvr>([](CConfigSvr* dialog) {
    Retype(dialog->OptionsPage()->Address2Edit(), "10.0.0.011");  // rejected: typed again
    ClickOk(dialog);
    Retype(dialog->OptionsPage()->Address2Edit(), "10.0.0.11");
    ClickOk(dialog);
  });
  m_pane->OnCommand(PelmarCommand::kConfigureServer);
  QCOMPARE(m_ui->Texts(), std::vector<std::string>{
                              "Invalid Redundant IP (Secondary) on Server-Options setting!"});
  QCOMPARE(StoreSnapshot(), before);
  QVERIFY(std::memcmp(&App().config.Records[1], &inMemory, sizeof inMemory) == 0);
  QCOMPARE(App().config.Records[1].KeepAliveTime, 30500u);
  QVERIFY(!App().restartPending);
}

void TestConfigureServer::hostLookupWhileOpenKeepsTheFoundAddress() {
  GiveHostName(1, "b.example", Ip(10, 0, 0, 77));
  Select(1);
  QSignalSpy status(m_pane, &CPelmarServerDlg::statusMessage);
  QVERIFY(status.isValid());
  QString shownAddress;
  WhenModal<CConfigSvr>([&](CConfigSvr* dialog) {
    shownAddress = dialog->OptionsPage()->AddressEdit()->text();
    TickWithLookup();
    QCOMPARE(App().config.Records[1].IPAddress, Ip(10, 0, 0, 77));
    Retype(dialog->OptionsPage()->NumberEdit(tarvik::device::kKeepAliveTime), "45");
    ClickOk(dialog);
  });
  m_pane->OnCommand(PelmarCommand::kConfigureServer);

  QCOMPARE(shownAddress, QStringLiteral("10.0.0.2"));
  QVERIFY(m_ui->messageBoxes.empty());
  for (const TkcServerRecord& r : {App().config.Records[1], Stored(1)}) {
    QCOMPARE(r.IPAddress, Ip(10, 0, 0, 77));
    QCOMPARE(r.KeepAliveTime, 45000u);
    QCOMPARE(r.ConnectTimeout, 3000u);
  }
  QCOMPARE(status.count(), 1);
  QCOMPARE(status.at(0).at(0).toString(),
           QStringLiteral("The server's IP Address (Primary) changed to 10.0.0.77 while the "
                          "dialog was open; the new address was kept."));
  QCOMPARE(m_pane->SelectedServer(), 1);
}

void TestConfigureServer::addressChangedOnBothSidesIsAsked_data() {
  QTest::addColumn<int>("answer");
  QTest::addColumn<uint32_t>("stored");
  QTest::newRow("Yes stores the typed one") << int(tarvik::kIdYes) << Ip(10, 0, 0, 22);
  QTest::newRow("No keeps the found one") << int(tarvik::kIdNo) << Ip(10, 0, 0, 77);
}

void TestConfigureServer::addressChangedOnBothSidesIsAsked() {
  QFETCH(int, answer);
  QFETCH(uint32_t, stored);
  GiveHostName(1, "b.example", Ip(10, 0, 0, 77));
  Select(1);
  m_ui->AnswerMessageBoxes({answer});
  WhenModal<CConfigSvr>([&](CConfigSvr* dialog) {
    Retype(dialog->OptionsPage()->AddressEdit(), "10.0.0.22");
    TickWithLookup();
    ClickOk(dialog);
  });
  m_pane->OnCommand(PelmarCommand::kConfigureServer);

  QCOMPARE(m_ui->Texts(), std::vector<std::string>{
                              "The server's IP Address (Primary) changed to 10.0.0.77 while the "
                              "dialog was open; you entered 10.0.0.22.\n\n"
                              "Yes: store the address you entered.\nNo: keep 10.0.0.77."});
  QCOMPARE(m_ui->messageBoxes[0].Buttons(), unsigned(tarvik::kMbYesNo));
  QCOMPARE(App().config.Records[1].IPAddress, stored);
  QCOMPARE(Stored(1).IPAddress, stored);
}

void TestConfigureServer::reloadWhileOpenConfiguresTheSameServer() {
  GiveHostName(2, "c.example", Ip(10, 0, 0, 99));
  Select(1);  // "3147"
  WhenModal<CConfigSvr>([&](CConfigSvr* dialog) {
    // Another program writes the list in another order...
    auto reordered = MakeSet();
    for (int k : {2, 0, 1}) AddServer(*reordered, App().config.Records[k]);
    reordered->Flags = TKC_FLAGS_FORMAT_MARKER;
    QCOMPARE(Tkc_RegWriteAll(reordered.get()), uint16_t(TKC_OK));
    // ...and the timer's lookup, writing its server, takes that list in.
    m_ui->AnswerMessageBoxes({tarvik::kIdNo});
    TickWithLookup();
    QCOMPARE(QString::fromLatin1(App().config.Records[1].ServerName), QStringLiteral("Q410X4"));
    Retype(dialog->OptionsPage()->NumberEdit(tarvik::device::kKeepAliveTime), "45");
    ClickOk(dialog);
  });
  m_pane->OnCommand(PelmarCommand::kConfigureServer);

  QCOMPARE(m_ui->messageBoxes.size(), size_t(1));  // only the timer's whose-list question
  const char* names[] = {"4629", "Q410X4", "3147"};
  const uint32_t addresses[] = {Ip(10, 0, 0, 9), Ip(10, 0, 0, 3), Ip(10, 0, 0, 2)};
  for (int k = 0; k < 3; ++k) {
    for (const TkcServerRecord& r : {App().config.Records[k], Stored(k)}) {
      QCOMPARE(QString::fromLatin1(r.ServerName), QString::fromLatin1(names[k]));
      QCOMPARE(r.IPAddress, addresses[k]);
      QCOMPARE(r.KeepAliveTime, k == 2 ? 45000u : 30500u);
    }
  }
  QCOMPARE(m_pane->SelectedServer(), 2);
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
