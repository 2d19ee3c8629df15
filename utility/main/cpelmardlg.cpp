#include "cpelmardlg.h"

#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

#include "add_procedure.h"
#include "add_store_step.h"
#include "app_icons.h"
#include "app_state.h"
#include "caboutdlg.h"
#include "ciconbutton.h"
#include "cmip.h"
#include "cdrvoptions.h"
#include "companion.h"
#include "concurrent_name_fetch.h"
#include "config_transfer.h"
#include "cpagetabctrl.h"
#include "cpelmarmenu.h"
#include "cpelmarsearchdlg.h"
#include "crestartdrv.h"
#include "cpelmarserverdlg.h"
#include "csysinfo.h"
#include "dialog_add_host.h"
#include "dialog_units.h"
#include "discovery_link.h"
#include "main_layout.h"
#include "qt_ui_hooks.h"
#include "store_sync.h"
#include "tarvik/text.h"
#include "tarvik/ui_hooks.h"
#include "ui_options.h"

namespace {

constexpr int kTickMs = 500;

// The servers pane's menu items that are grey while the Search tab is up.
const PelmarCommand kGreyOnSearchTab[] = {
    PelmarCommand::kEditAlias,    PelmarCommand::kEditHost,        PelmarCommand::kQueryIp,
    PelmarCommand::kRemoveServer, PelmarCommand::kConfigureServer, PelmarCommand::kConfigurePort,
};

struct ButtonRow {
  PelmarCommand command;
  const char* text;
  const char* tip;  // null: no tip
};

// The left column from top to bottom (under the logo).
const ButtonRow kButtonRows[] = {
    {PelmarCommand::kAddServers, "Add Server(s)", "Add device server into Server-List window"},
    {PelmarCommand::kRemoveServer, "Remove Server",
     "Remove a device server from Server-List window"},
    {PelmarCommand::kWeb, "Web", "Open web browser and connect to device server"},
    {PelmarCommand::kSearchServers, "Search Servers", "Search device server in the local network"},
    {PelmarCommand::kConfigureUdp, "Configuration (UDP)",
     "Configure device server via UDP while its network is not setting correctly"},
    {PelmarCommand::kExit, "Exit", nullptr},
};

const char kLogoTip[] = "Thank you for using KORVAX products!";

bool IsPaneCommand(PelmarCommand command) {
  switch (command) {
    case PelmarCommand::kPingServer: case PelmarCommand::kDiagnostic:
    case PelmarCommand::kRemoveServer: case PelmarCommand::kRemoveAllServers:
    case PelmarCommand::kConfigureServer: case PelmarCommand::kEditAlias:
    case PelmarCommand::kEditHost: case PelmarCommand::kSortNone: case PelmarCommand::kSortModel:
    case PelmarCommand::kSortAlias: case PelmarCommand::kSortIp: case PelmarCommand::kSortHost:
    case PelmarCommand::kQueryIp: case PelmarCommand::kQueryIpAll:
    case PelmarCommand::kQueryInterval: case PelmarCommand::kOpenComPort:
    case PelmarCommand::kOpenTcpPort: case PelmarCommand::kConfigurePort:
      return true;
    default:
      return false;
  }
}

}  // namespace

