#include "reg_commands.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>

#include "reg_file.h"
#include "reg_format.h"
#include "reg_store_io.h"
#include "tarvik/registry.h"
#include "status_words.h"
#include "tarvik/state_root.h"

namespace tarvikreg {
namespace {

using tarvik::LSTATUS;

const char kUsage[] =
    "usage: tarvik-reg export [KEY] [FILE] | import FILE | query KEY [NAME] |\n"
    "       set KEY NAME dword|sz VALUE | delete KEY";

class Runner {
 public:
  Runner(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

  int Run(const std::vector<std::string>& args) {
    if (args.empty()) return Usage();
    const std::string& command = args[0];
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (command == "--help" || command == "-h") {
      out_ << kUsage << "\n\n"
           << "Keys are written below HKEY_LOCAL_MACHINE. import reads 8-bit .reg text and the\n"
           << "UTF-16 files the Windows registry editor saves; a bad file changes nothing.\n\n"
           << "state root: " << tarvik::StateRoot() << "\n"
           << "  $TARVIK_ROOT; when unset, " << tarvik::SystemStateRoot()
           << " if it exists (a system-wide\n"
           << "  installation), else ${XDG_STATE_HOME:-$HOME/.local/state}/tarvik\n\n"
           << "A failure names its cause as \"error N: words\":\n";
      const std::string table = tarvik::words::ErrorCodeTable();
      for (size_t start = 0; start < table.size();) {
        const size_t end = table.find('\n', start);
        const std::string row = table.substr(start, end - start);
        const size_t tab = row.find('\t');
        out_ << "  " << row.substr(0, tab) << "  " << row.substr(tab + 1) << "\n";
        start = end + 1;
      }
      return 0;
    }
    std::string error;
    if (!tarvik::EnsureStateRoot(&error)) return Fail("cannot prepare the state root: " + error);
    if (command == "export" && rest.size() <= 2) return Export(rest);
    if (command == "import" && rest.size() == 1) return Import(rest[0]);
    if (command == "query" && (rest.size() == 1 || rest.size() == 2)) return Query(rest);
    if (command == "set" && rest.size() == 4) return Set(rest);
    if (command == "delete" && rest.size() == 1) return Delete(rest[0]);
    return Usage();
  }

 private:
  int Fail(const std::string& message) {
    err_ << "tarvik-reg: " << message << "\n";
    return 1;
  }

  int Usage() {
    err_ << kUsage << "\n";
    return 1;
  }

  bool KeyPath(const std::string& text, std::string* path) {
    if (tarvik::RegNormalizePath(text, path)) return true;
    Fail("key \"" + text + "\" is not under HKEY_LOCAL_MACHINE");
    return false;
  }

  int Export(const std::vector<std::string>& args) {
    std::string path;
    if (!args.empty() && !KeyPath(args[0], &path)) return 1;
    std::string text;
    const LSTATUS st = ExportRegTree(path, &text);
    if (st != tarvik::kErrorSuccess) return Fail("cannot export \"" + path + "\": " + RegErrorText(st));
    if (args.size() < 2 || args[1] == "-") {
      out_ << text;
      return out_ ? 0 : Fail("cannot write to standard output");
    }
    std::ofstream file(args[1], std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    if (!file) return Fail("cannot write " + args[1] + ": " + std::strerror(errno));
    return 0;
  }

  int Import(const std::string& fileName) {
    std::ifstream file(fileName, std::ios::binary);
    if (!file) return Fail("cannot read " + fileName + ": " + std::strerror(errno));
    std::ostringstream text;
    text << file.rdbuf();
    std::vector<RegFileEntry> entries;
    RegFileError error;
    if (!ParseRegFile(text.str(), &entries, &error) || !ImportRegEntries(entries, &error)) {
      if (error.line > 0) {
        return Fail(fileName + ":" + std::to_string(error.line) + ": " + error.message +
                    " (nothing imported)");
      }
      return Fail(fileName + ": " + error.message + " (nothing imported)");
    }
    return 0;
  }

  int Query(const std::vector<std::string>& args) {
    std::string path;
    if (!KeyPath(args[0], &path)) return 1;
    tarvik::RegTransaction snapshot(tarvik::RegTransaction::Mode::kRead);
    tarvik::RegKey key;
    LSTATUS st = snapshot.Status();
    if (st == tarvik::kErrorSuccess) st = key.Open(path, tarvik::RegAccess::kRead);
    if (st != tarvik::kErrorSuccess) return Fail("cannot open \"" + path + "\": " + RegErrorText(st));
    if (args.size() == 2) {
      uint32_t type = 0, length = 0;
      st = key.QueryValue(args[1], &type, nullptr, &length);
      std::string data(length, '\0');
      if (st == tarvik::kErrorSuccess) st = key.QueryValue(args[1], &type, data.data(), &length);
      if (st != tarvik::kErrorSuccess) {
        return Fail("cannot read \"" + args[1] + "\" of \"" + path + "\": " + RegErrorText(st));
      }
      out_ << FormatRegData(type, data) << "\n";
      return 0;
    }
    out_ << FormatRegKeyLine(path) << "\n";
    for (uint32_t index = 0;; ++index) {
      uint32_t nameLength = 0, length = 0, type = 0;
      st = key.EnumValue(index, nullptr, &nameLength, &type, nullptr, &length);
      if (st == tarvik::kErrorNoMoreItems) return 0;
      std::string name(nameLength + 1, '\0'), data(length, '\0');
      uint32_t nameSize = nameLength + 1;
      if (st == tarvik::kErrorSuccess) {
        st = key.EnumValue(index, name.data(), &nameSize, &type, data.data(), &length);
      }
      if (st != tarvik::kErrorSuccess) return Fail("cannot list \"" + path + "\": " + RegErrorText(st));
      name.resize(nameSize);
      out_ << FormatRegValue(name, type, data);
    }
  }

  int Set(const std::vector<std::string>& args) {
    std::string path;
    if (!KeyPath(args[0], &path)) return 1;
    if (path.empty()) return Fail("values need a key below HKEY_LOCAL_MACHINE");
    const std::string& name = args[1];
    const std::string& kind = args[2];
    const std::string& value = args[3];
    uint32_t dword = 0;
    if (kind == "dword") {
      if (!ParseDword(value, &dword)) {
        return Fail("\"" + value + "\" is not a 32-bit number (decimal or 0x hex)");
      }
    } else if (kind != "sz") {
      return Fail("type must be dword or sz, not \"" + kind + "\"");
    }
    tarvik::RegKey key;
    LSTATUS st = key.Create(path);
    if (st == tarvik::kErrorSuccess) {
      st = kind == "dword" ? key.SetDword(name, dword) : key.SetString(name, value.c_str());
    }
    if (st != tarvik::kErrorSuccess) {
      return Fail("cannot set \"" + name + "\" of \"" + path + "\": " + RegErrorText(st));
    }
    return 0;
  }

  static bool ParseDword(const std::string& text, uint32_t* value) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    if (digits.empty() || digits.size() > 10) return false;
    uint64_t v = 0;
    for (char c : digits) {
      int d = -1;
      if (c >= '0' && c <= '9') d = c - '0';
      else if (hex && c >= 'a' && c <= 'f') d = c - 'a' + 10;
      else if (hex && c >= 'A' && c <= 'F') d = c - 'A' + 10;
      if (d < 0) return false;
      v = v * (hex ? 16 : 10) + static_cast<uint64_t>(d);
    }
    if (v > 0xFFFFFFFFu) return false;
    *value = static_cast<uint32_t>(v);
    return true;
  }

  int Delete(const std::string& text) {
    std::string path;
    if (!KeyPath(text, &path)) return 1;
    if (path.empty()) return Fail("will not delete the whole of HKEY_LOCAL_MACHINE");
    const LSTATUS st = DeleteRegTree(path);
    if (st != tarvik::kErrorSuccess) return Fail("cannot delete \"" + path + "\": " + RegErrorText(st));
    return 0;
  }

  std::ostream& out_;
  std::ostream& err_;
};

}  // namespace

int RunTarvikReg(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  return Runner(out, err).Run(args);
}

}  // namespace tarvikreg
