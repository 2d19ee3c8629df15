#include "cpelmarsearchdlg.h"

#include <QAction>
#include <QFontMetrics>
#include <QHeaderView>
#include <QMenu>
#include <QMouseEvent>
#include <QTreeWidget>
#include <cstring>
#include <iterator>

#include "app_state.h"
#include "cuconfigdev.h"
#include "findra.h"
#include "model_filter.h"
#include "search_loop.h"
#include "pane_launch.h"
#include "send_config.h"
#include "tarvik/clock.h"
#include "tarvik/text.h"
#include "tarvik/ui_hooks.h"

namespace app = tarvik::app;

namespace {

struct Column {
  const char* title;
  int width;
};

const Column kColumns[] = {
    {"Name", 100},        {"Alias", 100},       {"IP Address", 100}, {"Sub-net Mask", 100},
    {"Gateway", 100},     {"MAC Address", 100}, {"DHCP", 80},
};
// Columns 0 to 5 grow to fit what they show; DHCP keeps its width.
constexpr int kWideningColumns = 6;
constexpr int kColumnPadding = 20;

enum MenuItem { kPing, kDiagnostic, kConfigureUdp, kAddServers, kGetAliases };

constexpr int kListenPort = 54321;
constexpr unsigned kSearchTimeMs = 3000;
constexpr unsigned kSettleMs = 100;
constexpr int kDevicePort = 57188;
const char kBroadcastAddress[] = "255.255.255.255";
const char kSearchRequest[] = "KORVAXQ410X,00\r";
// The command port of a device picked here; a search does not learn it.
constexpr uint32_t kSearchDevicePort = 10000;
// Ping windows for the selected rows open one after the other.
constexpr uint32_t kPingPauseMs = 100;
constexpr int kMaxPingRow = 100;

}  // namespace

CPelmarSearchDlg::CPelmarSearchDlg(QWidget* parent)
    : QWidget(parent), m_list(new QTreeWidget(this)), m_menu(new QMenu(this)) {
  m_list->setObjectName(QStringLiteral("searchList"));
  m_list->setRootIsDecorated(false);
  m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_list->setSortingEnabled(false);
  m_list->setContextMenuPolicy(Qt::CustomContextMenu);
  QStringList titles;
  for (const Column& column : kColumns) titles << QString::fromLatin1(column.title);
  m_list->setHeaderLabels(titles);
  // Every column keeps the width it is given, the last one too.
  m_list->header()->setStretchLastSection(false);
  for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i)
    m_list->setColumnWidth(i, kColumns[i].width);
  // The selection stays visible when the list loses the focus.
  QPalette palette = m_list->palette();
  palette.setColor(QPalette::Inactive, QPalette::Highlight,
                   palette.color(QPalette::Active, QPalette::Highlight));
  palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                   palette.color(QPalette::Active, QPalette::HighlightedText));
  m_list->setPalette(palette);
  m_list->viewport()->installEventFilter(this);
  connect(m_list, &QWidget::customContextMenuRequested, this, &CPelmarSearchDlg::RightClickAt);

  m_actions[kPing] = m_menu->addAction(QStringLiteral("Ping Server"));
  m_actions[kDiagnostic] = m_menu->addAction(QStringLiteral("Diagnostic"));
  m_menu->addSeparator();
  m_actions[kConfigureUdp] = m_menu->addAction(QStringLiteral("Configure Server (UDP)"));
  m_actions[kAddServers] = m_menu->addAction(QStringLiteral("Add Server(s)"));
  m_actions[kGetAliases] = m_menu->addAction(QStringLiteral("Get Alias Name(s)"));
  connect(m_actions[kPing], &QAction::triggered, this, &CPelmarSearchDlg::PingServers);
  connect(m_actions[kDiagnostic], &QAction::triggered, this, &CPelmarSearchDlg::StartDiagnostic);
  connect(m_actions[kConfigureUdp], &QAction::triggered, this, &CPelmarSearchDlg::ConfigureByUdp);
  connect(m_actions[kAddServers], &QAction::triggered, this, &CPelmarSearchDlg::AddServers);
  connect(m_actions[kGetAliases], &QAction::triggered, this, &CPelmarSearchDlg::GetAliasNames);
}

QAction* CPelmarSearchDlg::MenuAction(int item) const {
  return item >= 0 && item < static_cast<int>(std::size(m_actions)) ? m_actions[item] : nullptr;
}

