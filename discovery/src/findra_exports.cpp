// The library's exports: argument checks at the boundary, the work in the
// one process-wide Engine.
#include "findra.h"
#include "findra_engine.h"

namespace {

findra::Engine& TheEngine() {
  static findra::Engine engine;
  return engine;
}

}  // namespace

extern "C" {

int Findra_GetVersion(void) { return 263; }

int Findra_Init(int listenPort) { return TheEngine().Init(listenPort); }

void Findra_Close(void) { TheEngine().Close(); }

int Findra_BroadcastStart(const char* address, int port, const char* request) {
  return TheEngine().BroadcastStart(address, port, request);
}

int Findra_BroadcastStop(void) { return TheEngine().BroadcastStop(); }

int Findra_GetModuleInfo(int index, char* name, char* alias, char* ip, char* mask,
                         char* gateway, char* mac, int32_t* dhcp) {
  return TheEngine().GetModuleInfo(index, name, alias, ip, mask, gateway, mac, dhcp);
}

int Findra_GetState(void) { return TheEngine().GetState(); }

int Findra_GetCount(void) { return TheEngine().GetCount(); }

int Findra_ConfigModule(int index, const char* ip, const char* mask, const char* gateway,
                        const char* mac, int dhcp, const char* alias) {
  findra::ConfigRequest request;
  request.ip = ip;
  request.mask = mask;
  request.gateway = gateway;
  request.mac = mac;
  request.dhcp = dhcp;
  request.alias = alias;
  return TheEngine().ConfigModule(index, request);
}

int Findra_SetOptions(unsigned int searchTimeMs, int moduleLimit) {
  return TheEngine().SetOptions(searchTimeMs, moduleLimit);
}

int Findra_GetLocalIPCount(void) { return TheEngine().GetLocalIPCount(); }

int Findra_EnableBOOTP(int on) { return TheEngine().EnableBootp(on); }

}  // extern "C"
