#include "text_config_reader.h"

#include <cctype>
#include <cstdio>
#include <vector>

#include "tarvik/text.h"
#include "text_model_token.h"

namespace cfgfile {
namespace {

constexpr size_t kMaxLine = 2047;

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t begin = 0;
  for (;;) {
    const size_t end = text.find(separator, begin);
    parts.push_back(text.substr(begin, end - begin));
    if (end == std::string::npos) return parts;
    begin = end + 1;
  }
}

// A whole field of decimal digits that fits 32 bits.
bool Number(const std::string& text, uint32_t* value) {
  if (text.empty() || text.size() > 10) return false;
  uint64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<uint64_t>(c - '0');
  }
  if (v > 0xFFFFFFFFu) return false;
  *value = static_cast<uint32_t>(v);
  return true;
}

// The line as it is interpreted: blanks dropped, upper case, comments cut.
std::string CleanLine(const char* p, const char* end) {
  std::string line;
  for (; p < end; ++p) {
    const char c = *p;
    if (c == '\r' || c == '\t' || c == ' ') continue;
    if (c == '\'' || (c == '/' && p + 1 < end && p[1] == '/')) break;
    line.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
  }
  return line;
}

class TextConfigReader {
 public:
  TextConfigReader(ConfigSet* set, ComCheck* coms) : set_(*set), coms_(*coms) {}

  uint16_t Read(const std::string& bytes, uint16_t* where) {
    const char* p = bytes.data();
    const char* const end = p + bytes.size();
    uint32_t lineNumber = 0;
    uint16_t status = kOk;
    for (;;) {
      const char* lf = static_cast<const char*>(std::memchr(p, '\n', end - p));
      if (!lf) break;  // a last line without LF is not read
      ++lineNumber;
      if (static_cast<size_t>(lf - p) > kMaxLine) {
        status = kCannotRead;
        break;
      }
      const std::string line = CleanLine(p, lf);
      p = lf + 1;
      if (line.empty() || line.compare(0, 3, "REM") == 0) continue;
      std::printf("\n>line:%u, str:[%s]", lineNumber, line.c_str());
      bool endOfFile = false;
      status = Interpret(line, &endOfFile);
      if (status || endOfFile) break;
    }
    std::fflush(stdout);
    if (status) {
      *where = static_cast<uint16_t>(lineNumber);
      return status;
    }
    return set_.Servers ? kOk : kNoServer;
  }

 private:
  enum class Keyword { kVersion, kIp, kOptions, kFixedConfig, kVar, kNone };

  // A keyword counts only with "=" and at least one more character.
  static Keyword KeywordOf(const std::string& line, std::string* value) {
    static const struct {
      const char* text;
      Keyword keyword;
    } kKeywords[] = {{"VERSION=", Keyword::kVersion},
                     {"IP=", Keyword::kIp},
                     {"OPTIONS=", Keyword::kOptions},
                     {"FIXEDCONFIG=", Keyword::kFixedConfig},
                     {"VAR=", Keyword::kVar}};
    for (const auto& k : kKeywords) {
      const size_t length = std::strlen(k.text);
      if (line.size() > length && line.compare(0, length, k.text) == 0) {
        *value = line.substr(length);
        return k.keyword;
      }
    }
    return Keyword::kNone;
  }

  uint16_t Interpret(const std::string& line, bool* endOfFile) {
    std::string value;
    const Keyword keyword = KeywordOf(line, &value);
    if (keyword == Keyword::kNone) {
      *endOfFile = true;
      return kOk;
    }
    if (!versionSeen_ && keyword != Keyword::kVersion) return kBadVersion;
    switch (keyword) {
      case Keyword::kVersion:
        versionSeen_ = true;
        return value.compare(0, 3, "1.1") == 0 ? kOk : kBadVersion;
      case Keyword::kIp: return ReadPrefix(value);
      case Keyword::kOptions: return ReadOptions(value);
      case Keyword::kFixedConfig: return ReadFixedConfig(value);
      case Keyword::kVar: return ReadServer(value);
      case Keyword::kNone: break;
    }
    return kOk;
  }

  // IP=a.b.c.VAR
  uint16_t ReadPrefix(const std::string& value) {
    const std::vector<std::string> parts = Split(value, '.');
    if (parts.size() != 4 || parts[3] != "VAR") return kSyntax;
    uint32_t prefix = 0;
    for (int i = 0; i < 3; ++i) {
      uint32_t octet;
      if (!Number(parts[i], &octet) || octet > 255) return kBadValue;
      prefix |= octet << (8 * i);
    }
    prefix_ = prefix;
    return kOk;
  }

  uint16_t ReadOptions(const std::string& value) {
    for (const std::string& pair : Split(value, ',')) {
      const size_t eq = pair.find('=');
      if (eq == std::string::npos) return kSyntax;
      const std::string key = pair.substr(0, eq);
      uint32_t* target = nullptr;
      if (key == "KEEPALIVE") {
        target = &options_.keepAlive;
      } else if (key == "CONNECTIONBROKEN") {
        target = &options_.broken;
      } else if (key == "CONNECTTIMEOUT") {
        target = &options_.connectTimeout;
      } else if (key == "TCPPORTCMD") {
        target = &options_.tcpPortCmd;
      } else if (key == "TCPPORT7000") {
        target = &options_.tcpPortIo;
      } else if (key != "RESET") {
        return kUnknownOption;
      }
      uint32_t number;
      if (!Number(pair.substr(eq + 1), &number)) return kBadValue;
      if (target) {
        *target = number;
      } else if (number == 1) {
        options_ = Options();
      }
    }
    return kOk;
  }

