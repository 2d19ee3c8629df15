#include "local_addresses.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>

#include "tarvik/unique_fd.h"

namespace findra {
namespace {

// Kernel address flags (IFA_F_*) by address, from one netlink dump.
bool ReadKernelFlags(std::map<uint32_t, uint32_t>* flags) {
  tarvik::UniqueFd fd(socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE));
  if (!fd.Valid()) return false;
  struct {
    nlmsghdr header;
    ifaddrmsg body;
  } request{};
  request.header.nlmsg_len = sizeof request;
  request.header.nlmsg_type = RTM_GETADDR;
  request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
  request.header.nlmsg_seq = 1;
  request.body.ifa_family = AF_INET;
  sockaddr_nl kernel{};
  kernel.nl_family = AF_NETLINK;
  if (sendto(fd.Get(), &request, sizeof request, 0, reinterpret_cast<sockaddr*>(&kernel),
             sizeof kernel) < 0) {
    return false;
  }
  alignas(nlmsghdr) char buffer[16384];
  for (;;) {
    ssize_t got = recv(fd.Get(), buffer, sizeof buffer, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    size_t left = static_cast<size_t>(got);
    for (auto* h = reinterpret_cast<nlmsghdr*>(buffer); NLMSG_OK(h, left); h = NLMSG_NEXT(h, left)) {
      if (h->nlmsg_type == NLMSG_DONE) return true;
      if (h->nlmsg_type == NLMSG_ERROR) return false;
      if (h->nlmsg_type != RTM_NEWADDR) continue;
      auto* ifa = static_cast<ifaddrmsg*>(NLMSG_DATA(h));
      if (ifa->ifa_family != AF_INET) continue;
      uint32_t value = ifa->ifa_flags;
      bool haveAddress = false;
      uint32_t address = 0;
      int attrLength = static_cast<int>(IFA_PAYLOAD(h));
      for (auto* a = IFA_RTA(ifa); RTA_OK(a, attrLength); a = RTA_NEXT(a, attrLength)) {
        if (a->rta_type == IFA_FLAGS && RTA_PAYLOAD(a) >= sizeof(uint32_t)) {
          memcpy(&value, RTA_DATA(a), sizeof value);
        } else if (a->rta_type == IFA_LOCAL && RTA_PAYLOAD(a) >= sizeof address) {
          memcpy(&address, RTA_DATA(a), sizeof address);
          haveAddress = true;
        } else if (a->rta_type == IFA_ADDRESS && !haveAddress && RTA_PAYLOAD(a) >= sizeof address) {
          memcpy(&address, RTA_DATA(a), sizeof address);
        }
      }
      flags->emplace(address, value);
    }
  }
}

}  // namespace

bool ReadAddressTable(std::vector<AddressEntry>* table) {
  table->clear();
  std::map<uint32_t, uint32_t> kernelFlags;
  if (!ReadKernelFlags(&kernelFlags)) return false;
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return false;
  for (ifaddrs* i = list; i; i = i->ifa_next) {
    if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET) continue;
    uint32_t address = reinterpret_cast<sockaddr_in*>(i->ifa_addr)->sin_addr.s_addr;
    auto found = kernelFlags.find(address);
    uint32_t typeFlags = 0;
    if (found != kernelFlags.end()) {
      if (!(found->second & IFA_F_SECONDARY)) typeFlags |= kAddrPrimary;
      if (!(found->second & IFA_F_PERMANENT)) typeFlags |= kAddrDynamic;
    }
    table->push_back({address, typeFlags});
  }
  freeifaddrs(list);
  return true;
}

std::vector<uint32_t> ChooseLocalAddresses(const std::vector<AddressEntry>& table) {
  std::vector<uint32_t> chosen;
  const uint32_t loopback = htonl(INADDR_LOOPBACK);
  for (const AddressEntry& e : table) {
    if (e.address == 0 || e.address == 0xFFFFFFFFu || e.address == loopback) continue;
    if (!(e.typeFlags & (kAddrPrimary | kAddrDynamic))) continue;
    chosen.push_back(e.address);
    if (static_cast<int>(chosen.size()) == kMaxLocalAddresses) break;
  }
  return chosen;
}

}  // namespace findra