// The search loop lets the window handle its events, so a second search
// could be asked for while one runs; it must wait for the first to end.
bool CPelmarSearchDlg::CanSearch() const { return !m_searching; }

bool CPelmarSearchDlg::CanConfigureByUdp() const { return !m_searching; }

std::vector<int> CPelmarSearchDlg::SelectedRecords() const {
  std::vector<int> records;
  for (int row = 0; row < m_list->topLevelItemCount(); ++row)
    if (m_list->topLevelItem(row)->isSelected()) records.push_back(m_rows.RecordOf(row));
  if (records.empty()) records.push_back(m_rows.RecordOf(App().searchSelection));
  return records;
}

void CPelmarSearchDlg::ConfigureByUdp() {
  if (App().searchSelection < 0 || m_searching) return;
  app::UdpConfigTable table;
  if (app::FillConfigTable(&table, SelectedRecords()) == 0) return;
  CUConfigDev dialog(&table, this, app::ReadDiscoveryModule,
                     app::AddressesOfOtherDevices(table, Findra_GetCount(), app::ReadDiscoveryModule));
  if (dialog.exec() != QDialog::Accepted) return;
  app::SendConfigTable(table, app::SendEntryByDiscovery);
}

void CPelmarSearchDlg::ShowSearchMessage(const char* format, int result) {
  AppState& state = App();
  tarvik::FormatText(state.message, sizeof state.message, format, result);
  tarvik::ShowMessageBox(state.message, kAppCaption, tarvik::kMbOk | tarvik::kMbIconWarning);
}

void CPelmarSearchDlg::StopSearch() {
  if (m_searching) m_stopRequested = true;
}

void CPelmarSearchDlg::Search() {
  if (m_searching) return;
  m_searching = true;
  m_stopRequested = false;
  struct Done {
    CPelmarSearchDlg* pane;
    ~Done() {
      pane->m_searching = false;
      emit pane->searchEnded();
    }
  } done{this};
  AppState& state = App();
  m_list->clear();
  m_rows.Clear();
  // The rows are gone; a selection left pointing at one would act on
  // whichever device now has that row.
  state.searchSelection = -1;
  repaint();
  tarvik::BeginWaitCursor();

  if (!state.discoveryReady) {
    const int rc = Findra_Init(kListenPort);
    if (rc != 0) {
      tarvik::EndWaitCursor();
      ShowSearchMessage("Search() failed! Error=%d", rc);
      return;
    }
    state.discoveryReady = true;
  }
  Findra_SetOptions(kSearchTimeMs, 0);
  tarvik::SleepMs(kSettleMs);
  const int rc = Findra_BroadcastStart(kBroadcastAddress, kDevicePort, kSearchRequest);
  if (rc < 0) {
    tarvik::EndWaitCursor();
    ShowSearchMessage("Failed to search modules! Error=%d", rc);
    return;
  }

  app::SearchSource source{[] { return Findra_GetCount(); }, [] { return Findra_GetState(); },
                           [this] { return m_stopRequested; }};
  app::RunSearchLoop(source, [this](int index) { return AdmitRecord(index); }, m_rows,
                     [this] { m_list->viewport()->repaint(); });
  Findra_BroadcastStop();
  update();
  tarvik::EndWaitCursor();
}

int CPelmarSearchDlg::AdmitRecord(int index) {
  app::ModuleInfo info;
  std::memset(&info, 0, sizeof info);
  const int rc = Findra_GetModuleInfo(index, info.name, info.alias, info.ip, info.mask,
                                      info.gateway, info.mac, &info.dhcp);
  if (rc < 0) return rc;
  if (!app::IsListedModel(info.name)) return 1;

  const auto texts = app::SearchColumnTexts(info);
  QStringList cells;
  for (const std::string& text : texts) cells << QString::fromLatin1(text.c_str());
  new QTreeWidgetItem(m_list, cells);

  const QFontMetrics metrics(m_list->font());
  for (int c = 0; c < kWideningColumns; ++c) {
    // The alias column is measured by the alias itself, not by "N/A".
    const QString shown = c == 1 ? QString::fromLatin1(info.alias) : cells[c];
    const int wanted = metrics.horizontalAdvance(shown) + kColumnPadding;
    if (wanted > m_list->columnWidth(c)) m_list->setColumnWidth(c, wanted);
  }
  return 0;
}

