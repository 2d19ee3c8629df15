#include "added_server.h"

#include <cstring>

#include "add_choices.h"
#include "tarvik/text.h"

namespace {

bool Begins(const char* name, const char* prefix) {
  return std::strncmp(name, prefix, std::strlen(prefix)) == 0;
}

// Entries the run leaves unmapped: the I/O port unless asked for, the
// command port always, and the first data port of models whose first port
// is not a serial line.
bool Skipped(int entry, const char* name, bool mapIoPort) {
  if (entry == 0) return !mapIoPort;
  if (entry == 1) return true;
  return entry == 2 && (Begins(name, "RF-030") || Begins(name, "NJ-674"));
}

bool ForcedFixed(int entry, const char* name) {
  return entry == 0 || (entry == 3 && Begins(name, "R-8615")) ||
         (entry == 2 && Begins(name, "FWR-4"));
}

}  // namespace

uint16_t BuildAddedServer(const char* name, uint32_t storeAddress, const AddServersChoices& c,
                          ServerRecord* record, TkcAddServerRequest* request) {
  std::memset(record, 0, sizeof *record);
  std::memset(request->Wanted, 0, sizeof request->Wanted);
  tarvik::CopyText(record->ServerName, name);
  const uint16_t status = Tkc_ParseServerInfo(record, kServerRecordSize);
  if (status != TKC_OK || record->PortNo == 0) return status;

  record->IPAddress = storeAddress;
  record->KeepAliveTime = static_cast<uint32_t>(c.keepAliveSeconds * 1000);
  record->ConnectionBroken = static_cast<uint32_t>(c.connectionBrokenSeconds * 1000);
  record->ConnectTimeout = static_cast<uint32_t>(c.connectTimeoutSeconds * 1000);
  record->TcpPortCmd = static_cast<uint32_t>(c.commandPort);
  record->TcpPort7000 = static_cast<uint32_t>(c.ioPort);

  const uint32_t options =
      (c.writeBuffer ? TKC_OPT_WRITE_BUFFER : 0u) |
      ((static_cast<uint32_t>(c.autoFlushMs / 10) << TKC_OPT_AUTOFLUSH_SHIFT) &
       TKC_OPT_AUTOFLUSH_MASK);
  const int last = static_cast<int>(record->PortNo) + 1;
  for (int entry = 0; entry <= last; ++entry) {
    if (Skipped(entry, record->ServerName, c.mapIoPort)) continue;
    request->Wanted[entry] = 1;
    uint32_t word = TkcComSetNumber(record->PortMap[entry].Com, 0);
    const bool fixed = c.fixedBaudrate || ForcedFixed(entry, record->ServerName);
    word = fixed ? (word | TKC_COM_FIXED_CONFIG) : (word & ~TKC_COM_FIXED_CONFIG);
    word = TkcComSetDisablePurge(word, c.disablePurge);
    record->PortMap[entry].Com = word;
    record->PortMap[entry].Options = options;
  }
  return TKC_OK;
}
