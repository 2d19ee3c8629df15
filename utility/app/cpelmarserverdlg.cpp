#include "cpelmarserverdlg.h"

#include <QHeaderView>
#include <cstring>
#include <QTreeWidget>

#include "app_state.h"
#include "cpelmarmenu.h"
#include "tarvik/text.h"
#include "tarvik/ui_hooks.h"

namespace {

// Item data role that holds the server index (-1 for the root).
constexpr int kServerIndexRole = Qt::UserRole + 1;

const PelmarCommand kPaneCommands[] = {
    PelmarCommand::kPingServer,    PelmarCommand::kDiagnostic,     PelmarCommand::kRemoveServer,
    PelmarCommand::kRemoveAllServers, PelmarCommand::kConfigureServer, PelmarCommand::kEditAlias,
    PelmarCommand::kEditHost,      PelmarCommand::kSortNone,       PelmarCommand::kSortModel,
    PelmarCommand::kSortAlias,     PelmarCommand::kSortIp,         PelmarCommand::kSortHost,
    PelmarCommand::kQueryIp,       PelmarCommand::kQueryIpAll,     PelmarCommand::kQueryInterval,
    PelmarCommand::kOpenComPort,   PelmarCommand::kOpenTcpPort,    PelmarCommand::kConfigurePort,
};

const PelmarCommand kSortCommands[] = {PelmarCommand::kSortNone, PelmarCommand::kSortModel,
                                       PelmarCommand::kSortAlias, PelmarCommand::kSortIp,
                                       PelmarCommand::kSortHost};

QString ServerLabel(const ServerRecord& record) {
  char address[16];
  FormatIpv4(record.IPAddress, address, sizeof address);
  char label[300];
  size_t used = tarvik::CopyText(label, sizeof label, record.ServerName);
  if (record.AliasName[0] != '\0')
    used += tarvik::FormatText(label + used, sizeof label - used, " (%s)", record.AliasName);
  used += tarvik::FormatText(label + used, sizeof label - used, " [%s]", address);
  // No host name has been resolved by this pane, so every one shows as open.
  if (record.HostName[0] != '\0')
    tarvik::FormatText(label + used, sizeof label - used, "-?%s", record.HostName);
  return QString::fromLatin1(label);
}

}  // namespace

void FormatIpv4(uint32_t address, char* text, size_t size) {
  tarvik::FormatText(text, size, "%u.%u.%u.%u", address & 0xFF, (address >> 8) & 0xFF,
                     (address >> 16) & 0xFF, (address >> 24) & 0xFF);
}

CPelmarServerDlg::CPelmarServerDlg(CPelmarMenu* menu, QWidget* parent)
    : QWidget(parent), m_menu(menu), m_tree(new QTreeWidget(this)) {
  m_tree->setHeaderHidden(true);
  m_tree->setColumnCount(1);
  connect(m_tree, &QTreeWidget::currentItemChanged, this, [this] {
    UpdateMenuState();
    emit selectionChanged();
  });
}

int CPelmarServerDlg::Load() {
  ConfigSet& set = App().config;
  std::memset(&set, 0, sizeof set);
  const int status = CfgReadAll(&set);
  if (status != 0) {
    tarvik::FormatText(App().message, sizeof App().message,
                       "Error Code:%d\nFailed to get driver settings from registry,\n"
                       "please use Administrator account of the computer!",
                       status);
    tarvik::ShowMessageBox(App().message, kAppCaption, tarvik::kMbOk | tarvik::kMbIconWarning);
    return status;
  }
  if (!(set.Flags & kFlagFormatMarker)) {
    set.Flags |= kFlagFormatMarker;
    App().restartPending = true;
  }
  return 0;
}

int CPelmarServerDlg::Store() {
  const int status = CfgWriteAll(&App().config);
  if (status != 0) {
    tarvik::FormatText(App().message, sizeof App().message,
                       "Error Code:%d\nFailed to write driver settings into registry,\n"
                       "please use Administrator account of the computer!",
                       status);
    tarvik::ShowMessageBox(App().message, kAppCaption, tarvik::kMbOk | tarvik::kMbIconWarning);
  }
  return status;
}

void CPelmarServerDlg::Rebuild() {
  m_tree->clear();
  auto* root = new QTreeWidgetItem(m_tree, QStringList(QStringLiteral("Servers")));
  root->setData(0, kServerIndexRole, -1);
  const ConfigSet& set = App().config;
  QTreeWidgetItem* last = nullptr;
  for (uint32_t i = 0; i < set.Servers && i < 4095; ++i) {
    last = new QTreeWidgetItem(root, QStringList(ServerLabel(set.Server[i])));
    last->setData(0, kServerIndexRole, static_cast<int>(i));
  }
  root->setExpanded(true);
  m_tree->setCurrentItem(last ? last : root);
  UpdateMenuState();
}

void CPelmarServerDlg::LoadSortType() {
  if (m_sortType == -1) {
    uint32_t type = 0;
    m_sortType = Tkc_RegGetSortingType(&type) == 0 && type <= 4 ? static_cast<int>(type) : 0;
  }
  for (int i = 0; i < 5; ++i) m_menu->Check(kSortCommands[i], i == m_sortType);
}

int CPelmarServerDlg::SelectedServer() const {
  const QTreeWidgetItem* item = m_tree->currentItem();
  if (!item) return -1;
  const int index = item->data(0, kServerIndexRole).toInt();
  return index >= 0 && static_cast<uint32_t>(index) < App().config.Servers ? index : -1;
}

void CPelmarServerDlg::HostQueryStep() {
  // Host names are not queried by this pane yet (see the class comment).
}

int CPelmarServerDlg::BuildOwnComMap() { return ::BuildOwnComMap(App().config, App().ownComMap); }

int CPelmarServerDlg::AddServerCount(uint32_t portDelta) {
  const int status = Tkc_RegAddServersAndPortsCount(1, portDelta);
  if (status != 0)
    tarvik::ShowMessageBox("Failed to write the Servers/Ports registry key!", kAppCaption,
                           tarvik::kMbOk);
  return status;
}

bool CPelmarServerDlg::HandlesCommand(PelmarCommand) const { return false; }

void CPelmarServerDlg::OnCommand(PelmarCommand) {}

void CPelmarServerDlg::UpdateMenuState() {
  for (PelmarCommand command : kPaneCommands) m_menu->Enable(command, HandlesCommand(command));
}

void CPelmarServerDlg::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  m_tree->setGeometry(5, 5, qMax(0, width() - 10), qMax(0, height() - 5));
}
