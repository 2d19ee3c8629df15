#include "reg_store_io.h"

#include <strings.h>

#include <cstdint>

#include "reg_format.h"
#include "status_words.h"
#include "tarvik/registry.h"

namespace tarvikreg {
namespace {

using tarvik::LSTATUS;
using tarvik::RegAccess;
using tarvik::RegKey;

std::string Join(const std::string& a, const std::string& b) { return a.empty() ? b : a + "\\" + b; }

LSTATUS AppendValues(const RegKey& key, std::string* text) {
  for (uint32_t index = 0;; ++index) {
    uint32_t nameLength = 0, dataLength = 0, type = 0;
    LSTATUS st = key.EnumValue(index, nullptr, &nameLength, &type, nullptr, &dataLength);
    if (st == tarvik::kErrorNoMoreItems) return tarvik::kErrorSuccess;
    if (st != tarvik::kErrorSuccess) return st;
    std::string name(nameLength + 1, '\0');
    std::string data(dataLength, '\0');
    uint32_t nameSize = nameLength + 1;
    st = key.EnumValue(index, name.data(), &nameSize, &type, data.data(), &dataLength);
    if (st != tarvik::kErrorSuccess) return st;
    name.resize(nameSize);
    data.resize(dataLength);
    *text += FormatRegValue(name, type, data);
  }
}

LSTATUS AppendTree(const RegKey& key, const std::string& path, std::string* text) {
  if (!path.empty()) {
    *text += FormatRegKeyLine(path) + "\n";
    LSTATUS st = AppendValues(key, text);
    if (st != tarvik::kErrorSuccess) return st;
    *text += "\n";
  }
  for (uint32_t index = 0;; ++index) {
    char name[256];
    uint32_t nameSize = sizeof name;
    LSTATUS st = key.EnumKey(index, name, &nameSize);
    if (st == tarvik::kErrorNoMoreItems) return tarvik::kErrorSuccess;
    if (st != tarvik::kErrorSuccess) return st;
    RegKey child;
    st = child.Open(key, name, RegAccess::kRead);
    if (st == tarvik::kErrorSuccess) st = AppendTree(child, Join(path, name), text);
    if (st != tarvik::kErrorSuccess) return st;
  }
}

// The path as the store spells it, whatever case the caller typed.
LSTATUS StoredPath(const std::string& path, std::string* stored) {
  stored->clear();
  RegKey key;
  LSTATUS st = key.Open("", RegAccess::kRead);
  size_t start = 0;
  while (st == tarvik::kErrorSuccess && start < path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    const std::string part = path.substr(start, end - start);
    start = end + 1;
    if (part.empty()) continue;
    char name[256];
    for (uint32_t index = 0;; ++index) {
      uint32_t nameSize = sizeof name;
      st = key.EnumKey(index, name, &nameSize);
      if (st != tarvik::kErrorSuccess) break;
      if (strcasecmp(name, part.c_str()) == 0) break;
    }
    if (st == tarvik::kErrorNoMoreItems) st = tarvik::kErrorFileNotFound;
    if (st == tarvik::kErrorSuccess) {
      *stored = Join(*stored, name);
      st = key.Open(key, name, RegAccess::kRead);
    }
  }
  return st;
}

bool Fail(int line, const std::string& what, LSTATUS status, RegFileError* error) {
  error->line = line;
  error->message = what + ": " + RegErrorText(status);
  return false;
}

}  // namespace

std::string RegErrorText(LSTATUS status) { return tarvik::words::ErrorCode(status); }

bool ImportRegEntries(const std::vector<RegFileEntry>& entries, RegFileError* error) {
  tarvik::RegTransaction transaction;
  if (transaction.Status() != tarvik::kErrorSuccess) {
    return Fail(0, "cannot begin a transaction", transaction.Status(), error);
  }
  RegKey current;
  for (const RegFileEntry& e : entries) {
    LSTATUS st = tarvik::kErrorSuccess;
    switch (e.kind) {
      case RegFileEntry::Kind::kKey:
        st = current.Create(e.key);
        if (st != tarvik::kErrorSuccess) return Fail(e.line, "cannot create key", st, error);
        break;
      case RegFileEntry::Kind::kDeleteKey:
        current.Close();
        st = DeleteRegTree(e.key);
        // Deleting what is not there is no fault, as in the registry editor.
        if (st != tarvik::kErrorSuccess && st != tarvik::kErrorFileNotFound) {
          return Fail(e.line, "cannot delete key", st, error);
        }
        break;
      case RegFileEntry::Kind::kValue:
        st = current.SetValue(e.name, e.type, e.data.data(), static_cast<uint32_t>(e.data.size()));
        if (st != tarvik::kErrorSuccess) return Fail(e.line, "cannot set value", st, error);
        break;
      case RegFileEntry::Kind::kDeleteValue:
        st = current.DeleteValue(e.name);
        if (st != tarvik::kErrorSuccess && st != tarvik::kErrorFileNotFound) {
          return Fail(e.line, "cannot delete value", st, error);
        }
        break;
    }
  }
  const LSTATUS st = transaction.Commit();
  if (st != tarvik::kErrorSuccess) return Fail(0, "cannot commit", st, error);
  return true;
}

LSTATUS ExportRegTree(const std::string& path, std::string* text) {
  tarvik::RegTransaction snapshot(tarvik::RegTransaction::Mode::kRead);
  if (snapshot.Status() != tarvik::kErrorSuccess) return snapshot.Status();
  std::string stored;
  LSTATUS st = StoredPath(path, &stored);
  RegKey key;
  if (st == tarvik::kErrorSuccess) st = key.Open(stored, RegAccess::kRead);
  if (st != tarvik::kErrorSuccess) return st;
  *text = std::string(kRegFileHeader) + "\n\n";
  return AppendTree(key, stored, text);
}

LSTATUS DeleteRegTree(const std::string& path) {
  const size_t cut = path.find_last_of('\\');
  const std::string parentPath = cut == std::string::npos ? std::string() : path.substr(0, cut);
  const std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
  if (name.empty()) return tarvik::kErrorInvalidParameter;
  RegKey parent;
  LSTATUS st = parent.Open(parentPath, RegAccess::kFullAccess);
  if (st != tarvik::kErrorSuccess) return st;
  return parent.DeleteTree(name);
}

}  // namespace tarvikreg
