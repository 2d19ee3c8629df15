#include "cpelmarserverdlg.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QTreeWidget>
#include <algorithm>
#include <cstring>
#include <iterator>

#include "app_state.h"
#include "cconfigport.h"
#include "cconfigsvr.h"
#include "cconfigsvropt.h"
#include "cinputbox.h"
#include "com_reassign.h"
#include "cpelmarmenu.h"
#include "pane_launch.h"
#include "port_rows.h"
#include "server_label.h"
#include "server_sort.h"
#include "server_store.h"
#include "store_sync.h"
#include "server_tree.h"
#include "tarvik/text.h"
#include "tarvik/ui_hooks.h"
#include "tree_item_word.h"

namespace app = tarvik::app;

namespace {

// Item data role of the tree item word and of the port row word.
constexpr int kWordRole = Qt::UserRole + 1;

const PelmarCommand kPaneCommands[] = {
    PelmarCommand::kPingServer,       PelmarCommand::kDiagnostic,
    PelmarCommand::kRemoveServer,     PelmarCommand::kRemoveAllServers,
    PelmarCommand::kConfigureServer,  PelmarCommand::kEditAlias,
    PelmarCommand::kEditHost,         PelmarCommand::kSortNone,
    PelmarCommand::kSortModel,        PelmarCommand::kSortAlias,
    PelmarCommand::kSortIp,           PelmarCommand::kSortHost,
    PelmarCommand::kQueryIp,          PelmarCommand::kQueryIpAll,
    PelmarCommand::kQueryInterval,    PelmarCommand::kOpenComPort,
    PelmarCommand::kOpenTcpPort,      PelmarCommand::kConfigurePort,
};

// In the order of the sort types 0 to 4.
const PelmarCommand kSortCommands[] = {PelmarCommand::kSortNone, PelmarCommand::kSortModel,
                                       PelmarCommand::kSortAlias, PelmarCommand::kSortIp,
                                       PelmarCommand::kSortHost};

// Commands that need a selected server.
const PelmarCommand kNeedServer[] = {
    PelmarCommand::kEditAlias,    PelmarCommand::kEditHost,        PelmarCommand::kQueryIp,
    PelmarCommand::kRemoveServer, PelmarCommand::kConfigureServer, PelmarCommand::kConfigurePort,
};

struct ListColumn {
  const char* title;
  int width;
};
const ListColumn kListColumns[] = {{"Port", 90}, {"Virtual COM", 120}, {"Baudrate", 90}};

const char kAliasPrompt[] = "Edit Alias Name on PC side (no update to device server)";
const char kHostPrompt[] = "Edit Host Name on PC side (no update to device server)";
const char kIntervalPrompt[] =
    "Interval (seconds): Results depend on DNS server and Windows cache (1 day). Query is "
    "processed only when the utility is running.";

// Used when no server is selected.
const char kFallbackTcp[] = "Tcp=192.168.0.1,10001";

const char kServerGoneMessage[] =
    "The server was changed or removed by another program while the dialog was open.\n"
    "Nothing was stored.";
const char kComTakenFormat[] =
    "COM%u was taken by another port while the dialog was open.\nNothing was stored.";

// In the order of tarvik::device::OptionAddress.
const char* const kAddressNames[] = {"IP Address (Primary)", "Redundant IP (Secondary)"};
const char kAddressKeptFormat[] =
    "The server's %s changed to %s while the dialog was open; the new address was kept.";
const char kAddressConflictFormat[] =
    "The server's %s changed to %s while the dialog was open; you entered %s.\n\n"
    "Yes: store the address you entered.\nNo: keep %s.";

// An address the user typed while it changed underneath as well.
bool AskWhichAddress(tarvik::device::OptionAddress which, uint32_t typed, uint32_t now) {
  const std::string typedText = app::Ipv4Text(typed);
  const std::string nowText = app::Ipv4Text(now);
  AppState& state = App();
  tarvik::FormatText(state.message, sizeof state.message, kAddressConflictFormat,
                     kAddressNames[which], nowText.c_str(), typedText.c_str(), nowText.c_str());
  return tarvik::ShowMessageBox(state.message, kAppCaption,
                                tarvik::kMbYesNo | tarvik::kMbIconQuestion) == tarvik::kIdYes;
}

bool Contains(const PelmarCommand* begin, const PelmarCommand* end, PelmarCommand command) {
  return std::find(begin, end, command) != end;
}

uint32_t ItemWord(const QTreeWidgetItem* item) {
  return item ? item->data(0, kWordRole).toUInt() : app::kNoServerItemWord;
}

uint32_t ServerCount() {
  uint32_t n = App().config.Servers;
  return n > static_cast<uint32_t>(app::kMaxServers) ? app::kMaxServers : n;
}

}  // namespace