CPelmarDlg::CPelmarDlg(QWidget* parent)
    : QDialog(parent),
      m_menu(new CPelmarMenu(this)),
      m_body(new QWidget(this)),
      m_logo(new QLabel(m_body)),
      m_tabs(new CPageTabCtrl(m_body)),
      m_timer(new QTimer(this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->setMenuBar(m_menu->Bar());
  layout->addWidget(m_body);
  m_body->installEventFilter(this);

  CIconButton** targets[] = {&m_add, &m_remove, &m_web, &m_search, &m_configUdp, &m_exit};
  for (size_t i = 0; i < std::size(kButtonRows); ++i) {
    const ButtonRow& row = kButtonRows[i];
    CIconButton* button = new CIconButton(QString::fromLatin1(row.text), m_body);
    const PelmarCommand command = row.command;
    connect(button, &QPushButton::clicked, this, [this, command] { RunCommand(command); });
    *targets[i] = button;
  }
  // Enter and Esc close the window: Exit is the default button.
  m_exit->setDefault(true);
  m_remove->setEnabled(false);
  m_configUdp->setEnabled(false);

  // The left column in dialog units (the logo, then the buttons), made wide
  // enough for the longest button text in the desktop's font.
  int column = DialogUnitsX(this, 60);
  for (CIconButton* button : {m_add, m_remove, m_web, m_search, m_configUdp, m_exit}) {
    button->setIcon(IconFor(CommandIcon::kWeb));  // room for the icon while measuring
    column = qMax(column, button->sizeHint().width() + DialogUnitsX(this, 4));
    button->setIcon(QIcon());
  }
  const int left = DialogUnitsX(this, 7);
  m_logo->setGeometry(left, DialogUnitsY(this, 7), column, DialogUnitsY(this, 36));
  int top = 49;
  for (CIconButton* button : {m_add, m_remove, m_web, m_search, m_configUdp, m_exit}) {
    button->setGeometry(left, DialogUnitsY(this, top), column, DialogUnitsY(this, 17));
    top += 22;
  }
  m_tabs->move(left + column + DialogUnitsX(this, 7), DialogUnitsY(this, 7));

  m_timer->setObjectName(QStringLiteral("tickTimer"));
  m_timer->setInterval(kTickMs);
  connect(m_timer, &QTimer::timeout, this, &CPelmarDlg::OnTimerTick);
  connect(m_menu, &CPelmarMenu::commandTriggered, this, &CPelmarDlg::RunCommand);

  QSize client = DialogUnitsToPixels(this, QSize(422, 188));
  client.setWidth(qMax(client.width(), m_tabs->x() + DialogUnitsX(this, 340)));
  resize(client.width(), client.height() + m_menu->Bar()->sizeHint().height());
}

CPelmarDlg::~CPelmarDlg() {
  SetCompanionProblemReport(nullptr);
  SetCompanionTargetSource(nullptr);
}

void CPelmarDlg::showEvent(QShowEvent* event) {
  InitDialog();
  QDialog::showEvent(event);
  LayoutControls();
}

void CPelmarDlg::InitDialog() {
  if (m_initialised) return;
  m_initialised = true;
  AppState& app = App();

  // Window icon, menu states, accelerators; the servers pane reads its
  // sorting type so that "Sorting by" shows the current choice.
  setWindowIcon(ProgramIcon());
  m_serverPane = CreateServerPane(m_menu);
  m_searchPane = CreateSearchPane();
  connect(m_searchPane, &CPelmarSearchDlg::searchEnded, this, &CPelmarDlg::RunPendingClose,
          Qt::QueuedConnection);
  connect(m_serverPane, &CPelmarServerDlg::statusMessage, this,
          [this](const QString& text) { SetStatusText(text.toLatin1().constData()); });
  m_menu->Enable(PelmarCommand::kRestartDriver, IsAvailable(PelmarCommand::kRestartDriver));
  m_menu->Enable(PelmarCommand::kImport, IsAvailable(PelmarCommand::kImport));
  m_menu->Enable(PelmarCommand::kExport, IsAvailable(PelmarCommand::kExport));
  for (auto [key, command] : {std::pair{Qt::Key_F2, PelmarCommand::kEditAlias},
                              std::pair{Qt::Key_F3, PelmarCommand::kEditHost}}) {
    auto* shortcut = new QShortcut(QKeySequence(key), this);
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, this,
            [this, command] { ForwardAccelerator(command); });
  }
  m_serverPane->LoadSortType();

  // Status bar with its one pane.
  m_statusBar = new QStatusBar(m_body);
  m_statusBar->setSizeGripEnabled(false);
  m_statusPane = new QLabel(QStringLiteral("Status"), m_statusBar);
  // Status lines can quote what a user typed and show devices' names ("...
  // found!"): text, never markup.
  m_statusPane->setTextFormat(Qt::PlainText);
  m_statusBar->addWidget(m_statusPane, 1);
  m_cancelWalk = new QPushButton(QStringLiteral("Cancel"), m_statusBar);
  m_cancelWalk->setObjectName(QStringLiteral("cancelWalk"));
  m_cancelWalk->setAutoDefault(false);
  m_cancelWalk->hide();
  connect(m_cancelWalk, &QPushButton::clicked, this, [this] { m_stopAdding = true; });
  m_statusBar->addPermanentWidget(m_cancelWalk);
  m_statusBar->show();

  // Tool tips.
  for (const ButtonRow& row : kButtonRows)
    if (row.tip) Button(row.command)->setToolTip(QString::fromLatin1(row.tip));
  m_logo->setToolTip(QString::fromLatin1(kLogoTip));

  // The two pages: Servers (shown) and Search.
  m_tabs->AddPage(QStringLiteral("Servers"), m_serverPane);
  m_tabs->AddPage(QStringLiteral("Search"), m_searchPane);
  m_tabs->SetCurrentIndex(0);
  connect(m_tabs, &CPageTabCtrl::currentChanged, this, &CPelmarDlg::OnTabChanged);

  CfgCheckCreateServiceKey();
  ReadUiOptions(&app.ui);
  app.restartPending = false;
  tarvik::CopyText(app.deviceAddress, "192.168.255.1");
  app.devicePort = 10000;

  m_add->setIcon(IconFor(CommandIcon::kAddServer));
  m_remove->setIcon(IconFor(CommandIcon::kRemoveServer));
  m_web->setIcon(IconFor(CommandIcon::kWeb));
  m_search->setIcon(IconFor(CommandIcon::kSearch));
  m_logo->setPixmap(LogoPixmap(m_logo->size()));
  UpdateCommandStates();

  setWindowTitle(QString::fromLatin1(kAppTitle));

  const std::string self = OwnExecutablePath();
  ProgramPathBeside(self, kTerminalProgram, app.terminalPath, sizeof app.terminalPath);
  ProgramPathBeside(self, kDiagProgram, app.diagPath, sizeof app.diagPath);
  // A companion that cannot start says why where the user looks next.
  SetCompanionProblemReport(
      [this](const std::string& line) { SetStatusText(line.c_str()); });
  // The Modbus masters start without arguments: they work on what is
  // selected when they start.
  SetCompanionTargetSource([this] {
    const bool pane = m_serverPane != nullptr;
    return TargetFromSelection(App().config, pane ? m_serverPane->SelectedServer() : -1,
                               pane ? m_serverPane->SelectedPortEntry() : -1,
                               App().deviceAddress);
  });

  m_serverPane->Load();
  BuildOwnComMap(app.config, app.ownAtLoadComMap);
  CfgReadOtherSerial(app.occupiedComMap, &app.config);
  m_serverPane->Rebuild();

  app.discoveryReady = false;
  m_timer->start();
  LayoutControls();
}