  uint16_t ReadFixedConfig(const std::string& value) {
    const std::vector<std::string> parts = Split(value, ',');
    if (parts.size() > kMaxDataPorts) return kBadValue;
    fixed_.assign(parts.size(), false);
    for (size_t i = 0; i < parts.size(); ++i) {
      uint32_t flag;
      if (!Number(parts[i], &flag) || flag > 1) return kBadValue;
      fixed_[i] = flag == 1;
    }
    return kOk;
  }

  uint16_t ReadAddress(const std::string& field, uint32_t* address) {
    if (field.compare(0, 3, "IP.") == 0) {
      uint32_t d;
      if (!Number(field.substr(3), &d) || d > 255) return kBadValue;
      *address = prefix_ | d << 24;
      return kOk;
    }
    const std::vector<std::string> parts = Split(field, '.');
    if (parts.size() < 4) return kSyntax;
    if (parts.size() > 4) return kBadValue;
    *address = 0;
    for (int i = 0; i < 4; ++i) {
      uint32_t octet;
      if (!Number(parts[i], &octet) || octet > 255) return kBadValue;
      *address |= octet << (8 * i);
    }
    return kOk;
  }

  // VAR=address,model,COM list
  uint16_t ReadServer(const std::string& value) {
    const std::vector<std::string> fields = Split(value, ',');
    if (fields.size() < 2) return kSyntax;
    uint32_t address = 0;
    uint16_t status = ReadAddress(fields[0], &address);
    if (status) return status;
    TextModel model;
    if (!ParseTextModel(fields[1], &model)) return kBadValue;
    if (set_.Servers >= kMaxServers) return kTooMany;

    Record& r = set_.Records[set_.Servers];
    InitRecord(&r);
    tarvik::CopyText(r.ServerName, model.serverName.c_str());
    r.IPAddress = address;
    r.KeepAliveTime = options_.keepAlive;
    r.ConnectionBroken = options_.broken;
    r.ConnectTimeout = options_.connectTimeout;
    r.TcpPortCmd = options_.tcpPortCmd;
    r.TcpPort7000 = options_.tcpPortIo;
    r.PortNo = static_cast<uint32_t>(model.ports);
    LayOutPorts(model, &r);
    for (size_t i = 0; i < fixed_.size() && i < r.PortNo; ++i) {
      if (fixed_[i]) ComWord(r, static_cast<int>(i) + 2) |= kFixedConfig;
    }
    fixed_.clear();

    // Data ports 1..PortNo, then the I/O port. A token of another form ends
    // the list: it and the ports after it stay unmapped.
    for (uint32_t t = 0; t <= r.PortNo && t + 2 < fields.size(); ++t) {
      const std::string& token = fields[t + 2];
      if (token.empty() || token == "X") continue;
      uint32_t com;
      if (token.compare(0, 3, "COM") != 0 || !Number(token.substr(3), &com) || com < 1 || com > kMaxCom)
        break;
      status = coms_.Use(com);
      if (status) return status;
      const int entry = t < r.PortNo ? static_cast<int>(t) + 2 : 0;
      ComWord(r, entry) |= com;
    }
    ++set_.Servers;
    set_.Ports += r.PortNo + 1;
    return kOk;
  }

  static void LayOutPorts(const TextModel& model, Record* r) {
    auto place = [r](int entry, uint32_t devicePort, uint32_t index, uint32_t slot) {
      ComWord(*r, entry) = devicePort << kDevicePortShift | index << kIndexShift | slot << kSlotShift;
    };
    int entry = 2;
    if (!model.slotted) {
      for (int k = 1; k <= model.ports; ++k) place(entry++, k, k, 0);
      return;
    }
    for (int k = 1; k <= model.slotPorts[0]; ++k) place(entry++, k, k, 0);
    for (int s = 1; s <= 4; ++s) {
      for (int idx = 1; idx <= model.slotPorts[s]; ++idx) place(entry++, 4 * (s - 1) + idx + 9, idx, s);
    }
  }

  struct Options {
    uint32_t keepAlive = kDefaultKeepAlive;
    uint32_t broken = kDefaultBroken;
    uint32_t connectTimeout = kDefaultConnectTimeout;
    uint32_t tcpPortCmd = kDefaultTcpPortCmd;
    uint32_t tcpPortIo = kDefaultTcpPortIo;
  };

  ConfigSet& set_;
  ComCheck& coms_;
  bool versionSeen_ = false;
  uint32_t prefix_ = 0;
  Options options_;
  std::vector<bool> fixed_;
};

}  // namespace

uint16_t ReadTextConfig(const std::string& bytes, ConfigSet* set, ComCheck* coms, uint16_t* where) {
  return TextConfigReader(set, coms).Read(bytes, where);
}

}  // namespace cfgfile
