// Ping and Diagnostic as the panes start them: the target each pane passes,
// the ping target dialog when the launcher asks, and the diagnostic
// program's path from the application state.
#pragma once
#include "tarvikcfg.h"

class QWidget;

// Servers pane: the selected server (index, -1 for none) of set.
void PingFromServersPane(QWidget* parent, const TkcConfigSet& set, int selected);
void DiagnosticFromServersPane(const TkcConfigSet& set, int selected);

// Search pane: Ping takes a device's address text, without the question;
// Diagnostic the selected device's address text (null for none: the
// "192.168.0.1" fallback) and port 10000. An address from a search reply
// that is not a dotted IPv4 address starts nothing and is reported in the
// status bar.
void PingFromSearchPane(const char* address);
void DiagnosticFromSearchPane(const char* address);
