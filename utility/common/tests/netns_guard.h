// Tests that search broadcast: they run only inside the private network
// namespace that tests/netns/run-in-netns.sh makes, holding nothing but lo.
#pragma once
#include <net/if.h>

#include <QtGlobal>
#include <cstring>

inline bool InsidePrivateNamespace() {
  if (!qEnvironmentVariableIsSet("TARVIK_NETNS_INSIDE")) return false;
  struct if_nameindex* names = if_nameindex();
  if (!names) return false;
  bool onlyLo = true;
  for (struct if_nameindex* n = names; n->if_index != 0; ++n)
    onlyLo = onlyLo && std::strcmp(n->if_name, "lo") == 0;
  if_freenameindex(names);
  return onlyLo;
}
