// The commands of the main window: every menu item, button and accelerator.
#pragma once

enum class PelmarCommand {
  // File
  kImport, kExport, kExit,
  // Server
  kPingServer, kDiagnostic, kAddServers, kRemoveServer, kRemoveAllServers, kConfigureServer,
  kEditAlias, kEditHost, kSortNone, kSortModel, kSortAlias, kSortIp, kSortHost, kQueryIp,
  kQueryIpAll, kQueryInterval,
  // Port
  kOpenComPort, kOpenTcpPort, kConfigurePort,
  // Tools
  kRestartDriver, kTerminal, kModbusRtu, kModbusTcp, kDriverOptions, kSystemInfo,
  // Help
  kAbout,
  // Buttons only
  kWeb, kSearchServers, kConfigureUdp,
};

constexpr int kPelmarCommandCount = static_cast<int>(PelmarCommand::kConfigureUdp) + 1;
