#include "config_transfer.h"

#include <cstring>
#include <strings.h>

#include "app_state.h"
#include "cfg_link.h"
#include "tarvik/text.h"
#include "tarvik/ui_hooks.h"

const char kImportFilter[] =
    "XML Configuration Files (*.xml)|*.xml|Configuration Files (*.cfg)|*.cfg|All Files (*.*)|*.*||";
const char kExportFilter[] = "XML Configuration Files (*.xml)|*.xml||";

namespace {

constexpr unsigned kWarning = tarvik::kMbOk | tarvik::kMbIconWarning;
constexpr unsigned kInformation = tarvik::kMbOk | tarvik::kMbIconInformation;

const char kImportQuestion[] =
    "This will remove all settings in the utility\nbefore importing new settings from the "
    "specified configuration file.\n\nAre you sure to continue?\n";
const char kImportCaption[] = "Tarvik Utility - Import Configuration from file";

// Shows text in the status bar and in a message box.
void Report(const ConfigTransferHost& host, const char* text, unsigned flags) {
  host.setStatus(text);
  tarvik::ShowMessageBox(text, kAppCaption, flags);
}

}  // namespace

bool HasXmlExtension(const char* path) {
  const size_t length = std::strlen(path);
  return length >= 4 && strcasecmp(path + length - 4, ".xml") == 0;
}

void RunImportProcedure(const ConfigTransferHost& host) {
  AppState& app = App();
  if (tarvik::ShowMessageBox(kImportQuestion, kImportCaption,
                             tarvik::kMbOkCancel | tarvik::kMbIconWarning) != tarvik::kIdOk) {
    host.setStatus("Import operation is canceled!");
    return;
  }
  tarvik::FileDialogRequest request;
  request.filter = kImportFilter;
  request.defaultExtension = "cfg";
  request.initialName = "Quenport";
  std::string path;
  if (!tarvik::ShowFileDialog(request, &path)) {
    tarvik::ShowMessageBox("Import operation is canceled!", kAppCaption, kWarning);
    return;
  }

  host.setStatus("Importing configuration from file...");
  ImportResult result;
  {
    tarvik::WaitCursor wait;
    // The whole path goes to the library: a path cut to a buffer would name
    // another file.
    result = CfgImportConfigFile(path);
  }
  const unsigned code = result.status & 0xFFFF;
  bool completed = true;
  if (code == 1) {
    tarvik::ShowMessageBox("Warning: Driver is not installed!", kAppCaption, kWarning);
  } else if (code == 5) {
    tarvik::ShowMessageBox(
        "Warning: Driver is not started!\nMay be there is no virtual COM mapping.", kAppCaption,
        kWarning);
  } else if (code != 0) {
    tarvik::FormatText(app.message, sizeof app.message,
                       HasXmlExtension(path.c_str())
                           ? "ErrorCode:%u, Server:%u; import operation is canceled!"
                           : "ErrorCode:%u, LineNum:%u; import operation is canceled!",
                       code, static_cast<unsigned>(result.where));
    Report(host, app.message, kWarning);
    // The library replaced the store before the driver failed: take the new
    // store in, or shutdown would write the old set over it.
    if (!result.driverFailed) return;
    completed = false;
  }

  app.restartPending = true;
  {
    tarvik::WaitCursor wait;
    host.load();
    host.rebuild();
  }
  if (completed) Report(host, "Import operation is completed!", kInformation);
}

void RunExportProcedure(const ConfigTransferHost& host) {
  AppState& app = App();
  host.store();
  tarvik::FileDialogRequest request;
  request.save = true;
  request.filter = kExportFilter;
  // The file holds XML, and the import reads a file by its extension: a
  // ".cfg" default would give a file the program cannot import again.
  request.defaultExtension = "xml";
  request.initialName = "Quenport";
  std::string path;
  if (!tarvik::ShowFileDialog(request, &path)) {
    Report(host, "Export operation is canceled!", kWarning);
    return;
  }
  host.setStatus("Exporting configuration to file...");
  uint32_t status;
  {
    tarvik::WaitCursor wait;
    status = CfgExportConfigFile(path);
  }
  const unsigned code = status & 0xFFFF;
  if (code != 0) {
    tarvik::FormatText(app.message, sizeof app.message,
                       "Error:%u, Configuration exporting failed!", code);
    Report(host, app.message, kWarning);
  } else {
    Report(host, "Exporting operation is completed!", kInformation);
  }
}
