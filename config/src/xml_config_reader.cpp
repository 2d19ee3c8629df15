#include "xml_config_reader.h"

#include <cstring>

#include "cmarkup.h"
#include "tarvik/text.h"
#include "tarvik/ui_hooks.h"

namespace cfgfile {
namespace {

// Leading decimal digits, as the file's numbers are read: anything after
// them is ignored, no digits is 0, and the value wraps at 32 bits.
uint32_t Decimal(const char* p) {
  while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n') ++p;
  uint32_t value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) value = value * 10 + static_cast<uint32_t>(*p - '0');
  return value;
}

// A dotted address; anything that is not four octets 0..255 gives 0, which
// the reader then refuses as "no usable IP".
uint32_t Address(const std::string& text) {
  uint32_t address = 0;
  const char* p = text.c_str();
  for (int octet = 0; octet < 4; ++octet) {
    if (*p < '0' || *p > '9') return 0;
    uint32_t value = 0;
    int digits = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
      if (++digits > 3) return 0;
      value = value * 10 + static_cast<uint32_t>(*p - '0');
    }
    if (value > 255) return 0;
    address |= value << (8 * octet);
    if (octet < 3 && *p++ != '.') return 0;
  }
  return *p ? 0 : address;
}

class XmlConfigReader {
 public:
  XmlConfigReader(CMarkup* m, ConfigSet* set, Protocols* protocols, ComCheck* coms,
                  uint16_t* where)
      : m_(*m), set_(*set), protocols_(protocols), coms_(*coms), where_(*where) {}

  uint16_t ReadRoot() {
    // Depth 1: the children of the root, whatever the root is called.
    while (m_.FindChild()) {
      m_.EnterChild();
      const std::string name = m_.TagName();
      uint16_t status = kOk;
      if (name == "Server") {
        status = ReadServer();
      } else if (name == "DriverOptions") {
        ReadDriverOptions();
      }
      m_.LeaveToParent();
      if (status) return status;
    }
    return kOk;
  }

 private:
  void ReadDriverOptions() {
    while (m_.FindChild()) {
      m_.EnterChild();
      const std::string name = m_.TagName();
      const std::string text = m_.ElementText();
      if (name == "FastOpen") {
        SetBit(&set_.Flags, kFastOpen, text == "1");
      } else if (name == "IgnoreWriteError") {
        SetBit(&set_.Flags, kIgnoreWriteError, text == "1");
      } else if (name == "CloseDelayTime") {
        set_.Flags = (set_.Flags & ~kCloseDelayMask) |
                     (((Decimal(text.c_str()) / 10) << kCloseDelayShift) & kCloseDelayMask);
      }
      m_.LeaveToParent();
    }
  }

  uint16_t ReadServer() {
    if (set_.Servers >= kMaxServers) {
      ++where_;
      return kTooMany;
    }
    Record& r = set_.Records[set_.Servers];
    InitRecord(&r);
    protocol_ = TKC_DATA_PROTOCOL_RAW;
    ++where_;
    while (m_.FindChild()) {
      m_.EnterChild();
      const uint16_t status = ReadServerChild(&r);
      m_.LeaveToParent();
      if (status) return status;
    }
    if (r.IPAddress == 0 || r.IPAddress == 0xFFFFFFFFu) return kNoUsableIp;
    if (r.PortNo == 0) return kTooMany;
    if (protocols_) (*protocols_)[set_.Servers] = protocol_;
    ++set_.Servers;
    set_.Ports += r.PortNo + 1;
    return kOk;
  }

  uint16_t ReadServerChild(Record* r) {
    const std::string name = m_.TagName();
    if (name == "IP") {
      r->IPAddress = Address(m_.ElementText());
    } else if (name == "IP2") {
      r->IPAddress2 = Address(m_.ElementText());
    } else if (name == "ServerName") {
      // Names longer than the field are cut to fit; the device-name rules
      // then decide whether the server is usable.
      tarvik::CopyText(r->ServerName, m_.ElementText().c_str());
      const uint16_t status = Tkc_ParseServerInfo(r, kRecordSize);
      if (status) {
        char message[64];
        tarvik::FormatText(message, sizeof message, "ParseServerInfo() Error, code:%d", status);
        tarvik::ShowMessageBox(message, "Virtual COM DLL", tarvik::kMbOk);
        if (r->PortNo == 0) return kTooMany;
      }
    } else if (name == "AliasName") {
      tarvik::CopyText(r->AliasName, m_.ElementText().c_str());
    } else if (name == "HostName") {
      tarvik::CopyText(r->HostName, m_.ElementText().c_str());
    } else if (name == "Options") {
      ReadOptions(r);
    } else if (name == "Port") {
      return ReadPort(r);
    }
    return kOk;
  }