void FormatIpv4(uint32_t address, char* text, size_t size) {
  tarvik::CopyText(text, size, app::Ipv4Text(address).c_str());
}

CPelmarServerDlg::CPelmarServerDlg(CPelmarMenu* menu, QWidget* parent)
    : QWidget(parent), m_menu(menu), m_tree(new QTreeWidget(this)), m_list(new QTreeWidget(this)) {
  m_tree->setObjectName(QStringLiteral("serverTree"));
  m_tree->setHeaderHidden(true);
  m_tree->setColumnCount(1);
  m_tree->setContextMenuPolicy(Qt::CustomContextMenu);
  m_tree->installEventFilter(this);

  m_list->setObjectName(QStringLiteral("portList"));
  m_list->setRootIsDecorated(false);
  m_list->setSelectionMode(QAbstractItemView::SingleSelection);
  m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_list->setContextMenuPolicy(Qt::CustomContextMenu);
  QStringList titles;
  for (const ListColumn& column : kListColumns) titles << QString::fromLatin1(column.title);
  m_list->setHeaderLabels(titles);
  for (int i = 0; i < static_cast<int>(std::size(kListColumns)); ++i)
    m_list->setColumnWidth(i, kListColumns[i].width);

  connect(m_tree, &QTreeWidget::currentItemChanged, this, [this] {
    FillPortList();
    emit selectionChanged();
  });
  connect(m_tree, &QWidget::customContextMenuRequested, this, &CPelmarServerDlg::OpenTreeMenuAt);
  connect(m_list, &QWidget::customContextMenuRequested, this, &CPelmarServerDlg::OpenListMenuAt);
  connect(m_tree, &QTreeWidget::itemDoubleClicked, this, [this] {
    OnCommand(PelmarCommand::kConfigureServer);
  });
  connect(m_list, &QTreeWidget::itemDoubleClicked, this, [this] {
    if (SelectedPortEntry() >= 0) OnCommand(PelmarCommand::kConfigurePort);
  });

  // The interval is read when the pane is made; every host name starts
  // unresolved.
  if (!m_query.IntervalLoaded()) {
    uint32_t seconds = 0;
    if (Tkc_RegGetQueryInterval(&seconds) != TKC_OK) seconds = 0;
    m_query.LoadInterval(seconds);
  }
  m_query.SetWriter([this](int index) { WriteServer(index); });
}

int CPelmarServerDlg::Load() {
  AppState& state = App();
  return app::LoadTracked(state.config, state.stored, &state.restartPending);
}

int CPelmarServerDlg::Store() {
  AppState& state = App();
  return AfterStore(app::StoreTracked(state.config, state.stored, &state.restartPending));
}

int CPelmarServerDlg::AfterStore(app::StoreResult result) {
  if (result == app::StoreResult::kReloaded) {
    RefreshKeepingSelection();
    emit statusMessage(QString::fromLatin1(app::kReloadedStatus));
  }
  return result == app::StoreResult::kFailed ? TKC_ERR_PARAMETER_KEY : TKC_OK;
}

