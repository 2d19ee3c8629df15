// Tkc_ParseServerInfo on any name of up to 50 bytes (NUL or not) in a record
// of any contents: it must not crash, must write nothing outside the record,
// must change only the layout fields and bits, and must not look past the
// name field.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "tarvikcfg.h"

namespace {

constexpr size_t kGuard = 64;
constexpr uint8_t kGuardByte = 0xA5;

struct Guarded {
  uint8_t before[kGuard];
  TkcServerRecord record;
  uint8_t after[kGuard];
};

void Check(bool ok) {
  if (!ok) std::abort();
}

void Prepare(Guarded* g, const uint8_t* data, size_t size, uint8_t fill) {
  std::memset(g, kGuardByte, sizeof(*g));
  std::memset(&g->record, fill, sizeof(g->record));
  const size_t nameBytes = size < TKC_NAME_SIZE ? size : TKC_NAME_SIZE;
  std::memcpy(g->record.ServerName, data, nameBytes);
  if (nameBytes < TKC_NAME_SIZE) g->record.ServerName[nameBytes] = '\0';
  // The rest of the input fills the port words the layout must respect.
  for (size_t i = TKC_NAME_SIZE; i < size; ++i) {
    reinterpret_cast<uint8_t*>(g->record.PortMap)[(i - TKC_NAME_SIZE) % sizeof(g->record.PortMap)] = data[i];
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Guarded a, b, before;
  Prepare(&a, data, size, 0x00);
  before = a;
  const uint16_t status = Tkc_ParseServerInfo(&a.record, sizeof(a.record));
  Check(status == 0 || status == 25);

  for (size_t i = 0; i < kGuard; ++i) Check(a.before[i] == kGuardByte && a.after[i] == kGuardByte);
  const TkcServerRecord& r = a.record;
  const TkcServerRecord& o = before.record;
  Check(r.PortNo <= TKC_MAX_DATA_PORTS);
  Check(r.SlotCount >= 0 && r.SlotCount <= TKC_MAX_SLOTS);
  Check(r.SecondPort <= 1 && r.Slotted <= 1);
  for (int s = 10; s < 13; ++s) Check(r.SlotPorts[s] == 0);
  if (status == 25) Check(r.PortNo == 0);
  // Fields the parser does not own are as they were.
  Check(std::memcmp(r.ServerName, o.ServerName, sizeof(r.ServerName)) == 0);
  Check(std::memcmp(r.AliasName, o.AliasName, sizeof(r.AliasName)) == 0);
  Check(std::memcmp(r.PW, o.PW, sizeof(r.PW)) == 0);
  Check(std::memcmp(r.HostName, o.HostName, sizeof(r.HostName)) == 0);
  Check(r.IPAddress == o.IPAddress && r.IPAddress2 == o.IPAddress2 && r.TcpPortCmd == o.TcpPortCmd);
  for (uint32_t e = 0; e < TKC_PORTMAP_ENTRIES; ++e) {
    const bool laidOut = status == 0 && e >= 2 && e < 2 + r.PortNo;
    const uint32_t keep = laidOut ? ~TKC_COM_LAYOUT_MASK : 0xFFFFFFFFu;
    Check((r.PortMap[e].Com & keep) == (o.PortMap[e].Com & keep));
    Check(r.PortMap[e].Options == o.PortMap[e].Options);
  }

  // The same name in a record of other contents gives the same layout: the
  // parser reads nothing beyond the name field.
  Prepare(&b, data, size, 0x39);
  Check(Tkc_ParseServerInfo(&b.record, sizeof(b.record)) == status);
  Check(b.record.PortNo == r.PortNo && b.record.SlotCount == r.SlotCount &&
        b.record.Slotted == r.Slotted && b.record.SecondPort == r.SecondPort);
  Check(std::memcmp(b.record.SlotPorts, r.SlotPorts, sizeof(r.SlotPorts)) == 0);
  for (uint32_t e = 2; e < 2 + r.PortNo; ++e) {
    Check((b.record.PortMap[e].Com & TKC_COM_LAYOUT_MASK) == (r.PortMap[e].Com & TKC_COM_LAYOUT_MASK));
  }
  return 0;
}
