// Which local addresses a search sends from.
#include "local_addresses.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

namespace findra {
namespace {

uint32_t A(const char* dotted) { return inet_addr(dotted); }

TEST(LocalAddresses, SkipsUnusableAndUnflaggedEntriesInTableOrder) {
  std::vector<AddressEntry> table = {
      {A("127.0.0.1"), kAddrPrimary},
      {A("0.0.0.0"), kAddrPrimary},
      {A("255.255.255.255"), kAddrPrimary},
      {A("10.0.0.5"), 0},                 // secondary and permanent
      {A("10.0.0.6"), kAddrDynamic},      // secondary, from DHCP
      {A("127.0.0.2"), kAddrPrimary},     // only exactly 127.0.0.1 is skipped
      {A("192.168.1.9"), kAddrPrimary | kAddrDynamic},
  };
  std::vector<uint32_t> want = {A("10.0.0.6"), A("127.0.0.2"), A("192.168.1.9")};
  EXPECT_EQ(ChooseLocalAddresses(table), want);
}

TEST(LocalAddresses, AtMostNine) {
  std::vector<AddressEntry> table;
  for (int i = 1; i <= 12; ++i) table.push_back({A(("10.1.0." + std::to_string(i)).c_str()), kAddrPrimary});
  std::vector<uint32_t> chosen = ChooseLocalAddresses(table);
  ASSERT_EQ(chosen.size(), 9u);
  EXPECT_EQ(chosen.back(), A("10.1.0.9"));
}

TEST(LocalAddresses, OnlyLoopbackAndAnyGiveNone) {
  EXPECT_TRUE(ChooseLocalAddresses({{A("127.0.0.1"), kAddrPrimary}, {A("0.0.0.0"), kAddrPrimary}}).empty());
}

TEST(LocalAddresses, TableReadsThisMachinesLoopback) {
  std::vector<AddressEntry> table;
  ASSERT_TRUE(ReadAddressTable(&table));
  bool loopback = false;
  for (const AddressEntry& e : table) {
    if (e.address == A("127.0.0.1")) {
      loopback = true;
      EXPECT_EQ(e.typeFlags, kAddrPrimary) << "127.0.0.1 is the primary, permanent address of lo";
    }
  }
  EXPECT_TRUE(loopback);
}

}  // namespace
}  // namespace findra