void CPelmarServerDlg::Rebuild() {
  const QSignalBlocker quiet(m_tree);
  m_tree->clear();
  auto* root = new QTreeWidgetItem(m_tree, QStringList(QStringLiteral("Servers")));
  root->setData(0, kWordRole, app::kNoServerItemWord);

  const ConfigSet& set = App().config;
  const auto items = app::ServerTreeItems(set, app::SortOrder(set, m_sortType),
                                          [this](int index) { return m_query.State(index); });
  QTreeWidgetItem* lastServer = nullptr;
  for (const app::ServerTreeItem& entry : items) {
    QTreeWidgetItem* parent = entry.slot ? lastServer : root;
    auto* item = new QTreeWidgetItem(parent, QStringList(QString::fromLatin1(entry.text.c_str())));
    item->setData(0, kWordRole, entry.word);
    if (entry.slot) {
      lastServer->setExpanded(true);
    } else {
      lastServer = item;
    }
  }
  for (int i = 0; i < 2; ++i) {
    auto* filler = new QTreeWidgetItem(root, QStringList(QStringLiteral("-")));
    filler->setData(0, kWordRole, app::kNoServerItemWord);
  }
  root->setExpanded(true);
  m_tree->setCurrentItem(lastServer ? lastServer : root);
  m_tree->setFocus();
  FillPortList();
  emit selectionChanged();
}

void CPelmarServerDlg::RefreshKeepingSelection() {
  const uint32_t number = app::TreeItemNumber(ItemWord(m_tree->currentItem()));
  Rebuild();
  QTreeWidgetItem* root = m_tree->topLevelItem(0);
  if (!root || number == 0) return;
  for (int i = 0; i < root->childCount(); ++i) {
    QTreeWidgetItem* child = root->child(i);
    if (app::TreeItemNumber(ItemWord(child)) == number) {
      m_tree->setCurrentItem(child);
      return;
    }
  }
}

void CPelmarServerDlg::RefreshSelecting(int index) {
  const uint32_t slot = SelectedSlot();
  RefreshKeepingSelection();
  if (SelectedServer() == index && SelectedSlot() == slot) return;
  QTreeWidgetItem* root = m_tree->topLevelItem(0);
  if (!root) return;
  QTreeWidgetItem* server = nullptr;
  for (int i = 0; i < root->childCount() && !server; ++i)
    if (app::TreeItemServer(ItemWord(root->child(i))) == index) server = root->child(i);
  if (!server) return;
  QTreeWidgetItem* chosen = server;
  for (int i = 0; i < server->childCount(); ++i)
    if (app::TreeItemSlot(ItemWord(server->child(i))) == slot) chosen = server->child(i);
  m_tree->setCurrentItem(chosen);
}

void CPelmarServerDlg::LoadSortType() {
  if (m_sortType == -1) {
    uint32_t type = 0;
    m_sortType = Tkc_RegGetSortingType(&type) == TKC_OK && type <= 4 ? static_cast<int>(type) : 0;
  }
  for (int i = 0; i < 5; ++i) m_menu->Check(kSortCommands[i], i == m_sortType);
}

int CPelmarServerDlg::SelectedServer() const {
  const int index = app::TreeItemServer(ItemWord(m_tree->currentItem()));
  return index >= 0 && static_cast<uint32_t>(index) < ServerCount() ? index : -1;
}

uint32_t CPelmarServerDlg::SelectedSlot() const {
  return app::TreeItemSlot(ItemWord(m_tree->currentItem()));
}

int CPelmarServerDlg::SelectedPortEntry() const {
  const QList<QTreeWidgetItem*> rows = m_list->selectedItems();
  if (rows.isEmpty()) return -1;
  return app::PortRowEntry(rows.first()->data(0, kWordRole).toUInt());
}

void CPelmarServerDlg::HostQueryStep() {
  if (m_query.Step(App().config)) RefreshKeepingSelection();
}

int CPelmarServerDlg::BuildOwnComMap() {
  return ::BuildOwnComMap(App().config, App().ownComMap);
}

int CPelmarServerDlg::AddServerCount(uint32_t portDelta) {
  return app::CountAddedServer(portDelta);
}

