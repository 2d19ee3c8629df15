// Reads arbitrary text as a .reg file. Whatever is accepted must write back
// as .reg text that reads to the very same entries.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "reg_file.h"
#include "reg_format.h"

namespace {

std::string Quote(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  return out + "\"";
}

bool Same(const tarvikreg::RegFileEntry& a, const tarvikreg::RegFileEntry& b) {
  return a.kind == b.kind && a.key == b.key && a.name == b.name && a.type == b.type && a.data == b.data;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using tarvikreg::RegFileEntry;
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<RegFileEntry> entries;
  tarvikreg::RegFileError error;
  if (!tarvikreg::ParseRegFile(text, &entries, &error)) {
    if (error.line < 1) __builtin_trap();
    return 0;
  }
  std::string again = std::string(tarvikreg::kRegFileHeader) + "\n";
  for (const RegFileEntry& e : entries) {
    switch (e.kind) {
      case RegFileEntry::Kind::kKey:
        again += tarvikreg::FormatRegKeyLine(e.key) + "\n";
        break;
      case RegFileEntry::Kind::kDeleteKey:
        again += "[-HKEY_LOCAL_MACHINE\\" + e.key + "]\n";
        break;
      case RegFileEntry::Kind::kValue:
        again += tarvikreg::FormatRegValue(e.name, e.type, e.data);
        break;
      case RegFileEntry::Kind::kDeleteValue:
        again += (e.name.empty() ? std::string("@") : Quote(e.name)) + "=-\n";
        break;
    }
  }
  std::vector<RegFileEntry> reread;
  if (!tarvikreg::ParseRegFile(again, &reread, &error)) __builtin_trap();
  if (reread.size() != entries.size()) __builtin_trap();
  for (size_t i = 0; i < entries.size(); ++i) {
    if (!Same(entries[i], reread[i])) __builtin_trap();
  }
  return 0;
}
