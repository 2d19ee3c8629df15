#include "cpelmarmenu.h"

#include <QAction>
#include <QIcon>
#include <QMenu>
#include <QMenuBar>

CPelmarMenu::CPelmarMenu(QWidget* owner) : QObject(owner), m_bar(new QMenuBar(owner)) {
  using C = PelmarCommand;
  QMenu* file = m_bar->addMenu(QStringLiteral("&File"));
  Add(file, C::kImport, "&Import Configuration")->setIcon(QIcon::fromTheme("document-open"));
  Add(file, C::kExport, "&Export Configuration")->setIcon(QIcon::fromTheme("document-save-as"));
  file->addSeparator();
  Add(file, C::kExit, "E&xit")->setIcon(QIcon::fromTheme("application-exit"));

  m_server = m_bar->addMenu(QStringLiteral("&Server"));
  Add(m_server, C::kPingServer, "&Ping Server");
  Add(m_server, C::kDiagnostic, "&Diagnostic");
  m_server->addSeparator();
  Add(m_server, C::kAddServers, "&Add Server(s)");
  Add(m_server, C::kRemoveServer, "&Remove Server");
  Add(m_server, C::kRemoveAllServers, "Re&move All Servers");
  Add(m_server, C::kConfigureServer, "&Configure Server");
  m_server->addSeparator();
  Add(m_server, C::kEditAlias, "Edit Alias Name\tF2");
  Add(m_server, C::kEditHost, "Edit Host Name\tF3");
  QMenu* sorting = m_server->addMenu(QStringLiteral("Sorting by"));
  Add(sorting, C::kSortNone, "None");
  Add(sorting, C::kSortModel, "Model Name");
  Add(sorting, C::kSortAlias, "Alias Name");
  Add(sorting, C::kSortIp, "IP Address");
  Add(sorting, C::kSortHost, "Host Name");
  for (C sort : {C::kSortNone, C::kSortModel, C::kSortAlias, C::kSortIp, C::kSortHost})
    Action(sort)->setCheckable(true);
  m_server->addSeparator();
  Add(m_server, C::kQueryIp, "Query IP by Host");
  Add(m_server, C::kQueryIpAll, "Query IP by Host (All)");
  Add(m_server, C::kQueryInterval, "Interval of Query IP");

  m_port = m_bar->addMenu(QStringLiteral("&Port"));
  Add(m_port, C::kOpenComPort, "&Open COM Port");
  Add(m_port, C::kOpenTcpPort, "Open &TCP Port");
  m_port->addSeparator();
  Add(m_port, C::kConfigurePort, "&Configure Port");

  QMenu* tools = m_bar->addMenu(QStringLiteral("&Tools"));
  Add(tools, C::kRestartDriver, "&Restart Driver");
  tools->addSeparator();
  Add(tools, C::kTerminal, "Terminal")->setIcon(QIcon::fromTheme("utilities-terminal"));
  Add(tools, C::kModbusRtu, "Modbus RTU Master");
  Add(tools, C::kModbusTcp, "Modbus TCP Master");
  tools->addSeparator();
  Add(tools, C::kDriverOptions, "Driver Options");
  Add(tools, C::kSystemInfo, "&System Information");

  QMenu* help = m_bar->addMenu(QStringLiteral("&Help"));
  Add(help, C::kAbout, "&About utility...")->setIcon(QIcon::fromTheme("help-about"));
}

QAction* CPelmarMenu::Add(QMenu* menu, PelmarCommand command, const char* text) {
  QAction* action = menu->addAction(QString::fromLatin1(text));
  m_actions[static_cast<int>(command)] = action;
  connect(action, &QAction::triggered, this, [this, command] { emit commandTriggered(command); });
  return action;
}

QAction* CPelmarMenu::Action(PelmarCommand command) const {
  return m_actions[static_cast<int>(command)];
}

void CPelmarMenu::Enable(PelmarCommand command, bool enabled) {
  if (QAction* action = Action(command)) action->setEnabled(enabled);
}

bool CPelmarMenu::IsEnabled(PelmarCommand command) const {
  QAction* action = Action(command);
  return action && action->isEnabled();
}

void CPelmarMenu::Check(PelmarCommand command, bool checked) {
  if (QAction* action = Action(command)) action->setChecked(checked);
}