void CPelmarServerDlg::FillPortList() {
  m_list->clear();
  const int index = SelectedServer();
  if (index >= 0) {
    AppState& state = App();
    ServerRecord& server = state.config.Records[index];
    tarvik::CopyText(state.deviceAddress, app::Ipv4Text(server.IPAddress).c_str());
    state.devicePort = server.TcpPortCmd;
    tarvik::CopyText(state.deviceName, sizeof state.deviceName,
                     std::string(server.ServerName, strnlen(server.ServerName,
                                                            sizeof server.ServerName))
                         .c_str());
    app::ForceFixedPorts(server);
    for (const app::PortRow& row : app::PortRows(server, SelectedSlot())) {
      auto* item = new QTreeWidgetItem(m_list, QStringList{QString::fromLatin1(row.port.c_str()),
                                                           QString::fromLatin1(row.com.c_str()),
                                                           QString::fromLatin1(row.baud.c_str())});
      item->setData(0, kWordRole, row.rowWord);
    }
  }
  UpdateMenuState();
}

bool CPelmarServerDlg::HandlesCommand(PelmarCommand command) const {
  switch (command) {
    case PelmarCommand::kRemoveServer: case PelmarCommand::kRemoveAllServers:
    case PelmarCommand::kEditAlias: case PelmarCommand::kEditHost:
    case PelmarCommand::kSortNone: case PelmarCommand::kSortModel:
    case PelmarCommand::kSortAlias: case PelmarCommand::kSortIp: case PelmarCommand::kSortHost:
    case PelmarCommand::kQueryIp: case PelmarCommand::kQueryIpAll:
    case PelmarCommand::kQueryInterval: case PelmarCommand::kOpenComPort:
    case PelmarCommand::kOpenTcpPort:
    case PelmarCommand::kConfigureServer:
    case PelmarCommand::kConfigurePort:
    case PelmarCommand::kPingServer:
    case PelmarCommand::kDiagnostic:
      return true;
    default:
      return false;
  }
}

void CPelmarServerDlg::UpdateMenuState() {
  const bool anyServer = ServerCount() > 0;
  const bool selected = SelectedServer() >= 0;
  for (PelmarCommand command : kPaneCommands) {
    bool enabled = HandlesCommand(command);
    if (command == PelmarCommand::kRemoveAllServers || command == PelmarCommand::kQueryIp)
      enabled = enabled && anyServer;
    if (Contains(std::begin(kNeedServer), std::end(kNeedServer), command))
      enabled = enabled && selected;
    m_menu->Enable(command, enabled);
  }
  for (int i = 0; i < 5; ++i) m_menu->Check(kSortCommands[i], i == m_sortType);
}

void CPelmarServerDlg::OnCommand(PelmarCommand command) {
  if (!HandlesCommand(command)) return;
  using C = PelmarCommand;
  switch (command) {
    case C::kRemoveServer: RemoveServer(); break;
    case C::kRemoveAllServers: RemoveAllServers(); break;
    case C::kEditAlias: EditAlias(); break;
    case C::kEditHost: EditHost(); break;
    case C::kSortNone: SetSortType(app::kSortNone); break;
    case C::kSortModel: SetSortType(app::kSortModelName); break;
    case C::kSortAlias: SetSortType(app::kSortAliasName); break;
    case C::kSortIp: SetSortType(app::kSortIpAddress); break;
    case C::kSortHost: SetSortType(app::kSortHostName); break;
    case C::kQueryIp: QueryIp(false); break;
    case C::kQueryIpAll: QueryIp(true); break;
    case C::kQueryInterval: EditQueryInterval(); break;
    case C::kOpenComPort: OpenComPort(); break;
    case C::kOpenTcpPort: OpenTcpPort(); break;
    case C::kConfigureServer: ConfigureServer(); break;
    case C::kConfigurePort: ConfigurePort(); break;
    case C::kPingServer: PingFromServersPane(this, App().config, SelectedServer()); break;
    case C::kDiagnostic: DiagnosticFromServersPane(App().config, SelectedServer()); break;
    default: break;
  }
}

