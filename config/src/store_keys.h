// Names and keys of the driver's parameter store, shared by the store
// operations.
#pragma once
#include <cstdint>
#include <string>

#include "tarvik/registry.h"
#include "tarvikcfg.h"

namespace tkc {

// Opens the driver's Parameter key with full access; false when it is
// missing or the store refuses write access.
bool OpenParameterKey(tarvik::RegKey* key);

// The counts and options of the Parameter key: all 0 when "Servers" is
// missing or 0; servers 0 when above 4095 (ports and flags still read).
void ReadCounts(const tarvik::RegKey& params, uint32_t* servers, uint32_t* ports, uint32_t* flags);

// The value that counts the writes of servers and counts.
constexpr const char* kChangeCountValue = "ChangeCount";

class ValueWriter;
// Adds one to "ChangeCount" (missing: 0) through out, which must write to
// params; the caller's transaction makes it part of the change it counts.
void RaiseChangeCount(const tarvik::RegKey& params, ValueWriter* out);

// A server's data protocol, kept in its subkey beside the record's values.
constexpr const char* kDataProtocolValue = TKC_DATA_PROTOCOL_VALUE;

// "Server%d" for the 0-based server index (the subkey of index + 1).
std::string ServerSubkeyName(uint64_t index);

// A per-port value name such as "ComNo%d" for data port `port` (1-based).
std::string PortValueName(const char* format, uint32_t port);

// Writes values until the first failure and remembers it, so that a run
// of writes can be checked once. Nothing is written after a failure: a store
// that failed a write may have given up the transaction, and a later write
// would then land on its own.
class ValueWriter {
 public:
  explicit ValueWriter(tarvik::RegKey& key) : key_(key) {}
  void Dword(const std::string& name, uint32_t value);
  // Stores field[0..size) as a string cut to size - 1 characters, so that
  // a field that lacks its NUL still reads back into the same field.
  void Text(const std::string& name, const char* field, size_t size);
  tarvik::LSTATUS Status() const { return status_; }

 private:
  void Note(tarvik::LSTATUS status) {
    if (status_ == tarvik::kErrorSuccess) status_ = status;
  }
  tarvik::RegKey& key_;
  tarvik::LSTATUS status_ = tarvik::kErrorSuccess;
};

}  // namespace tkc