CPelmarServerDlg* CPelmarDlg::CreateServerPane(CPelmarMenu* menu) {
  return new CPelmarServerDlg(menu);
}

CPelmarSearchDlg* CPelmarDlg::CreateSearchPane() { return new CPelmarSearchDlg(); }

CIconButton* CPelmarDlg::Button(PelmarCommand command) const {
  switch (command) {
    case PelmarCommand::kAddServers: return m_add;
    case PelmarCommand::kRemoveServer: return m_remove;
    case PelmarCommand::kWeb: return m_web;
    case PelmarCommand::kSearchServers: return m_search;
    case PelmarCommand::kConfigureUdp: return m_configUdp;
    case PelmarCommand::kExit: return m_exit;
    default: return nullptr;
  }
}

QString CPelmarDlg::StatusText() const {
  return m_statusPane ? m_statusPane->text() : QString();
}

void CPelmarDlg::SetStatusText(const char* text) {
  if (m_statusPane) m_statusPane->setText(QString::fromLatin1(text));
}

bool CPelmarDlg::IsAvailable(PelmarCommand command) const {
  // The one gate for a walk in progress: a command run from inside it (its
  // name fetches pump our events) would change the set or the store under
  // it. Esc and the close box still end the walk (done()).
  if (m_adding) return false;
  if (IsPaneCommand(command)) return m_serverPane && m_serverPane->HandlesCommand(command);
  if (command == PelmarCommand::kRestartDriver) return HasRestartDriverDialog();
  if (command == PelmarCommand::kSearchServers) return m_searchPane && m_searchPane->CanSearch();
  if (command == PelmarCommand::kConfigureUdp)
    return m_searchPane && m_searchPane->CanConfigureByUdp();
  return true;
}