bool CPelmarSearchDlg::ReadRow(int row, app::ModuleInfo* info) const {
  const int record = m_rows.RecordOf(row);
  if (record <= 0) return false;
  std::memset(info, 0, sizeof *info);
  return Findra_GetModuleInfo(record, info->name, info->alias, info->ip, info->mask,
                              info->gateway, info->mac, &info->dhcp) == 0;
}

int CPelmarSearchDlg::RowAt(const QPoint& pos) const {
  QTreeWidgetItem* item = m_list->itemAt(pos);
  return item ? m_list->indexOfTopLevelItem(item) : -1;
}

void CPelmarSearchDlg::LeftClick() {
  AppState& state = App();
  int first = -1;
  for (int row = 0; row < m_list->topLevelItemCount(); ++row) {
    if (m_list->topLevelItem(row)->isSelected()) {
      first = row;
      break;
    }
  }
  state.searchSelection = first;
  app::ModuleInfo info;
  if (first < 0 || !ReadRow(first, &info)) return;
  tarvik::CopyText(state.deviceName, info.name);
  tarvik::CopyText(state.deviceAddress, info.ip);
  state.devicePort = kSearchDevicePort;
}

void CPelmarSearchDlg::RightClickAt(const QPoint& pos) {
  const int row = RowAt(pos);
  App().searchSelection = row;
  m_actions[kConfigureUdp]->setEnabled(row >= 0 && CanConfigureByUdp());
  m_actions[kGetAliases]->setEnabled(row >= 0);
  m_menu->popup(m_list->viewport()->mapToGlobal(pos));
}

void CPelmarSearchDlg::DoubleClickAt(const QPoint& pos) {
  App().searchSelection = RowAt(pos);
  ConfigureByUdp();
}

void CPelmarSearchDlg::AddServers() {
  AppState& state = App();
  app::ModuleInfo info;
  if (state.searchSelection < 0 || !ReadRow(state.searchSelection, &info)) return;
  tarvik::CopyText(state.deviceName, info.name);
  tarvik::CopyText(state.deviceAddress, info.ip);
  state.pendingRequests |= kRequestAddServers;
  state.devicePort = kSearchDevicePort;
}

void CPelmarSearchDlg::PingServers() {
  if (App().searchSelection < 0) return;
  for (int row = 0; row < m_list->topLevelItemCount(); ++row) {
    if (!m_list->topLevelItem(row)->isSelected()) continue;
    app::ModuleInfo info;
    if (ReadRow(row, &info)) PingFromSearchPane(info.ip);
    tarvik::SleepMs(kPingPauseMs);
    // A hundred windows are more than anyone reads.
    if (row >= kMaxPingRow) break;
  }
}

void CPelmarSearchDlg::StartDiagnostic() {
  app::ModuleInfo info;
  const int row = App().searchSelection;
  DiagnosticFromSearchPane(row >= 0 && ReadRow(row, &info) ? info.ip : nullptr);
}

void CPelmarSearchDlg::GetAliasNames() {
  AppState& state = App();
  if (state.searchSelection < 0) return;
  for (int row = 0; row < m_list->topLevelItemCount(); ++row) {
    if (!m_list->topLevelItem(row)->isSelected()) continue;
    app::ModuleInfo info;
    if (!ReadRow(row, &info)) continue;
    const int changed = app::CopyAliasToServers(state.config, info, [&state](int index) {
      Tkc_RegWriteOneServer(static_cast<uint32_t>(index), &state.config.Records[index],
                            app::kServerRecordSize);
    });
    if (changed > 0) {
      state.pendingRequests |= kRequestRefresh;
      state.restartPending = true;
    }
  }
}

bool CPelmarSearchDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_list->viewport() && (event->type() == QEvent::MouseButtonRelease ||
                                        event->type() == QEvent::MouseButtonDblClick)) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::LeftButton) {
      if (event->type() == QEvent::MouseButtonRelease)
        LeftClick();
      else
        DoubleClickAt(mouse->position().toPoint());
    }
  }
  return QWidget::eventFilter(watched, event);
}

void CPelmarSearchDlg::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  m_list->setGeometry(5, 5, qMax(0, width() - 5), qMax(0, height() - 5));
}
