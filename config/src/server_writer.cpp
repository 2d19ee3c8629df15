#include "server_writer.h"

#include <cstring>

#include "store_keys.h"

namespace tkc {
namespace {

bool NameBegins(const TkcServerRecord& record, const char* prefix) {
  return std::strncmp(record.ServerName, prefix, std::strlen(prefix)) == 0;
}

// Two models have one port whose serial settings cannot be changed.
void ForceFixedPorts(TkcServerRecord* record) {
  if (NameBegins(*record, "R-8615")) {
    record->PortMap[2 + 1].Com = TkcComSetFixedConfig(record->PortMap[2 + 1].Com, 1);
  }
  if (NameBegins(*record, "FWR-4")) {
    record->PortMap[1 + 1].Com = TkcComSetFixedConfig(record->PortMap[1 + 1].Com, 1);
  }
}

}  // namespace

uint16_t WriteServer(tarvik::RegKey& params, uint64_t index, TkcServerRecord* record) {
  if (record->PortNo > TKC_MAX_DATA_PORTS) return TKC_ERR_PORTS;
  tarvik::RegKey server;
  if (server.Create(params, ServerSubkeyName(index)) != tarvik::kErrorSuccess) {
    return TKC_ERR_SERVER_KEY;
  }
  ValueWriter out(server);
  out.Text("ServerName", record->ServerName, sizeof(record->ServerName));
  out.Text("AliasName", record->AliasName, sizeof(record->AliasName));
  out.Text("HostName", record->HostName, sizeof(record->HostName));
  out.Text("PW", record->PW, sizeof(record->PW));
  out.Dword("IPAddress", record->IPAddress);
  out.Dword("IPAddress2", record->IPAddress2);
  out.Dword("PortNo", record->PortNo);

  ForceFixedPorts(record);
  for (uint32_t i = 1; i <= record->PortNo; ++i) {
    out.Dword(PortValueName("ComNo%u", i), record->PortMap[i + 1].Com);
    out.Dword(PortValueName("ComOA%u", i), record->PortMap[i + 1].Options);
  }
  // The I/O port keeps only its COM number and purge bit, always fixed.
  TkcPortMap& io = record->PortMap[0];
  io.Com = TkcComSetFixedConfig(io.Com & TKC_COM_OLD_NUMBER_MASK, 1);
  out.Dword("ComNoIO", io.Com);

  out.Dword("KeepAliveTime", record->KeepAliveTime);
  out.Dword("ConnectionBroken", record->ConnectionBroken);
  out.Dword("ConnectTimeout", record->ConnectTimeout);
  out.Dword("TcpPortCmd", record->TcpPortCmd);
  out.Dword("TcpPort7000", record->TcpPort7000);
  return out.Status() == tarvik::kErrorSuccess ? TKC_OK : TKC_ERR_PARAMETER_KEY;
}

uint16_t WriteDataProtocol(const tarvik::RegKey& params, uint64_t index, uint32_t protocol) {
  tarvik::RegKey server;
  if (server.Open(params, ServerSubkeyName(index), tarvik::RegAccess::kFullAccess) !=
      tarvik::kErrorSuccess) {
    return TKC_ERR_PARAMETER_KEY;
  }
  return server.SetDword(kDataProtocolValue, protocol) == tarvik::kErrorSuccess
             ? TKC_OK
             : TKC_ERR_PARAMETER_KEY;
}

}  // namespace tkc