void CPelmarDlg::RunCommand(PelmarCommand command) {
  if (!m_initialised || m_shutDown || !IsAvailable(command)) return;
  // The search loop pumps our events: a command run from it would nest in
  // the search (imports, removals, input boxes). Only Exit gets through,
  // and it waits for the search to end.
  if (Searching() && command != PelmarCommand::kExit) return;
  using C = PelmarCommand;
  if (IsPaneCommand(command)) {
    m_serverPane->OnCommand(command);
    return;
  }
  AppState& app = App();
  switch (command) {
    case C::kImport: ImportConfiguration(); break;
    case C::kExport: ExportConfiguration(); break;
    case C::kExit: accept(); break;
    case C::kAddServers: RunAddServers(); break;
    case C::kRestartDriver: RestartDriver(); break;
    case C::kDriverOptions: DriverOptions(); break;
    case C::kTerminal: StartCompanion(app.terminalPath, "Serial=COM1"); break;
    case C::kModbusRtu:
      if (m_modbusRtuPath.empty())
        m_modbusRtuPath = ProgramPathBeside(OwnExecutablePath(), kModbusRtuProgram);
      StartCompanion(m_modbusRtuPath.c_str(), "");
      break;
    case C::kModbusTcp:
      if (m_modbusTcpPath.empty())
        m_modbusTcpPath = ProgramPathBeside(OwnExecutablePath(), kModbusTcpProgram);
      StartCompanion(m_modbusTcpPath.c_str(), "");
      break;
    case C::kAbout: ShowAbout(); break;
    case C::kSystemInfo: ShowSystemInfo(); break;
    case C::kWeb: OpenWeb(); break;
    case C::kSearchServers: SearchServers(); break;
    case C::kConfigureUdp: m_searchPane->ConfigureByUdp(); break;
    default: break;
  }
}

void CPelmarDlg::ForwardAccelerator(PelmarCommand command) {
  // As with any accelerator, a grey menu item does not fire.
  if (m_menu->IsEnabled(command)) RunCommand(command);
}

void CPelmarDlg::StartCompanion(const char* path, const char* arguments) {
  // A missing program shows nothing; the result is not looked at.
  if (path[0] != '\0') tarvik::ShellOpen(path, arguments);
}

void CPelmarDlg::OpenWeb() {
  // The address may be a search reply's, which anyone on the network can
  // send: only an address in its dotted form becomes a URL.
  CMIP ip;
  if (!ip.IsValidText(App().deviceAddress)) {
    SetStatusText("Web: the current device address is not an IPv4 address; nothing opened.");
    return;
  }
  char url[80];
  tarvik::FormatText(url, sizeof url, "http://%s/", App().deviceAddress);
  tarvik::ShellOpen(url);
}

void CPelmarDlg::ShowSystemInfo() {
  CSysInfo info(this);
  info.exec();
}

void CPelmarDlg::ShowAbout() {
  CAboutDlg about(this);
  about.exec();
}

bool CPelmarDlg::HasRestartDriverDialog() const { return true; }

