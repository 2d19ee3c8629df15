// Tkc_RegAddServer: a new server, its index, its COM numbers and the counts
// in one commit, so that two processes adding at once neither take the
// same index nor give the same COM number.
#include <cstring>

#include "com_usage.h"
#include "server_writer.h"
#include "store_keys.h"
#include "tarvikcfg.h"

using tarvik::kErrorSuccess;
using tarvik::RegKey;
using tarvik::RegTransaction;

namespace {

// The numbers a new port may not take: those the store's servers map, and
// the other serial ports of the system unless the caller holds them.
tkc::ComSet TakenComs(const tkc::StoredServers& stored, const uint8_t* ours) {
  tkc::ComSet taken;
  tkc::ReadSerialListComs(&taken);  // no list: no other ports
  if (ours) {
    for (uint32_t com = 1; com <= TKC_MAX_COM; ++com)
      if (ours[com - 1]) taken.reset(com);
  }
  return taken | stored.mapped;
}

// Gives the wanted entries of *record the lowest free numbers from
// request->FirstCom on. Returns how many were given.
uint32_t GiveComNumbers(TkcServerRecord* record, TkcAddServerRequest* request,
                        tkc::ComSet* taken) {
  uint32_t given = 0;
  uint32_t next = request->FirstCom;
  const uint32_t last = record->PortNo + 1;
  for (uint32_t e = 0; e <= last; ++e) {
    if (!request->Wanted[e]) continue;
    uint32_t& word = record->PortMap[e].Com;
    word = TkcComSetNumber(word, 0);
    if (request->FirstCom == 0) continue;
    while (next <= TKC_MAX_COM && taken->test(next)) ++next;
    if (next > TKC_MAX_COM) {
      ++request->Unmapped;
      continue;
    }
    word = TkcComSetNumber(word, next);
    taken->set(next);
    ++next;
    ++given;
  }
  request->NextCom = given > 0 ? next : request->FirstCom;
  return given;
}

bool AnyWanted(const TkcServerRecord& record, const TkcAddServerRequest& request) {
  for (uint32_t e = 0; e <= record.PortNo + 1; ++e)
    if (request.Wanted[e]) return true;
  return false;
}

void ResetOutputs(TkcAddServerRequest* request) {
  request->Outcome = TKC_ADDED_WRITTEN;
  request->Index = 0;
  request->NextCom = request->FirstCom;
  request->Unmapped = 0;
}

}  // namespace

uint16_t Tkc_RegAddServer(TkcServerRecord* record, uint32_t size, TkcAddServerRequest* request,
                          const uint8_t* ours) {
  if (!record || size != TKC_RECORD_SIZE || !request ||
      request->Size != sizeof(TkcAddServerRequest) || request->FirstCom > TKC_MAX_COM ||
      request->DataProtocol > TKC_DATA_PROTOCOL_RFC2217) {
    return TKC_ERR_SIZE;
  }
  if (record->PortNo > TKC_MAX_DATA_PORTS) return TKC_ERR_PORTS;
  ResetOutputs(request);

  RegTransaction tx(RegTransaction::Mode::kWrite);
  if (tx.Status() != kErrorSuccess) return TKC_ERR_PARAMETER_KEY;
  RegKey params;
  if (!tkc::OpenParameterKey(&params)) return TKC_ERR_PARAMETER_KEY;
  uint32_t servers = 0, ports = 0, flags = 0;
  tkc::ReadCounts(params, &servers, &ports, &flags);
  // Whatever ends the call before the write leaves the store as it was.
  auto notWritten = [&](uint32_t outcome) {
    ResetOutputs(request);
    request->Outcome = outcome;
    tx.Commit();
    return TKC_OK;
  };
  if (servers >= TKC_MAX_SERVERS) return notWritten(TKC_ADDED_FULL);
  const tkc::StoredServers stored = tkc::ScanStoredServers(params, servers, record->IPAddress);
  if ((request->Options & TKC_ADD_SKIP_DUPLICATE) && stored.hasAddress)
    return notWritten(TKC_ADDED_DUPLICATE);

  // The caller's record changes only once the store has taken it.
  TkcServerRecord added;
  std::memcpy(&added, record, sizeof added);
  tkc::ComSet taken = TakenComs(stored, ours);
  const uint32_t given = GiveComNumbers(&added, request, &taken);
  if (request->FirstCom != 0 && given == 0 && AnyWanted(added, *request))
    return notWritten(TKC_ADDED_NO_COM);

  const uint16_t status = tkc::WriteServer(params, servers, &added);
  auto failed = [&](uint16_t code) {
    ResetOutputs(request);
    return code;
  };
  if (status == TKC_ERR_SERVER_KEY) {
    tx.Commit();  // nothing was written
    return failed(status);
  }
  if (status != TKC_OK) return failed(status);  // the scope rolls back
  // Always written: a subkey left from an earlier server must not lend the
  // new one its protocol.
  if (tkc::WriteDataProtocol(params, servers, request->DataProtocol) != TKC_OK)
    return failed(TKC_ERR_PARAMETER_KEY);
  tkc::ValueWriter out(params);
  out.Dword("Servers", servers + 1);
  out.Dword("Ports", ports + added.PortNo + 1);
  tkc::RaiseChangeCount(params, &out);
  if (out.Status() != kErrorSuccess || tx.Commit() != kErrorSuccess)
    return failed(TKC_ERR_PARAMETER_KEY);
  std::memcpy(record, &added, sizeof added);
  request->Outcome = TKC_ADDED_WRITTEN;
  request->Index = servers;
  return TKC_OK;
}
