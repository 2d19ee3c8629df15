// The utility's link to the configuration library: the set type and the
// calls the main window makes, in one place. Import and export go through
// replaceable functions so that tests can give the outcomes that need a
// real driver (codes 1 and 5) without one.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "tarvikcfg.h"

// The utility's copy of the configuration: the library's set and, beside
// its records, each server's data protocol, which the store keeps in the
// server's key outside the record: DataProtocol[i] belongs to Records[i]
// (TKC_DATA_PROTOCOL_RAW or _RFC2217). Loads and stores carry both; code
// that moves a record to another index moves its entry with it.
struct ConfigSet : TkcConfigSet {
  uint8_t DataProtocol[TKC_MAX_SERVERS];
};
using ServerRecord = TkcServerRecord;

constexpr uint32_t kConfigSetSize = 3800176;
constexpr uint32_t kServerRecordSize = 928;
constexpr uint32_t kFlagFormatMarker = 1u << 0;

// COM number (bits 0-11 of a port's COM word) of entry j of record r.
uint32_t PortComNumber(const ServerRecord& record, int entry);

// Marks in map (4095 bytes) every COM number the set uses; returns how many.
int BuildOwnComMap(const ConfigSet& set, uint8_t* map);

// Tkc_RegCheckCreateServiceKey.
int CfgCheckCreateServiceKey();
// Tkc_RegReadAllWithProtocols / Tkc_RegWriteAllWithProtocols with the size
// stamp set first.
int CfgReadAll(ConfigSet* set);
int CfgWriteAll(ConfigSet* set);
// Tkc_RegReadOtherSerial into map (4095 bytes).
int CfgReadOtherSerial(uint8_t* map, ConfigSet* set);

// File import: status, position (server or line) and the driver flag (1 when
// the store was replaced but the driver could not be stopped or started).
struct ImportResult {
  uint32_t status = 0;
  uint16_t where = 0;
  uint16_t driverFailed = 0;
};
using ImportFunction = std::function<ImportResult(const std::string& path)>;
using ExportFunction = std::function<uint32_t(const std::string& path)>;

ImportResult CfgImportConfigFile(const std::string& path);
uint32_t CfgExportConfigFile(const std::string& path);
// Replace the library calls (tests); an empty function restores them.
void SetImportFunction(ImportFunction fn);
void SetExportFunction(ExportFunction fn);