bool CPelmarDlg::RunRestartDriverDialog() {
  // A program told to end does not start a restart that nobody watches; the
  // store is written, so the next start of the utility offers it again.
  if (IsUiTerminating()) return false;
  CRestartDrv dlg(&App().config, this);
  return dlg.exec() == QDialog::Accepted;
}

void CPelmarDlg::DriverOptions() {
  // The store gets the word with the next store of the configuration set.
  if (RunDriverOptions(&App().config.Flags, this)) App().restartPending = true;
}

void CPelmarDlg::RestartDriver() {
  AppState& app = App();
  m_serverPane->Store();
  if (!RunRestartDriverDialog()) return;
  app.restartPending = false;
  // The running driver now uses the store: its COM numbers are ours at load.
  BuildOwnComMap(app.config, app.ownAtLoadComMap);
  CfgReadOtherSerial(app.occupiedComMap, &app.config);
}

void CPelmarDlg::RunAddServers() {
  if (m_adding) return;
  m_adding = true;
  m_stopAdding = false;
  AddWindowLinks links;
  links.store = [this] { return StoreForAdding(); };
  links.reload = [this] {
    m_serverPane->Load();
    m_serverPane->Rebuild();
  };
  links.setStatus = [this](const char* text) { SetStatusText(text); };
  links.enableCommands = [this](bool on) { HoldForWalk(!on); };
  links.stopRequested = [this] { return m_stopAdding; };
  DialogAddHost host(this, App().ui.maxVcom, std::move(links));
  ConcurrentNameFetch fetch;
  RunAddServersProcedure(App(), host, fetch);
  m_adding = false;
  UpdateCommandStates();
  // A termination request that came during the walk closes the window now.
  if (m_closePending) QTimer::singleShot(0, this, &CPelmarDlg::RunPendingClose);
}

bool CPelmarDlg::StoreForAdding() {
  const AddStoreStep step = StoreBeforeAdding(App());
  if (step.reloaded) m_serverPane->RefreshKeepingSelection();
  if (step.ready) return true;
  SetStatusText(step.refusal);
  tarvik::ShowMessageBox(step.refusal, kAppCaption, tarvik::kMbOk | tarvik::kMbIconWarning);
  return false;
}

void CPelmarDlg::HoldForWalk(bool hold) {
  for (CIconButton* button : {m_add, m_remove, m_web, m_search, m_configUdp, m_exit})
    button->setEnabled(!hold);
  m_menu->Bar()->setEnabled(!hold);
  m_serverPane->setEnabled(!hold);
  m_searchPane->setEnabled(!hold);
  m_cancelWalk->setVisible(hold);
  // The buttons that follow a selection are set again once the walk is
  // over (RunAddServers), since every command is refused until then.
}

ConfigTransferHost CPelmarDlg::TransferHost() {
  ConfigTransferHost host;
  host.setStatus = [this](const char* text) { SetStatusText(text); };
  host.load = [this] { return m_serverPane->Load(); };
  host.store = [this] { return m_serverPane->Store(); };
  host.rebuild = [this] { m_serverPane->Rebuild(); };
  return host;
}

void CPelmarDlg::ImportConfiguration() { RunImportProcedure(TransferHost()); }

void CPelmarDlg::ExportConfiguration() { RunExportProcedure(TransferHost()); }

void CPelmarDlg::SearchServers() {
  m_tabs->SetCurrentIndex(1);
  LayoutControls();
  m_configUdp->setEnabled(false);
  m_search->setEnabled(false);
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  // The servers pane takes no input while the search pumps events: its
  // keys and menus would act on the set in the middle of the search.
  m_serverPane->setEnabled(false);
  m_searchPane->Search();
  m_serverPane->setEnabled(true);
  m_search->setEnabled(IsAvailable(PelmarCommand::kSearchServers));
  repaint();
}

