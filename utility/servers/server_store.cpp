#include "server_store.h"

#include <cstring>

#include "tarvik/registry.h"
#include "tarvik/text.h"
#include "tarvik/ui_hooks.h"

namespace tarvik::app {

namespace {

void Warn(const char* text) { ShowMessageBox(text, kPaneCaption, kMbOk | kMbIconWarning); }
void Plain(const char* text) { ShowMessageBox(text, kPaneCaption, kMbOk); }

void ServerSubkey(char (&name)[32], uint32_t number) {
  FormatText(name, sizeof name, TKC_SERVER_SUBKEY_FORMAT, static_cast<int>(number));
}

// Deletes "Server<number>" with all it holds; shows a failure.
void DeleteServerSubkey(RegKey& params, uint32_t number) {
  if (!params.IsOpen()) return;
  char name[32];
  ServerSubkey(name, number);
  if (params.DeleteTree(name) != kErrorSuccess) Plain("Error to Remove Key");
}

RegKey OpenParameters() {
  RegKey params;
  if (params.Open(TKC_PARAMETER_KEY, RegAccess::kFullAccess) != kErrorSuccess) {
    Plain("Error to Open Key");
    params.Close();
  }
  return params;
}

uint32_t ServerCount(const ConfigSet& set) {
  return set.Servers > static_cast<uint32_t>(kMaxServers) ? kMaxServers : set.Servers;
}

bool CommitOrWarn(RegTransaction& tx) {
  if (tx.Commit() != kErrorSuccess) {
    WarnWriteFailed(TKC_ERR_PARAMETER_KEY);
    return false;
  }
  return true;
}

}  // namespace

void WarnWriteFailed(uint16_t status) {
  char text[500];
  FormatText(text, sizeof text,
             "Error Code:%d\nFailed to write driver settings into registry,\n"
             "please use Administrator account of the computer!",
             status);
  Warn(text);
}

uint16_t ReadConfigSet(ConfigSet& set, bool* restartPending) {
  memset(&set, 0, sizeof set);
  set.SizeStamp = kConfigSetSize;
  uint16_t status = Tkc_RegReadAllWithProtocols(&set, set.DataProtocol, sizeof set.DataProtocol);
  if (status != TKC_OK) return status;
  if (!(set.Flags & TKC_FLAGS_FORMAT_MARKER)) {
    set.Flags |= TKC_FLAGS_FORMAT_MARKER;
    if (restartPending) *restartPending = true;
  }
  return status;
}

void WarnLoadFailed(uint16_t status, const char* detail) {
  char text[500];
  FormatText(text, sizeof text,
             "Error Code:%d\nFailed to get driver settings from registry,\n"
             "please use Administrator account of the computer!%s",
             status, detail ? detail : "");
  Warn(text);
}

uint16_t LoadConfigSet(ConfigSet& set, bool* restartPending) {
  uint16_t status = ReadConfigSet(set, restartPending);
  if (status != TKC_OK) WarnLoadFailed(status, nullptr);
  return status;
}

uint16_t StoreConfigSet(ConfigSet& set) {
  set.SizeStamp = kConfigSetSize;
  uint16_t status = Tkc_RegWriteAllWithProtocols(&set, set.DataProtocol, sizeof set.DataProtocol);
  if (status != TKC_OK) WarnWriteFailed(status);
  return status;
}

uint16_t WriteServerWithProtocol(uint32_t index, ServerRecord* record, uint8_t protocol) {
  RegTransaction tx(RegTransaction::Mode::kWrite);
  if (tx.Status() != kErrorSuccess) return TKC_ERR_PARAMETER_KEY;
  uint16_t status = Tkc_RegWriteOneServer(index, record, kServerRecordSize);
  if (status == TKC_OK) status = Tkc_RegSetDataProtocol(index, protocol);
  if (status != TKC_OK) return status;  // the scope rolls back
  return tx.Commit() == kErrorSuccess ? TKC_OK : TKC_ERR_PARAMETER_KEY;
}

uint16_t CountAddedServer(uint32_t ports) {
  uint16_t status = Tkc_RegAddServersAndPortsCount(1, ports);
  if (status != TKC_OK) Plain("Failed to write the Servers/Ports registry key!");
  return status;
}

bool RemoveServerFromStore(const ConfigSet& set, int index) {
  uint32_t count = ServerCount(set);
  if (index < 0 || static_cast<uint32_t>(index) >= count) return false;

  // The counts are read before the transaction begins: the library reads
  // them in a snapshot scope of its own, whose end would doom an enclosing
  // write scope.
  uint32_t servers = 0;
  uint32_t ports = 0;
  if (Tkc_RegReadServersAndPorts(&servers, &ports) != TKC_OK) {
    Plain("Failed to read the Servers/Ports registry key!");
    return false;
  }
  uint32_t removedPorts = set.Records[index].PortNo + 1;
  ports = (servers <= 1 || ports < removedPorts) ? 0 : ports - removedPorts;
  servers = servers > 0 ? servers - 1 : 0;

  RegTransaction tx(RegTransaction::Mode::kWrite);
  // Servers before the removed one keep their subkeys; writing them keeps
  // the edits that so far live only in memory. A write that fails in the
  // store dooms the transaction and shows at the commit.
  for (int k = 0; k < index; ++k) {
    ServerRecord copy = set.Records[k];
    WriteServerWithProtocol(static_cast<uint32_t>(k), &copy, set.DataProtocol[k]);
  }

  RegKey params = OpenParameters();
  DeleteServerSubkey(params, static_cast<uint32_t>(index) + 1);
  if (Tkc_RegWriteServersAndPorts(servers, ports) != TKC_OK) {
    Plain("Failed to update the Servers/Ports registry!");
    return false;  // the transaction rolls back
  }
  for (uint32_t k = static_cast<uint32_t>(index) + 1; k < count; ++k) {
    ServerRecord copy = set.Records[k];
    // The subkey it lands in is new: its protocol must come along.
    uint16_t status = WriteServerWithProtocol(k - 1, &copy, set.DataProtocol[k]);
    if (status != TKC_OK) {
      // Going on would delete the subkey of a server that was not copied.
      WarnWriteFailed(status);
      return false;
    }
    DeleteServerSubkey(params, k + 1);
  }
  params.Close();
  return CommitOrWarn(tx);
}

bool RemoveAllServersFromStore(const ConfigSet& set) {
  RegTransaction tx(RegTransaction::Mode::kWrite);
  RegKey params = OpenParameters();
  for (uint32_t k = 0; k < ServerCount(set); ++k) DeleteServerSubkey(params, k + 1);
  params.Close();
  if (Tkc_RegWriteServersAndPorts(0, 0) != TKC_OK) {
    Plain("Failed to update the Servers/Ports registry!");
    return false;
  }
  return CommitOrWarn(tx);
}

}  // namespace tarvik::app
