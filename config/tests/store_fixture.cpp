#include "store_fixture.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "tarvik/registry.h"

#ifndef TKC_FIXTURE_DIR
#error "TKC_FIXTURE_DIR must name the fixture folder"
#endif

namespace tkctest {

TempRoot::TempRoot() {
  const char* tmp = std::getenv("TMPDIR");
  std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/tarvikcfg-test-XXXXXX";
  const char* made = ::mkdtemp(templ.data());
  path_ = made ? made : "";
  ::setenv("TARVIK_ROOT", path_.c_str(), 1);
  tarvik::RegCloseStore();
}

TempRoot::~TempRoot() {
  tarvik::RegCloseStore();
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
  ::unsetenv("TARVIK_ROOT");
}

namespace {

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
  return s.substr(b, e - b);
}

// Reads a quoted text starting at s[*pos] == '"'; handles \\ and \".
bool ReadQuoted(const std::string& s, size_t* pos, std::string* out) {
  if (*pos >= s.size() || s[*pos] != '"') return false;
  out->clear();
  for (size_t i = *pos + 1; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      out->push_back(s[++i]);
    } else if (s[i] == '"') {
      *pos = i + 1;
      return true;
    } else {
      out->push_back(s[i]);
    }
  }
  return false;
}

bool ParseHexBytes(const std::string& text, std::vector<uint8_t>* bytes) {
  std::stringstream in(text);
  std::string item;
  while (std::getline(in, item, ',')) {
    item = Trim(item);
    if (item.empty()) continue;
    char* end = nullptr;
    const unsigned long v = std::strtoul(item.c_str(), &end, 16);
    if (*end || v > 0xFF) return false;
    bytes->push_back(uint8_t(v));
  }
  return true;
}

bool KeyPath(const std::string& bracketed, std::string* path) {
  return tarvik::RegNormalizePath(bracketed, path);
}

bool ApplyValue(tarvik::RegKey& key, const std::string& line, std::string* why) {
  size_t pos = 0;
  std::string name;
  if (line[0] == '@') {
    pos = 1;
  } else if (!ReadQuoted(line, &pos, &name)) {
    *why = "bad value name";
    return false;
  }
  if (pos >= line.size() || line[pos] != '=') {
    *why = "missing '='";
    return false;
  }
  const std::string rest = Trim(line.substr(pos + 1));
  if (rest == "-") {
    key.DeleteValue(name);
    return true;
  }
  if (!rest.empty() && rest[0] == '"') {
    size_t p = 0;
    std::string text;
    if (!ReadQuoted(rest, &p, &text)) {
      *why = "unterminated text";
      return false;
    }
    return key.SetString(name, text.c_str()) == tarvik::kErrorSuccess;
  }
  if (rest.rfind("dword:", 0) == 0) {
    char* end = nullptr;
    const unsigned long v = std::strtoul(rest.c_str() + 6, &end, 16);
    if (*end || rest.size() != 14) {
      *why = "bad dword";
      return false;
    }
    return key.SetDword(name, uint32_t(v)) == tarvik::kErrorSuccess;
  }
  uint32_t type = tarvik::kRegBinary;
  std::string hex;
  if (rest.rfind("hex:", 0) == 0) {
    hex = rest.substr(4);
  } else if (rest.rfind("hex(", 0) == 0 && rest.find("):") != std::string::npos) {
    type = uint32_t(std::strtoul(rest.c_str() + 4, nullptr, 16));
    hex = rest.substr(rest.find("):") + 2);
  } else {
    *why = "unknown value form";
    return false;
  }
  std::vector<uint8_t> bytes;
  if (!ParseHexBytes(hex, &bytes)) {
    *why = "bad hex bytes";
    return false;
  }
  return key.SetValue(name, type, bytes.data(), uint32_t(bytes.size())) == tarvik::kErrorSuccess;
}

}  // namespace

bool LoadRegText(const std::string& text, std::string* error) {
  tarvik::RegTransaction tx(tarvik::RegTransaction::Mode::kWrite);
  if (tx.Status() != tarvik::kErrorSuccess) {
    *error = "store refused a write transaction";
    return false;
  }
  std::stringstream in(text);
  std::string raw;
  tarvik::RegKey key;
  int lineNo = 0;
  while (std::getline(in, raw)) {
    ++lineNo;
    std::string line = Trim(raw);
    while (!line.empty() && line.back() == '\\' && line.find('=') != std::string::npos &&
           line.find("hex") != std::string::npos) {
      std::string next;
      if (!std::getline(in, next)) break;
      ++lineNo;
      line.pop_back();
      line += Trim(next);
    }
    if (line.empty() || line[0] == ';' || line.rfind("Windows Registry Editor", 0) == 0) continue;
    std::string why;
    if (line[0] == '[') {
      if (line.back() != ']') {
        why = "unterminated key";
      } else {
        const bool remove = line[1] == '-';
        std::string path;
        if (!KeyPath(line.substr(remove ? 2 : 1, line.size() - (remove ? 3 : 2)), &path)) {
          why = "not below HKEY_LOCAL_MACHINE";
        } else if (remove) {
          key.Close();
          tarvik::RegKey root;
          const size_t cut = path.rfind('\\');
          if (cut != std::string::npos &&
              root.Open(path.substr(0, cut), tarvik::RegAccess::kFullAccess) == 0) {
            root.DeleteTree(path.substr(cut + 1));
          }
        } else if (key.Create(path) != tarvik::kErrorSuccess) {
          why = "cannot create key";
        }
      }
    } else if (!key.IsOpen()) {
      why = "value outside a key";
    } else if (!ApplyValue(key, line, &why) && why.empty()) {
      why = "store refused the value";
    }
    if (!why.empty()) {
      *error = "line " + std::to_string(lineNo) + ": " + why;
      return false;
    }
  }
  if (tx.Commit() != tarvik::kErrorSuccess) {
    *error = "commit failed";
    return false;
  }
  return true;
}

bool LoadRegFixture(const std::string& name, std::string* error) {
  std::ifstream file(std::string(TKC_FIXTURE_DIR) + "/" + name);
  if (!file) {
    *error = "cannot open fixture " + name;
    return false;
  }
  std::stringstream text;
  text << file.rdbuf();
  if (!LoadRegText(text.str(), error)) {
    *error = name + ": " + *error;
    return false;
  }
  return true;
}

void StoreTest::SetUp() {
  ASSERT_FALSE(root_.Path().empty());
  LoadText("[HKEY_LOCAL_MACHINE\\" TKC_PARAMETER_KEY "]\n");
}

void StoreTest::Load(const std::string& fixture) {
  std::string error;
  ASSERT_TRUE(LoadRegFixture(fixture, &error)) << error;
}

void StoreTest::LoadText(const std::string& text) {
  std::string error;
  ASSERT_TRUE(LoadRegText(text, &error)) << error;
}

SetBox::SetBox() : set(new TkcConfigSet()) { set->SizeStamp = TKC_SET_SIZE; }
SetBox::~SetBox() { delete set; }

}  // namespace tkctest
