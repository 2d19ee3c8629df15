#include "reg_file.h"

#include <cstddef>
#include <cstdio>

#include "tarvik/registry.h"
#include "tarvik/win_errors.h"

namespace tarvikreg {
namespace {

const char kHeader5[] = "Windows Registry Editor Version 5.00";
const char kHeader4[] = "REGEDIT4";

bool IsSpace(char c) { return c == ' ' || c == '\t'; }

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && IsSpace(s[b])) ++b;
  while (e > b && IsSpace(s[e - 1])) --e;
  return s.substr(b, e - b);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// 1 to 8 hex digits, the whole of s.
bool ParseHex32(const std::string& s, uint32_t* value) {
  if (s.empty() || s.size() > 8) return false;
  uint32_t v = 0;
  for (char c : s) {
    const int d = HexDigit(c);
    if (d < 0) return false;
    v = v << 4 | static_cast<uint32_t>(d);
  }
  *value = v;
  return true;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

// Reads a quoted text starting at s[*pos] == '"'; leaves *pos after the
// closing quote.
bool ParseQuoted(const std::string& s, size_t* pos, std::string* out, std::string* error) {
  out->clear();
  size_t i = *pos + 1;
  while (i < s.size()) {
    const char c = s[i];
    if (c == '"') {
      *pos = i + 1;
      return true;
    }
    if (c == '\\') {
      if (i + 1 >= s.size() || (s[i + 1] != '\\' && s[i + 1] != '"')) {
        *error = "a backslash in a quoted text must be followed by \\ or \"";
        return false;
      }
      out->push_back(s[i + 1]);
      i += 2;
      continue;
    }
    out->push_back(c);
    ++i;
  }
  *error = "quoted text has no closing quote";
  return false;
}

// Bytes "01,ab,..." of one line of a hex list. *more is set when the line
// ends with a backslash, so the list goes on in the next line.
bool ParseHexBytes(std::string s, std::string* data, bool* more, std::string* error) {
  s = Trim(s);
  *more = !s.empty() && s.back() == '\\';
  if (*more) s = Trim(s.substr(0, s.size() - 1));
  size_t i = 0;
  while (i < s.size()) {
    size_t comma = s.find(',', i);
    const bool last = comma == std::string::npos;
    if (last) comma = s.size();
    const std::string item = Trim(s.substr(i, comma - i));
    if (item.empty()) {
      // Only a comma at the very end of a line is allowed to stand alone.
      if (last) break;
      *error = "empty item in hex list";
      return false;
    }
    uint32_t byte = 0;
    if (item.size() > 2 || !ParseHex32(item, &byte)) {
      *error = "\"" + item + "\" is not a hex byte";
      return false;
    }
    data->push_back(static_cast<char>(byte));
    i = comma + 1;
  }
  return true;
}

// The registry editor of Windows saves UTF-16LE with a byte-order mark. The
// store keeps 8-bit texts, so each code unit must fit in a byte; the first
// one that does not is reported with its line.
bool NarrowUtf16(const std::string& wide, std::string* narrow, RegFileError* error) {
  narrow->clear();
  int line = 1;
  for (size_t i = 2; i + 1 < wide.size(); i += 2) {
    const unsigned unit = static_cast<unsigned char>(wide[i]) |
                          static_cast<unsigned>(static_cast<unsigned char>(wide[i + 1])) << 8;
    if (unit > 0xFF) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "%04X", unit);
      error->line = line;
      error->message = std::string("character U+") + hex + " does not fit in 8-bit text";
      return false;
    }
    if (unit == '\n') ++line;
    narrow->push_back(static_cast<char>(unit));
  }
  if (wide.size() % 2 != 0) {
    error->line = line;
    error->message = "the UTF-16 file ends in the middle of a character";
    return false;
  }
  return true;
}

class Parser {
 public:
  Parser(const std::string& text, std::vector<RegFileEntry>* entries, RegFileError* error,
         bool wideStrings)
      : lines_(SplitLines(text)), entries_(entries), error_(error), wideStrings_(wideStrings) {}

  bool Run() {
    entries_->clear();
    size_t i = 0;
    while (i < lines_.size() && Trim(lines_[i]).empty()) ++i;
    std::string header = i < lines_.size() ? Trim(lines_[i]) : std::string();
    if (header.compare(0, 3, "\xEF\xBB\xBF") == 0) header.erase(0, 3);
    if (header != kHeader5 && header != kHeader4) {
      return Fail(i < lines_.size() ? static_cast<int>(i) + 1 : 1,
                  std::string("file must begin with \"") + kHeader5 + "\" or \"" + kHeader4 + "\"");
    }
    for (++i; i < lines_.size(); ++i) {
      const std::string line = Trim(lines_[i]);
      const int number = static_cast<int>(i) + 1;
      if (line.empty() || line[0] == ';') continue;
      if (line[0] == '[') {
        if (!KeyLine(line, number)) return false;
      } else if (line[0] == '"' || line[0] == '@') {
        if (!ValueLine(line, number, &i)) return false;
      } else {
        return Fail(number, "expected a [key] or a \"name\"=value line");
      }
    }
    return true;
  }

