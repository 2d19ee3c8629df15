#include "store_sync.h"

#include <cstring>
#include <string>

#include "server_store.h"
#include "tarvik/registry.h"
#include "tarvik/text.h"
#include "tarvik/ui_hooks.h"

namespace tarvik::app {

const char kReloadedStatus[] =
    "Another program changed the server list in the registry; the list was reloaded.";
const char kWhoseListQuestion[] =
    "Another program changed the server list in the registry after the utility loaded it,\n"
    "and the utility's list has changes of its own.\n\n"
    "Yes: keep the utility's list (the other program's changes are overwritten).\n"
    "No: load the list from the registry (the utility's changes are lost).";

namespace {

// A store that cannot be read has no counter; 0 then, like a store that
// never counted.
uint32_t StoreChangeCount() {
  uint32_t count = 0;
  if (Tkc_RegGetChangeCount(&count) != TKC_OK) count = 0;
  return count;
}

// "\n\nNot read: Server2, Server5. ..." for a failed load: the servers of
// the store that do not read one by one.
std::string UnreadServers() {
  uint32_t servers = 0;
  uint32_t ports = 0;
  std::string text;
  if (Tkc_RegReadServersAndPorts(&servers, &ports) != TKC_OK) {
    text = "\n\nThe server list could not be read.";
  } else {
    for (uint32_t i = 0; i < servers && i < static_cast<uint32_t>(kMaxServers); ++i) {
      ServerRecord record;
      if (Tkc_RegReadOneServer(i, &record, kServerRecordSize) == TKC_OK) continue;
      text += text.empty() ? "\n\nNot read: " : ", ";
      text += "Server" + std::to_string(i + 1);
      if (text.size() > 300) {
        text += ", ...";
        break;
      }
    }
    if (!text.empty()) text += ".";
  }
  return text + "\nThe utility will not write its server list back unless you change it.";
}

StoreResult Reload(ConfigSet& set, StoreBaseline& base, bool* restartPending) {
  LoadTracked(set, base, restartPending);
  return StoreResult::kReloaded;
}

}  // namespace

bool HasOwnChanges(const ConfigSet& set, const StoreBaseline& base) {
  const ConfigSet& was = base.config;
  if (set.Servers != was.Servers || set.Ports != was.Ports || set.Flags != was.Flags) return true;
  const uint32_t n = set.Servers < static_cast<uint32_t>(kMaxServers) ? set.Servers : kMaxServers;
  return std::memcmp(set.Records, was.Records, n * sizeof(ServerRecord)) != 0 ||
         std::memcmp(set.DataProtocol, was.DataProtocol, n) != 0;
}

uint16_t LoadTracked(ConfigSet& set, StoreBaseline& base, bool* restartPending) {
  uint16_t status = TKC_OK;
  uint32_t before = 0;
  // A writer that slips in between the counter and the read makes the
  // counter older than the set: the next store then reloads, which is
  // harmless. Try a few times for a read that no write crossed.
  for (int attempt = 0; attempt < 3; ++attempt) {
    before = StoreChangeCount();
    status = ReadConfigSet(set, restartPending);
    if (StoreChangeCount() == before) break;
  }
  std::memcpy(&base.config, &set, sizeof set);
  base.changeCount = before;
  base.loadFailed = status != TKC_OK;
  if (status != TKC_OK) WarnLoadFailed(status, UnreadServers().c_str());
  return status;
}

StoreResult StoreTracked(ConfigSet& set, StoreBaseline& base, bool* restartPending) {
  set.SizeStamp = kConfigSetSize;
  // Each pass ends in a write, a reload or a skip, unless another process
  // writes between our look at the counter and our write lock.
  for (int attempt = 0; attempt < 3; ++attempt) {
    const uint32_t seen = StoreChangeCount();
    const bool own = HasOwnChanges(set, base);
    if (seen != base.changeCount) {
      if (!own) return Reload(set, base, restartPending);
      // Asked outside any transaction: a box must not hold the store's
      // write lock while the user thinks.
      if (ShowMessageBox(kWhoseListQuestion, kPaneCaption, kMbYesNo | kMbIconQuestion) != kIdYes)
        return Reload(set, base, restartPending);
    } else if (base.loadFailed && !own) {
      return StoreResult::kSkipped;
    }

    RegTransaction tx(RegTransaction::Mode::kWrite);
    if (tx.Status() == kErrorSuccess && StoreChangeCount() != seen) continue;  // moved again
    if (StoreConfigSet(set) != TKC_OK) return StoreResult::kFailed;
    const uint32_t written = StoreChangeCount();
    if (tx.Status() == kErrorSuccess && tx.Commit() != kErrorSuccess) {
      WarnWriteFailed(TKC_ERR_PARAMETER_KEY);  // the store took nothing
      return StoreResult::kFailed;
    }
    std::memcpy(&base.config, &set, sizeof set);
    base.changeCount = written;
    base.loadFailed = false;
    return StoreResult::kWritten;
  }
  // Another process keeps writing: take its list rather than fight it.
  return Reload(set, base, restartPending);
}

StoreResult WriteServerTracked(ConfigSet& set, StoreBaseline& base, int index,
                               bool* restartPending) {
  if (index < 0 || static_cast<uint32_t>(index) >= set.Servers) return StoreResult::kSkipped;
  {
    RegTransaction tx(RegTransaction::Mode::kWrite);
    if (tx.Status() == kErrorSuccess && StoreChangeCount() == base.changeCount) {
      ServerRecord& record = set.Records[index];
      if (WriteServerWithProtocol(static_cast<uint32_t>(index), &record, set.DataProtocol[index]) !=
          TKC_OK)
        return StoreResult::kFailed;
      const uint32_t written = StoreChangeCount();
      if (tx.Commit() != kErrorSuccess) return StoreResult::kFailed;
      base.config.Records[index] = record;
      base.config.DataProtocol[index] = set.DataProtocol[index];
      base.changeCount = written;
      return StoreResult::kWritten;
    }
  }
  return StoreTracked(set, base, restartPending);
}

StoreResult SyncBeforeIndexedWrite(ConfigSet& set, StoreBaseline& base, bool* restartPending) {
  if (StoreChangeCount() == base.changeCount) return StoreResult::kWritten;
  return StoreTracked(set, base, restartPending);
}

int FindServerAgain(const ConfigSet& set, int index, const ServerRecord& before) {
  const auto sameDevice = [&before](const ServerRecord& r) {
    return r.TcpPortCmd == before.TcpPortCmd &&
           std::strncmp(r.ServerName, before.ServerName, sizeof r.ServerName) == 0;
  };
  const auto same = [&](const ServerRecord& r) {
    return sameDevice(r) && r.IPAddress == before.IPAddress;
  };
  // The periodic lookup rewrites the address of a server with a host name
  // (while a box is open, too): then the host name names it.
  const auto sameHost = [&](const ServerRecord& r) {
    return before.HostName[0] != '\0' && sameDevice(r) &&
           std::strncmp(r.HostName, before.HostName, sizeof r.HostName) == 0;
  };
  const uint32_t n = set.Servers < static_cast<uint32_t>(kMaxServers) ? set.Servers : kMaxServers;
  const auto find = [&](const auto& match) {
    if (index >= 0 && static_cast<uint32_t>(index) < n && match(set.Records[index])) return index;
    for (uint32_t k = 0; k < n; ++k)
      if (match(set.Records[k])) return static_cast<int>(k);
    return -1;
  };
  const int found = find(same);
  return found >= 0 ? found : find(sameHost);
}

}  // namespace tarvik::app
