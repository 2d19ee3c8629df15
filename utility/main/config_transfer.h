// Import and export of the configuration file, as the File menu runs them:
// the question, the file dialog, the library call under a wait cursor, and
// the outcome in the status bar and a message box.
#pragma once
#include <functional>

// What the procedures need of the main window and its servers pane.
struct ConfigTransferHost {
  std::function<void(const char*)> setStatus;  // the status bar's one pane
  std::function<int()> load;                    // servers pane: load
  std::function<int()> store;                   // servers pane: store
  std::function<void()> rebuild;                // servers pane: rebuild
};

extern const char kImportFilter[];
extern const char kExportFilter[];

// Replaces the store with a chosen file. A failed import leaves the
// configuration set as it was, unless the library reports that it replaced
// the store before the driver failed; then the set is reloaded so that what
// the program shows and later stores is what the store holds.
void RunImportProcedure(const ConfigTransferHost& host);
// Stores the configuration set, then writes the store to a chosen file.
void RunExportProcedure(const ConfigTransferHost& host);

// True when path ends with ".xml" in any letter case.
bool HasXmlExtension(const char* path);
