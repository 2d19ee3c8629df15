#include "xml_config_writer.h"

#include "cmarkup.h"

namespace cfgfile {
namespace {

const char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n";

void AppendNumber(CMarkup* m, const char* name, uint32_t value) {
  m->AppendElement(name, std::to_string(value).c_str());
}

void WriteDriverOptions(CMarkup* m, uint32_t flags) {
  m->AppendElement("DriverOptions");
  m->EnterChild();
  if (flags & kFastOpen) m->AppendElement("FastOpen", "1");
  if (flags & kIgnoreWriteError) m->AppendElement("IgnoreWriteError", "1");
  const uint32_t closeDelay = (flags & kCloseDelayMask) >> kCloseDelayShift;
  if (closeDelay) AppendNumber(m, "CloseDelayTime", closeDelay * 10);
  m->LeaveToParent();
}

void WriteOptions(CMarkup* m, const Record& r, uint8_t protocol) {
  if (r.TcpPortCmd == kDefaultTcpPortCmd && r.TcpPort7000 == kDefaultTcpPortIo &&
      r.ConnectionBroken == kDefaultBroken && r.ConnectTimeout == kDefaultConnectTimeout &&
      r.KeepAliveTime == kDefaultKeepAlive && protocol == TKC_DATA_PROTOCOL_RAW)
    return;
  m->AppendElement("Options");
  m->EnterChild();
  if (r.TcpPortCmd != kDefaultTcpPortCmd) AppendNumber(m, "TcpPortCmd", r.TcpPortCmd);
  if (r.TcpPort7000 != kDefaultTcpPortIo) AppendNumber(m, "TcpPortIo", r.TcpPort7000);
  if (r.ConnectionBroken != kDefaultBroken) AppendNumber(m, "ConnectionBroken", r.ConnectionBroken / 1000);
  if (r.ConnectTimeout != kDefaultConnectTimeout) AppendNumber(m, "ConnectTimeout", r.ConnectTimeout / 1000);
  if (r.KeepAliveTime != kDefaultKeepAlive) AppendNumber(m, "KeepAliveTime", r.KeepAliveTime / 1000);
  // A reader that does not know the element skips it, and its server
  // stays on raw TCP.
  if (protocol != TKC_DATA_PROTOCOL_RAW) AppendNumber(m, "DataProtocol", protocol);
  m->LeaveToParent();
}

void WritePort(CMarkup* m, uint32_t com, uint32_t options) {
  m->AppendElement("Port");
  m->EnterChild();
  const uint32_t devicePort = DevicePort(com);
  m->AppendElement("PortName", devicePort ? ("Port" + std::to_string(devicePort)).c_str() : "PortIO");
  m->AppendElement("Mapping", ("COM" + std::to_string(ComNumber(com))).c_str());
  if (com & kFixedConfig) m->AppendElement("FixedConfig", "1");
  if (com & kDisablePurge) m->AppendElement("DisablePurge", "1");
  if (options & kWriteBuffer) m->AppendElement("WriteBuffer", "1");
  if (AutoFlush(options) != kDefaultAutoFlush) AppendNumber(m, "AutoFlush", AutoFlush(options) * 10);
  m->LeaveToParent();
}

void WriteServer(CMarkup* m, const Record& r, uint8_t protocol) {
  m->AppendElement("Server");
  m->EnterChild();
  m->AppendElement("IP", DottedAddress(r.IPAddress).c_str());
  if (r.IPAddress2) m->AppendElement("IP2", DottedAddress(r.IPAddress2).c_str());
  m->AppendElement("ServerName", FieldText(r.ServerName).c_str());
  if (r.AliasName[0]) m->AppendElement("AliasName", FieldText(r.AliasName).c_str());
  if (r.HostName[0]) m->AppendElement("HostName", FieldText(r.HostName).c_str());
  WriteOptions(m, r, protocol);
  // The I/O port first, then the data ports; the command port (entry 1) is
  // never written.
  const uint32_t dataPorts = r.PortNo < kMaxDataPorts ? r.PortNo : kMaxDataPorts;
  if (ComNumber(ComWord(r, 0))) WritePort(m, ComWord(r, 0), OptionsWord(r, 0));
  for (uint32_t entry = 2; entry < dataPorts + 2; ++entry) {
    if (ComNumber(ComWord(r, entry))) WritePort(m, ComWord(r, entry), OptionsWord(r, entry));
  }
  m->LeaveToParent();
}

}  // namespace

uint16_t BuildXmlConfig(const ConfigSet& set, const Protocols* protocols, std::string* text) {
  text->clear();
  CMarkup m;
  m.SetDocument(kDeclaration);
  m.AppendElement("VComConfiguration");
  m.EnterChild();
  WriteDriverOptions(&m, set.Flags);
  if (set.Servers == 0) return kNoServerToExport;
  const uint32_t servers = set.Servers < kMaxServers ? set.Servers : kMaxServers;
  for (uint32_t i = 0; i < servers; ++i) {
    WriteServer(&m, set.Records[i], protocols ? (*protocols)[i] : TKC_DATA_PROTOCOL_RAW);
  }
  *text = m.DocumentText();
  return kOk;
}

}  // namespace cfgfile