void CPelmarDlg::OnTimerTick() {
  UpdateCommandStates();
  // Requests, reloads and host queries wait for a search or a walk to end
  // rather than run inside its loop.
  if (Searching() || m_adding) return;
  AppState& app = App();
  if (app.pendingRequests & kRequestAddServers) {
    app.pendingRequests &= ~kRequestAddServers;
    RunAddServers();
  } else if (app.pendingRequests & kRequestRefresh) {
    app.pendingRequests &= ~kRequestRefresh;
    m_serverPane->Rebuild();
  }
  m_serverPane->HostQueryStep();
}

void CPelmarDlg::UpdateCommandStates() {
  m_add->setEnabled(IsAvailable(PelmarCommand::kAddServers));
  if (m_search->isEnabled() != IsAvailable(PelmarCommand::kSearchServers))
    m_search->setEnabled(IsAvailable(PelmarCommand::kSearchServers));
  if (m_tabs->CurrentIndex() != 0) {
    m_remove->setEnabled(false);
    for (PelmarCommand command : kGreyOnSearchTab) m_menu->Enable(command, false);
    m_configUdp->setEnabled(App().searchSelection >= 0 &&
                            IsAvailable(PelmarCommand::kConfigureUdp));
  } else {
    m_configUdp->setEnabled(false);
    m_remove->setEnabled(m_serverPane->SelectedServer() >= 0 &&
                         IsAvailable(PelmarCommand::kRemoveServer));
  }
}

void CPelmarDlg::OnTabChanged(int index) {
  LayoutControls();
  // Back on the servers page its items follow its selection again at once,
  // rather than staying grey until the selection next changes.
  if (index == 0) m_serverPane->UpdateMenuState();
}

void CPelmarDlg::LayoutControls() {
  if (!m_statusBar) return;
  const MainLayout layout = ComputeMainLayout(m_body->size(), m_tabs->pos());
  m_tabs->setGeometry(layout.tab);
  m_statusBar->setGeometry(layout.statusBar);
  m_tabs->LayoutPages();
}

bool CPelmarDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_body && event->type() == QEvent::Resize) LayoutControls();
  return QDialog::eventFilter(watched, event);
}

void CPelmarDlg::keyPressEvent(QKeyEvent* event) {
  // In the panes' lists Enter and Esc are the lists' keys; only outside
  // the panes do they reach the default Exit button and close the window.
  const int key = event->key();
  if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
    QWidget* focus = focusWidget();
    for (QWidget* pane : {static_cast<QWidget*>(m_serverPane), static_cast<QWidget*>(m_searchPane)}) {
      if (focus && pane && (focus == pane || pane->isAncestorOf(focus))) {
        event->accept();
        return;
      }
    }
  }
  QDialog::keyPressEvent(event);
}

bool CPelmarDlg::Searching() const { return m_searchPane && !m_searchPane->CanSearch(); }

void CPelmarDlg::done(int result) {
  if (m_adding) {
    // Esc or the close box while servers are being added ends the walk at
    // the next address; its finish still needs the window. A termination
    // request then closes the window as well.
    m_stopAdding = true;
    if (IsUiTerminating()) {
      m_closePending = true;
      m_pendingResult = result;
    }
    return;
  }
  if (Searching()) {
    // Exit, Esc, the close box and a termination request all come here
    // from inside the search loop: end the search first, then close.
    m_closePending = true;
    m_pendingResult = result;
    m_searchPane->StopSearch();
    return;
  }
  Shutdown();
  QDialog::done(result);
}

void CPelmarDlg::RunPendingClose() {
  if (!m_closePending || Searching() || m_adding) return;
  m_closePending = false;
  done(m_pendingResult);
}

void CPelmarDlg::Shutdown() {
  if (m_shutDown || !m_initialised) return;
  m_shutDown = true;
  // No tick may start a procedure in the middle of the shutdown's boxes.
  m_timer->stop();
  AppState& app = App();
  WriteBackUiOptions(&app.ui);
  m_serverPane->Store();
  if (app.restartPending && HasRestartDriverDialog() && RunRestartDriverDialog())
    app.restartPending = false;
  CloseDiscoveryIfOpen();
}
