#include "reg_format.h"

#include "tarvik/text.h"
#include "tarvik/win_errors.h"

namespace tarvikreg {
namespace {

// Hex lists are wrapped like the registry editor does, near 80 columns.
constexpr size_t kWrapColumn = 76;

std::string Quote(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  out.push_back('"');
  return out;
}

// A quoted text holds any byte but NUL and the line breaks, and it always
// gains one final NUL when read back.
bool FitsQuotedText(const std::string& data) {
  if (data.empty() || data.back() != '\0') return false;
  for (size_t i = 0; i + 1 < data.size(); ++i) {
    if (data[i] == '\0' || data[i] == '\n' || data[i] == '\r') return false;
  }
  return true;
}

std::string HexList(std::string line, const std::string& data, bool wrap = true) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < data.size(); ++i) {
    const unsigned char b = static_cast<unsigned char>(data[i]);
    line.push_back(kDigits[b >> 4]);
    line.push_back(kDigits[b & 0x0F]);
    if (i + 1 < data.size()) {
      line.push_back(',');
      if (wrap && line.size() >= kWrapColumn) {
        out += line + "\\\n";
        line = "  ";
      }
    }
  }
  return out + line + "\n";
}

std::string HexType(uint32_t type) {
  char buf[20];
  tarvik::FormatText(buf, sizeof buf, "hex(%x):", type);
  return buf;
}

}  // namespace

const char kRegFileHeader[] = "Windows Registry Editor Version 5.00";

std::string FormatRegKeyLine(const std::string& path) {
  return path.empty() ? "[HKEY_LOCAL_MACHINE]" : "[HKEY_LOCAL_MACHINE\\" + path + "]";
}

std::string FormatRegValue(const std::string& name, uint32_t type, const std::string& data) {
  const std::string lead = (name.empty() ? std::string("@") : Quote(name)) + "=";
  if (type == tarvik::kRegSz && FitsQuotedText(data)) {
    return lead + Quote(data.substr(0, data.size() - 1)) + "\n";
  }
  if (type == tarvik::kRegDword && data.size() == 4) {
    uint32_t v = 0;
    for (int b = 3; b >= 0; --b) v = v << 8 | static_cast<unsigned char>(data[b]);
    char buf[20];
    tarvik::FormatText(buf, sizeof buf, "dword:%08x", v);
    return lead + buf + "\n";
  }
  return HexList(lead + (type == tarvik::kRegBinary ? std::string("hex:") : HexType(type)), data);
}

std::string FormatRegData(uint32_t type, const std::string& data) {
  if ((type == tarvik::kRegSz || type == tarvik::kRegExpandSz) && FitsQuotedText(data)) {
    return data.substr(0, data.size() - 1);
  }
  if (type == tarvik::kRegDword && data.size() == 4) {
    uint32_t v = 0;
    for (int b = 3; b >= 0; --b) v = v << 8 | static_cast<unsigned char>(data[b]);
    return std::to_string(v);
  }
  std::string line = HexList("", data, false);
  line.pop_back();
  return line;
}

}  // namespace tarvikreg
