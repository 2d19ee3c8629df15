// Ping and Diagnostic as the panes start them: the target each pane passes,
// the ping target dialog when the launcher asks, and the diagnostic
// program's path from the application state.
#pragma once
#include "tarvikcfg.h"

class QWidget;

// Servers pane: the selected server (index, -1 for none) of set.
void PingFromServersPane(QWidget* parent, const TkcConfigSet& set, int selected);
void DiagnosticFromServersPane(const TkcConfigSet& set, int selected);

// Search pane: a device's address text, without the question.
void PingFromSearchPane(const char* address);
// Search pane: the selected device's address text (null for none) and port 10000.
void DiagnosticFromSearchPane(const char* address);