  void ReadOptions(Record* r) {
    while (m_.FindChild()) {
      m_.EnterChild();
      const std::string name = m_.TagName();
      const uint32_t value = Decimal(m_.ElementText().c_str());
      if (name == "TcpPortCmd") {
        r->TcpPortCmd = value;
      } else if (name == "TcpPortIo") {
        r->TcpPort7000 = value;
      } else if (name == "ConnectionBroken") {
        r->ConnectionBroken = value * 1000;
      } else if (name == "ConnectTimeout") {
        r->ConnectTimeout = value * 1000;
      } else if (name == "KeepAliveTime") {
        r->KeepAliveTime = value * 1000;
      } else if (name == "DataProtocol") {
        // A protocol this reader does not know leaves the server on raw TCP.
        protocol_ = value == TKC_DATA_PROTOCOL_RFC2217 ? TKC_DATA_PROTOCOL_RFC2217
                                                       : TKC_DATA_PROTOCOL_RAW;
      }
      m_.LeaveToParent();
    }
  }

  uint16_t ReadPort(Record* r) {
    uint32_t com = 0;
    uint32_t options = 0;
    bool badName = false;
    while (m_.FindChild()) {
      m_.EnterChild();
      const std::string name = m_.TagName();
      const std::string text = m_.ElementText();
      if (name == "PortName") {
        // A name too short to hold "Port" and a number names no port.
        badName = text != "PortIO" && text.size() < 4;
        const uint32_t devicePort = text == "PortIO" || badName ? 0 : Decimal(text.c_str() + 4) % 128;
        com = (com & ~kDevicePortMask) | (devicePort << kDevicePortShift);
      } else if (name == "Mapping") {
        const uint32_t number = text.size() < 3 ? 0 : Decimal(text.c_str() + 3) % 4096;
        com = (com & ~kComNumberMask) | number;
      } else if (name == "FixedConfig") {
        SetBit(&com, kFixedConfig, text[0] == '1');
      } else if (name == "DisablePurge") {
        SetBit(&com, kDisablePurge, text[0] == '1');
      } else if (name == "WriteBuffer") {
        SetBit(&options, kWriteBuffer, text[0] == '1');
      } else if (name == "AutoFlush") {
        options = (options & ~kAutoFlushMask) |
                  (((Decimal(text.c_str()) / 10) << kAutoFlushShift) & kAutoFlushMask);
      }
      m_.LeaveToParent();
    }
    if (badName) return kBadPortName;

    const uint32_t devicePort = DevicePort(com);
    int entry = -1;
    if (devicePort == 0) {
      entry = 0;
    } else if (devicePort <= kMaxDataPorts) {
      const uint32_t dataPorts = r->PortNo < kMaxDataPorts ? r->PortNo : kMaxDataPorts;
      for (uint32_t e = 2; e < dataPorts + 2 && entry < 0; ++e) {
        if (DevicePort(ComWord(*r, e)) == devicePort) entry = static_cast<int>(e);
      }
    }
    if (entry < 0) return kBadPortName;
    if (ComNumber(com)) {
      const uint16_t status = coms_.Use(ComNumber(com));
      if (status) return status;
    }
    OptionsWord(*r, entry) = options;
    ComWord(*r, entry) = (ComWord(*r, entry) & ~kLowComBits) | (com & kLowComBits);
    return kOk;
  }

  static void SetBit(uint32_t* word, uint32_t bit, bool on) { *word = on ? *word | bit : *word & ~bit; }

  CMarkup& m_;
  ConfigSet& set_;
  Protocols* protocols_;
  uint8_t protocol_ = TKC_DATA_PROTOCOL_RAW;  // of the Server being read
  ComCheck& coms_;
  uint16_t& where_;
};

}  // namespace

uint16_t ReadXmlConfig(const std::string& bytes, ConfigSet* set, Protocols* protocols,
                       ComCheck* coms, uint16_t* where) {
  // A 16-bit encoding puts a NUL into nearly every other byte.
  const size_t textLength = strnlen(bytes.data(), bytes.size());
  if (static_cast<long long>(textLength) < static_cast<long long>(bytes.size()) / 2 - 20) return kNulBytes;
  CMarkup m;
  if (!m.SetDocument(std::string(bytes.data(), textLength))) return kNotWellFormed;
  // The first FindChild makes the root the main position; its name is not
  // checked.
  const uint16_t status = XmlConfigReader(&m, set, protocols, coms, where).ReadRoot();
  if (status) return status;
  return set->Servers ? kOk : kNoServer;
}

}  // namespace cfgfile
