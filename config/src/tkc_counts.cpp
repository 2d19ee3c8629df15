// Exports for the counts and options kept in the Parameter key itself.
#include "store_keys.h"
#include "tarvikcfg.h"

using tarvik::kErrorSuccess;
using tarvik::RegKey;
using tarvik::RegTransaction;

namespace {

uint16_t ReadOption(const char* name, uint32_t* value) {
  if (!value) return TKC_ERR_SIZE;
  *value = 0;
  RegKey params;
  if (!tkc::OpenParameterKey(&params)) return TKC_ERR_PARAMETER_KEY;
  uint32_t v = 0;
  if (params.QueryDword(name, &v) == kErrorSuccess) *value = v;
  return TKC_OK;
}

enum class Counted { kNo, kYes };

// Writes the named values in one commit; counted writes (servers and
// counts, not options) raise the change counter with them.
template <size_t N>
uint16_t WriteValues(const char* const (&names)[N], const uint32_t (&values)[N],
                     Counted counted) {
  RegTransaction tx(RegTransaction::Mode::kWrite);
  if (tx.Status() != kErrorSuccess) return TKC_ERR_PARAMETER_KEY;
  RegKey params;
  if (!tkc::OpenParameterKey(&params)) return TKC_ERR_PARAMETER_KEY;
  tkc::ValueWriter out(params);
  for (size_t i = 0; i < N; ++i) out.Dword(names[i], values[i]);
  if (counted == Counted::kYes) tkc::RaiseChangeCount(params, &out);
  if (out.Status() != kErrorSuccess || tx.Commit() != kErrorSuccess) return TKC_ERR_PARAMETER_KEY;
  return TKC_OK;
}

}  // namespace

uint16_t Tkc_RegReadInfo(TkcConfigSet* set) {
  if (!set) return TKC_ERR_SIZE;
  set->Servers = set->Ports = set->Flags = 0;
  RegTransaction snapshot(RegTransaction::Mode::kRead);
  if (snapshot.Status() != kErrorSuccess) return TKC_ERR_PARAMETER_KEY;
  RegKey params;
  if (!tkc::OpenParameterKey(&params)) return TKC_ERR_PARAMETER_KEY;
  tkc::ReadCounts(params, &set->Servers, &set->Ports, &set->Flags);
  return TKC_OK;
}

uint16_t Tkc_RegWriteInfo(const uint32_t info[3]) {
  if (!info) return TKC_ERR_SIZE;
  return WriteValues({"Servers", "Ports", "Flags"}, {info[0], info[1], info[2]},
                     Counted::kYes);
}

uint16_t Tkc_RegReadServersAndPorts(uint32_t* servers, uint32_t* ports) {
  if (!servers || !ports) return TKC_ERR_SIZE;
  *servers = *ports = 0;
  RegTransaction snapshot(RegTransaction::Mode::kRead);
  if (snapshot.Status() != kErrorSuccess) return TKC_ERR_PARAMETER_KEY;
  RegKey params;
  if (!tkc::OpenParameterKey(&params)) return TKC_ERR_PARAMETER_KEY;
  uint32_t flags = 0;
  tkc::ReadCounts(params, servers, ports, &flags);
  return TKC_OK;
}

uint16_t Tkc_RegWriteServersAndPorts(uint32_t servers, uint32_t ports) {
  return WriteValues({"Servers", "Ports"}, {servers, ports}, Counted::kYes);
}

uint16_t Tkc_RegAddServersAndPortsCount(uint32_t serverDelta, uint32_t portDelta) {
  if (serverDelta == 0 && portDelta == 0) return TKC_OK;
  // Read and write under one write lock, so that two processes adding
  // servers at once both count.
  RegTransaction tx(RegTransaction::Mode::kWrite);
  if (tx.Status() != kErrorSuccess) return TKC_ERR_PARAMETER_KEY;
  RegKey params;
  if (!tkc::OpenParameterKey(&params)) return TKC_ERR_PARAMETER_KEY;
  uint32_t servers = 0;
  uint32_t ports = 0;
  if (params.QueryDword("Servers", &servers) != kErrorSuccess) servers = 0;
  if (params.QueryDword("Ports", &ports) != kErrorSuccess) ports = 0;
  tkc::ValueWriter out(params);
  out.Dword("Servers", servers + serverDelta);
  out.Dword("Ports", ports + portDelta);
  tkc::RaiseChangeCount(params, &out);
  if (out.Status() != kErrorSuccess || tx.Commit() != kErrorSuccess) return TKC_ERR_PARAMETER_KEY;
  return TKC_OK;
}

uint16_t Tkc_RegCheckCreateServiceKey(void) {
  RegKey services;
  if (services.Open(TKC_SERVICES_KEY, tarvik::RegAccess::kFullAccess) != kErrorSuccess) {
    return TKC_ERR_PARAMETER_KEY;
  }
  RegKey service;
  if (service.Create(services, TKC_SERVICE_NAME) != kErrorSuccess) return TKC_ERR_PARAMETER_KEY;
  RegKey params;
  if (params.Create(service, TKC_PARAMETER_SUBKEY) != kErrorSuccess) return TKC_ERR_PARAMETER_KEY;
  return TKC_OK;
}

uint16_t Tkc_RegGetChangeCount(uint32_t* count) { return ReadOption(tkc::kChangeCountValue, count); }

uint16_t Tkc_RegGetQueryInterval(uint32_t* interval) { return ReadOption("UIQueryInterval", interval); }

uint16_t Tkc_RegGetSortingType(uint32_t* sorting) { return ReadOption("UISorting", sorting); }

uint16_t Tkc_RegSetQueryInterval(uint32_t interval) {
  return WriteValues({"UIQueryInterval"}, {interval}, Counted::kNo);
}

uint16_t Tkc_RegSetSortingType(uint32_t sorting) { return WriteValues({"UISorting"}, {sorting}, Counted::kNo); }
