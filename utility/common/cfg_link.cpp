#include "cfg_link.h"

#include <cstring>

#include "app_state.h"

namespace {
ImportFunction g_import;
ExportFunction g_export;
}  // namespace

uint32_t PortComNumber(const ServerRecord& record, int entry) {
  return record.PortMap[entry].Com & 0xFFFu;
}

int BuildOwnComMap(const ConfigSet& set, uint8_t* map) {
  std::memset(map, 0, kComMapSize);
  int marked = 0;
  const uint32_t servers = set.Servers < 4095 ? set.Servers : 4095;
  for (uint32_t s = 0; s < servers; ++s) {
    const ServerRecord& rec = set.Records[s];
    const uint32_t ports = rec.PortNo <= 68 ? rec.PortNo : 68;
    for (uint32_t j = 0; j <= ports + 1; ++j) {
      const uint32_t com = PortComNumber(rec, static_cast<int>(j));
      if (com != 0 && !map[com - 1]) {
        map[com - 1] = 1;
        ++marked;
      }
    }
  }
  return marked;
}

int CfgCheckCreateServiceKey() { return Tkc_RegCheckCreateServiceKey(); }

int CfgReadAll(ConfigSet* set) {
  set->SizeStamp = kConfigSetSize;
  return Tkc_RegReadAllWithProtocols(set, set->DataProtocol, sizeof set->DataProtocol);
}

int CfgWriteAll(ConfigSet* set) {
  set->SizeStamp = kConfigSetSize;
  return Tkc_RegWriteAllWithProtocols(set, set->DataProtocol, sizeof set->DataProtocol);
}

int CfgReadOtherSerial(uint8_t* map, ConfigSet* set) {
  set->SizeStamp = kConfigSetSize;
  return Tkc_RegReadOtherSerial(map, set, kConfigSetSize);
}

ImportResult CfgImportConfigFile(const std::string& path) {
  if (g_import) return g_import(path);
  ImportResult result;
  result.status = Tkc_ImportConfigFile(path.c_str(), &result.where, &result.driverFailed);
  return result;
}

uint32_t CfgExportConfigFile(const std::string& path) {
  if (g_export) return g_export(path);
  return Tkc_ExportConfigFile(path.c_str());
}

void SetImportFunction(ImportFunction fn) { g_import = std::move(fn); }
void SetExportFunction(ExportFunction fn) { g_export = std::move(fn); }