void CPelmarServerDlg::SetSortType(int type) {
  Tkc_RegSetSortingType(static_cast<uint32_t>(type));
  m_sortType = type;
  RefreshKeepingSelection();
}

void CPelmarServerDlg::RemoveServer() {
  int index = SelectedServer();
  if (index < 0) return;
  AppState& state = App();
  const ServerRecord chosen = state.config.Records[index];
  const std::string label =
      app::ServerLabel(state.config.Records[index], m_query.State(index));
  tarvik::FormatText(state.message, sizeof state.message, "Server: %s \n\nRemove this server?",
                     label.c_str());
  if (tarvik::ShowMessageBox(state.message, kAppCaption, tarvik::kMbYesNo | tarvik::kMbIconError) !=
      tarvik::kIdYes)
    return;
  // The timer ticks while the box is open and may have reloaded the set;
  // another process may have changed the store, whose subkeys the removal
  // renumbers.
  if (AfterStore(app::SyncBeforeIndexedWrite(state.config, state.stored, &state.restartPending)))
    return;
  index = app::FindServerAgain(state.config, index, chosen);
  if (index < 0) return;
  state.restartPending = true;
  app::RemoveServerFromStore(state.config, index);
  Load();
  Rebuild();
}

void CPelmarServerDlg::RemoveAllServers() {
  if (tarvik::ShowMessageBox("Remove all device servers from the Servers list window.",
                             kAppCaption, tarvik::kMbYesNo | tarvik::kMbIconError) !=
      tarvik::kIdYes)
    return;
  app::RemoveAllServersFromStore(App().config);
  App().restartPending = true;
  Load();
  Rebuild();
}

void CPelmarServerDlg::WriteServer(int index) {
  AppState& state = App();
  AfterStore(app::WriteServerTracked(state.config, state.stored, index, &state.restartPending));
}

void CPelmarServerDlg::EditAlias() {
  int index = SelectedServer();
  if (index < 0) return;
  const ServerRecord chosen = App().config.Records[index];
  char text[sizeof chosen.AliasName];
  tarvik::CopyText(text, sizeof text,
                   std::string(chosen.AliasName, strnlen(chosen.AliasName, sizeof text)).c_str());
  CInputBox box(this);
  if (box.InputText(kAliasPrompt, text, sizeof text) != 0) return;
  // The set may have been reloaded while the box was open.
  index = app::FindServerAgain(App().config, index, chosen);
  if (index < 0) return;
  tarvik::CopyText(App().config.Records[index].AliasName, text);
  WriteServer(index);
  RefreshKeepingSelection();
}

void CPelmarServerDlg::EditHost() {
  int index = SelectedServer();
  if (index < 0) return;
  const ServerRecord chosen = App().config.Records[index];
  char text[sizeof chosen.HostName];
  tarvik::CopyText(text, sizeof text,
                   std::string(chosen.HostName, strnlen(chosen.HostName, sizeof text)).c_str());
  CInputBox box(this);
  if (box.InputText(kHostPrompt, text, sizeof text) != 0) return;
  index = app::FindServerAgain(App().config, index, chosen);
  if (index < 0) return;
  tarvik::CopyText(App().config.Records[index].HostName, text);
  WriteServer(index);
  m_query.SetState(index, '?');
  m_query.QueryOne(App().config, index);
  RefreshKeepingSelection();
}

void CPelmarServerDlg::QueryIp(bool all) {
  if (all) {
    for (uint32_t k = 0; k < ServerCount(); ++k) m_query.QueryOne(App().config, static_cast<int>(k));
  } else {
    const int index = SelectedServer();
    if (index < 0) return;
    m_query.QueryOne(App().config, index);
  }
  RefreshKeepingSelection();
}

void CPelmarServerDlg::EditQueryInterval() {
  int32_t seconds = static_cast<int32_t>(m_query.IntervalMs() / 1000);
  CInputBox box(this);
  if (box.InputNumber(kIntervalPrompt, &seconds) != 0) return;
  uint32_t store = 0;
  if (m_query.SetIntervalSeconds(seconds, &store)) Tkc_RegSetQueryInterval(store);
}

