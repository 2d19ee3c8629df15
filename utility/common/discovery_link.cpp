#include "discovery_link.h"

#include "app_state.h"
#include "findra.h"

void CloseDiscoveryIfOpen() {
  if (!App().discoveryReady) return;
  Findra_Close();
  App().discoveryReady = false;
}
