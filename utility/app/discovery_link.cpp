#include "discovery_link.h"

#include "app_state.h"
#if TARVIK_HAVE_FINDRA
#include "findra.h"
#endif

void CloseDiscoveryIfOpen() {
  if (!App().discoveryReady) return;
#if TARVIK_HAVE_FINDRA
  Findra_Close();
#endif
  App().discoveryReady = false;
}
