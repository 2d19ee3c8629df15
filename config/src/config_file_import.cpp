#include <cstring>
#include <mutex>
#include <string>
#include <strings.h>

#include "com_check.h"
#include "config_file_io.h"
#include "config_file_lock.h"
#include "config_file_types.h"
#include "tarvik/registry.h"
#include "text_config_reader.h"
#include "whole_set.h"
#include "xml_config_reader.h"

using namespace cfgfile;

namespace cfgfile {

std::mutex& ConfigFileLock() {
  static std::mutex lock;
  return lock;
}

}  // namespace cfgfile

namespace {

// Kept out of the stack: a configuration set is 3.8 MB.
ConfigSet g_currentSet;
ConfigSet g_fileSet;
Protocols g_fileProtocols;
uint8_t g_occupied[kMaxCom];

bool IsXmlPath(const char* path) {
  const size_t length = std::strlen(path);
  return length >= 4 && strcasecmp(path + length - 4, ".xml") == 0;
}

// Deletes the old servers and writes the file's, with their data
// protocols, in one transaction: a failure or a crash half-way leaves the
// old store whole.
uint16_t ReplaceStore(ConfigSet* set, const Protocols& protocols) {
  tarvik::RegTransaction transaction;
  if (transaction.Status() != 0) return kKeyFailed;
  uint16_t status = Tkc_RegDeleteAll();
  if (status) return status;
  set->Flags |= kFormatMarker;
  status = tkc::WriteWholeSet(set, protocols);
  if (status) return status;
  return transaction.Commit() == 0 ? kOk : kKeyFailed;
}

}  // namespace

extern "C" TKC_API uint16_t Tkc_ImportConfigFile(const char* path, uint16_t* where,
                                                      uint16_t* driverFailed) {
  std::lock_guard<std::mutex> lock(ConfigFileLock());
  uint16_t whereUnused, failedUnused;
  if (!where) where = &whereUnused;
  if (!driverFailed) driverFailed = &failedUnused;
  *where = 0;
  *driverFailed = 0;
  Tkc_RegCheckCreateServiceKey();

  std::memset(&g_currentSet, 0, sizeof g_currentSet);
  g_currentSet.SizeStamp = kSetSize;
  uint16_t status = Tkc_RegReadAll(&g_currentSet);
  if (status) return status;
  status = Tkc_RegReadOtherSerial(g_occupied, &g_currentSet, kSetSize);
  if (status) return status;

  std::memset(&g_fileSet, 0, sizeof g_fileSet);
  std::memset(g_fileProtocols, 0, sizeof g_fileProtocols);
  g_fileSet.SizeStamp = kSetSize;
  ComCheck coms(g_occupied);
  if (!path || !*path) return kCannotOpen;
  const bool xml = IsXmlPath(path);
  std::string bytes;
  switch (ReadWholeFile(path, &bytes)) {
    case FileResult::kOk: break;
    case FileResult::kCannotOpen: return kCannotOpen;
    case FileResult::kCannotRead: return xml ? kCannotOpen : kCannotRead;
  }
  // The older text format knows no data protocol: its servers get raw TCP.
  status = xml ? ReadXmlConfig(bytes, &g_fileSet, &g_fileProtocols, &coms, where)
               : ReadTextConfig(bytes, &g_fileSet, &coms, where);
  if (status) return status;

  status = ReplaceStore(&g_fileSet, g_fileProtocols);
  if (status) return status;

  status = Tkc_NTDriverClose();
  if (status == 0) status = Tkc_NTDriverInit();
  if (status) *driverFailed = 1;
  return status;
}