void CPelmarServerDlg::ConfigureServer() {
  namespace dev = tarvik::device;
  int index = SelectedServer();
  if (index < 0) return;
  AppState& state = App();
  const ServerRecord before = state.config.Records[index];
  dev::ServerOptions shown = dev::OptionsFromRecord(before);
  shown.rfc2217 = state.config.DataProtocol[index] == TKC_DATA_PROTOCOL_RFC2217;
  CConfigSvr dialog(this);
  dialog.SetServer(index,
                   QString::fromLatin1(app::ServerLabel(before, m_query.State(index)).c_str()),
                   before);
  dialog.OptionsPage()->SetRfc2217(shown.rfc2217);
  if (dialog.exec() != QDialog::Accepted) return;
  if (dev::SameOptions(shown, dialog.Options())) return;

  index = FindServerAfterDialog(index, before);
  if (index < 0) return;
  ServerRecord& server = state.config.Records[index];
  const dev::OptionsMerge merge =
      dev::MergeOptionsIntoRecord(shown, dialog.Options(), server, AskWhichAddress);
  // The data protocol lives beside the record; only a change the user made
  // is taken, as for the fields of the record.
  const bool protocolChanged = dialog.Options().rfc2217 != shown.rfc2217;
  if (protocolChanged) {
    state.config.DataProtocol[index] =
        dialog.Options().rfc2217 ? TKC_DATA_PROTOCOL_RFC2217 : TKC_DATA_PROTOCOL_RAW;
  }
  // Taken before the write, which may reload the records.
  const uint32_t kept[dev::kOptionAddresses] = {server.IPAddress, server.IPAddress2};
  if (merge.changed || protocolChanged) {
    state.restartPending = true;
    WriteServer(index);
  }
  RefreshSelecting(index);
  for (dev::OptionAddress which : {dev::kPrimaryAddress, dev::kRedundantAddress}) {
    if (!merge.keptNewer[which]) continue;
    tarvik::FormatText(state.message, sizeof state.message, kAddressKeptFormat,
                       kAddressNames[which], app::Ipv4Text(kept[which]).c_str());
    emit statusMessage(QString::fromLatin1(state.message));
  }
}

void CPelmarServerDlg::StartTerminal(const char* arguments) {
  // As every companion launch: a missing program shows nothing.
  const char* path = App().terminalPath;
  if (path[0] != '\0') tarvik::ShellOpen(path, arguments);
}

void CPelmarServerDlg::OpenComPort() {
  uint32_t com = 0;
  const int index = SelectedServer();
  const int entry = SelectedPortEntry();
  if (index >= 0 && entry >= 0 && entry < app::kPortEntries)
    com = app::ComNumber(app::ComWord(App().config.Records[index], entry));
  char arguments[80];
  tarvik::FormatText(arguments, sizeof arguments, "Serial=COM%u", com ? com : 1u);
  StartTerminal(arguments);
}

void CPelmarServerDlg::OpenTcpPort() {
  const int index = SelectedServer();
  if (index < 0) {
    StartTerminal(kFallbackTcp);
    return;
  }
  const ServerRecord& server = App().config.Records[index];
  const int entry = SelectedPortEntry();
  uint32_t port = server.TcpPortCmd;
  if (entry == 0) {
    port = server.TcpPort7000;
  } else if (entry > 0 && entry < app::kPortEntries) {
    port = server.TcpPortCmd + app::DevicePortNumber(app::ComWord(server, entry));
  }
  char arguments[80];
  tarvik::FormatText(arguments, sizeof arguments, "Tcp=%s,%u",
                     app::Ipv4Text(server.IPAddress).c_str(), port);
  StartTerminal(arguments);
}