 private:
  bool Fail(int line, const std::string& message) {
    error_->line = line;
    error_->message = message;
    return false;
  }

  bool KeyLine(const std::string& line, int number) {
    if (line.back() != ']') return Fail(number, "key line must end with ]");
    std::string inner = line.substr(1, line.size() - 2);
    const bool remove = !inner.empty() && inner[0] == '-';
    if (remove) inner.erase(0, 1);
    std::string path;
    if (!tarvik::RegNormalizePath(inner, &path)) {
      return Fail(number, "key \"" + inner + "\" is not under HKEY_LOCAL_MACHINE");
    }
    if (path.empty()) return Fail(number, "key must lie below HKEY_LOCAL_MACHINE");
    RegFileEntry entry;
    entry.kind = remove ? RegFileEntry::Kind::kDeleteKey : RegFileEntry::Kind::kKey;
    entry.line = number;
    entry.key = path;
    entries_->push_back(entry);
    currentKey_ = remove ? std::string() : path;
    return true;
  }

  bool ValueLine(const std::string& line, int number, size_t* index) {
    if (currentKey_.empty()) return Fail(number, "value outside a [key] section");
    RegFileEntry entry;
    entry.line = number;
    entry.key = currentKey_;
    size_t pos = 0;
    std::string message;
    if (line[0] == '@') {
      pos = 1;
    } else if (!ParseQuoted(line, &pos, &entry.name, &message)) {
      return Fail(number, message);
    }
    while (pos < line.size() && IsSpace(line[pos])) ++pos;
    if (pos >= line.size() || line[pos] != '=') return Fail(number, "expected = after the value name");
    const std::string value = Trim(line.substr(pos + 1));

    if (value == "-") {
      entry.kind = RegFileEntry::Kind::kDeleteValue;
      entries_->push_back(entry);
      return true;
    }
    entry.kind = RegFileEntry::Kind::kValue;
    if (!value.empty() && value[0] == '"') {
      size_t end = 0;
      if (!ParseQuoted(value, &end, &entry.data, &message)) return Fail(number, message);
      if (end != value.size()) return Fail(number, "text after the closing quote");
      entry.type = tarvik::kRegSz;
      entry.data.push_back('\0');
    } else if (value.compare(0, 6, "dword:") == 0) {
      uint32_t v = 0;
      if (!ParseHex32(value.substr(6), &v)) return Fail(number, "dword needs 1 to 8 hex digits");
      entry.type = tarvik::kRegDword;
      for (int b = 0; b < 4; ++b) entry.data.push_back(static_cast<char>(v >> (8 * b)));
    } else if (value.compare(0, 3, "hex") == 0) {
      size_t colon = value.find(':');
      if (colon == std::string::npos) return Fail(number, "hex value needs a colon");
      const std::string kind = value.substr(3, colon - 3);
      if (kind.empty()) {
        entry.type = tarvik::kRegBinary;
      } else if (kind.size() < 3 || kind.front() != '(' || kind.back() != ')' ||
                 !ParseHex32(kind.substr(1, kind.size() - 2), &entry.type)) {
        return Fail(number, "value type must be hex: or hex(N):");
      }
      bool more = false;
      if (!ParseHexBytes(value.substr(colon + 1), &entry.data, &more, &message)) {
        return Fail(number, message);
      }
      while (more) {
        ++*index;
        if (*index >= lines_.size() || Trim(lines_[*index]).empty()) {
          return Fail(static_cast<int>(*index), "hex list ends with a backslash but does not go on");
        }
        if (!ParseHexBytes(lines_[*index], &entry.data, &more, &message)) {
          return Fail(static_cast<int>(*index) + 1, message);
        }
      }
      if (wideStrings_ && IsStringType(entry.type) && !NarrowData(&entry.data)) {
        return Fail(number, "a text value holds a character that does not fit in 8-bit text");
      }
    } else {
      return Fail(number, "unknown value form (expected \"text\", dword:, hex: or hex(N):)");
    }
    entries_->push_back(entry);
    return true;
  }

  static bool IsStringType(uint32_t type) {
    return type == tarvik::kRegSz || type == tarvik::kRegExpandSz || type == tarvik::kRegMultiSz;
  }

  // In a UTF-16 file the hex lists of text types hold UTF-16LE bytes too.
  static bool NarrowData(std::string* data) {
    if (data->size() % 2 != 0) return false;
    std::string narrow;
    for (size_t i = 0; i < data->size(); i += 2) {
      if ((*data)[i + 1] != '\0') return false;
      narrow.push_back((*data)[i]);
    }
    *data = narrow;
    return true;
  }

  std::vector<std::string> lines_;
  std::vector<RegFileEntry>* entries_;
  RegFileError* error_;
  bool wideStrings_;
  std::string currentKey_;
};

}  // namespace

bool ParseRegFile(const std::string& text, std::vector<RegFileEntry>* entries,
                  RegFileError* error) {
  if (text.compare(0, 2, "\xFF\xFE") == 0) {
    std::string narrow;
    if (!NarrowUtf16(text, &narrow, error)) return false;
    return Parser(narrow, entries, error, true).Run();
  }
  return Parser(text, entries, error, false).Run();
}

}  // namespace tarvikreg
