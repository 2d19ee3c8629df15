// The guard in front of everything that broadcasts or plays a device: it
// may run only in a private network namespace whose one interface is the
// loopback, so that nothing it sends can reach a real network. Shared by
// tarvik-devsim, tarvikctl's discovery commands and the network tests.
#pragma once
#include <net/if.h>

#include <string>

namespace tarvik {

// True when the current network namespace holds exactly one interface and
// it is "lo". Otherwise false, with the reason in *why.
inline bool OnlyLoopbackNetwork(std::string* why) {
  struct if_nameindex* list = if_nameindex();
  if (!list) {
    if (why) *why = "cannot list the network interfaces";
    return false;
  }
  std::string names;
  int count = 0;
  for (struct if_nameindex* i = list; i->if_index != 0; ++i) {
    names += (count++ ? ", " : "") + std::string(i->if_name);
  }
  if_freenameindex(list);
  if (count == 1 && names == "lo") return true;
  if (why) {
    *why = "refusing to broadcast: this network namespace has the interfaces " + names +
           "; run inside a private namespace holding only lo (tests/netns/run-in-netns.sh)";
  }
  return false;
}

}  // namespace tarvik