int CPelmarServerDlg::FindServerAfterDialog(int index, const ServerRecord& before) {
  // The timer ran during the modal loop: a host-name lookup may have moved
  // the server's address, a reload the records. Take in another program's
  // changes first, so that the dialog's result lands on the record as the
  // store has it now.
  AppState& state = App();
  if (AfterStore(app::SyncBeforeIndexedWrite(state.config, state.stored, &state.restartPending)))
    return -1;
  index = app::FindServerAgain(state.config, index, before);
  if (index < 0)
    tarvik::ShowMessageBox(kServerGoneMessage, kAppCaption, tarvik::kMbOk | tarvik::kMbIconWarning);
  return index;
}

void CPelmarServerDlg::ConfigurePort() {
  namespace dev = tarvik::device;
  int index = SelectedServer();
  const int entry = SelectedPortEntry();
  if (index < 0 || entry < 0 || entry >= app::kPortEntries) {
    tarvik::ShowMessageBox("Please select a port first!", kAppCaption,
                           tarvik::kMbOk | tarvik::kMbIconWarning);
    return;
  }
  AppState& state = App();
  const ServerRecord before = state.config.Records[index];
  BuildOwnComMap();
  CConfigPort dialog(index, entry, state.ui.chkAnc != 0, this);
  if (dialog.exec() != QDialog::Accepted) return;
  const dev::PortMapChoice chosen = dialog.Choice();
  state.ui.chkAnc = chosen.reassign ? 1 : 0;
  // An untouched page hands back what it showed: nothing to apply, not even
  // a re-assignment that was left on.
  if (dev::SamePortChoice(chosen, dialog.Shown())) return;

  index = FindServerAfterDialog(index, before);
  if (index < 0) return;
  ServerRecord& server = state.config.Records[index];
  // The numbers in use now, not when the dialog opened.
  BuildOwnComMap();
  uint8_t inUse[dev::kComNumbers];
  dev::BuildComInUse(state.occupiedComMap, state.ownComMap,
                     app::ComNumber(app::ComWord(server, entry)), inUse);
  int left = 0;
  const app::PortDialogResult result =
      app::ApplyPortDialogResult(server, entry, dialog.Shown(), chosen, inUse, &left);
  if (result == app::PortDialogResult::kComTaken) {
    tarvik::FormatText(state.message, sizeof state.message, kComTakenFormat, chosen.com);
    tarvik::ShowMessageBox(state.message, kAppCaption, tarvik::kMbOk | tarvik::kMbIconWarning);
  } else if (result == app::PortDialogResult::kNoSuchPort) {
    tarvik::ShowMessageBox(kServerGoneMessage, kAppCaption, tarvik::kMbOk | tarvik::kMbIconWarning);
  }
  if (result != app::PortDialogResult::kApplied) return;
  state.restartPending = true;
  WriteServer(index);
  RefreshSelecting(index);
  if (left > 0) {
    tarvik::FormatText(state.message, sizeof state.message,
                       "No free COM number left: %d port(s) stay unmapped.", left);
    emit statusMessage(QString::fromLatin1(state.message));
  }
}

void CPelmarServerDlg::OpenTreeMenuAt(const QPoint& pos) {
  if (QTreeWidgetItem* item = m_tree->itemAt(pos)) m_tree->setCurrentItem(item);
  // Shown without waiting: the chosen item reaches the pane through the
  // main window's command routing.
  m_menu->ServerMenu()->popup(m_tree->viewport()->mapToGlobal(pos));
}

void CPelmarServerDlg::OpenListMenuAt(const QPoint& pos) {
  m_menu->PortMenu()->popup(m_list->viewport()->mapToGlobal(pos));
}

bool CPelmarServerDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_tree && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
    if (m_menu->IsEnabled(PelmarCommand::kRemoveServer)) OnCommand(PelmarCommand::kRemoveServer);
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void CPelmarServerDlg::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const int u = (width() - 10) / 10;
  const int h = qMax(0, height() - 5);
  m_tree->setGeometry(5, 5, qMax(0, 6 * u + 5), h);
  m_list->setGeometry(6 * u + 10, 5, qMax(0, 4 * u - 5), h);
}
