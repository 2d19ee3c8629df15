// Opening the library's sockets, BOOTP capture, and a PC without a usable
// address.
#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "netns_fixture.h"
#include "tarvik/unique_fd.h"

namespace findra_test {
namespace {

class Init : public NetnsTest {};

tarvik::UniqueFd BoundUdp(int port) {
  tarvik::UniqueFd fd(socket(AF_INET, SOCK_DGRAM, 0));
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  if (bind(fd.Get(), reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) fd.Reset();
  return fd;
}

void SendTo(int port, const std::vector<uint8_t>& data) {
  tarvik::UniqueFd fd(socket(AF_INET, SOCK_DGRAM, 0));
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = inet_addr("10.77.0.1");
  sendto(fd.Get(), data.data(), data.size(), 0, reinterpret_cast<sockaddr*>(&a), sizeof a);
}

TEST_F(Init, ListenPortInUseFailsWithBindMessage) {
  tarvik::UniqueFd taken = BoundUdp(54321);
  ASSERT_TRUE(taken.Valid());
  EXPECT_EQ(Findra_Init(54321), -3);
  EXPECT_EQ(Messages(), std::vector<std::string>{"bind() failed"});
  // Not initialised: a search cannot start.
  EXPECT_EQ(Findra_BroadcastStart("255.255.255.255", 57188, nullptr), -2);
  taken.Reset();
  EXPECT_EQ(Findra_Init(70000), 0);  // out of range selects 54321, now free
}

TEST_F(Init, BootpPortInUseLeavesCaptureOffButInitSucceeds) {
  tarvik::UniqueFd taken = BoundUdp(67);
  ASSERT_TRUE(taken.Valid()) << "these tests run as (namespace) root";
  EXPECT_EQ(Findra_Init(0), 0);
  EXPECT_EQ(Findra_EnableBOOTP(1), 0);
  EXPECT_TRUE(Messages().empty());
  Findra_Close();
  taken.Reset();
  ASSERT_EQ(Findra_Init(0), 0);
  EXPECT_EQ(Findra_EnableBOOTP(1), 1);
  EXPECT_EQ(Findra_EnableBOOTP(0), 0);
}

std::vector<uint8_t> BootpRequest(size_t length, uint8_t vendor0, uint8_t last) {
  std::vector<uint8_t> d(length, 0);
  d[0] = 1;  // BOOTREQUEST
  const uint8_t mac[6] = {vendor0, 0x4E, 0xA7, 0x10, 0x20, last};
  for (size_t i = 0; i < 6 && 28 + i < length; ++i) d[28 + i] = mac[i];
  return d;
}

TEST_F(Init, BootpCaptureRecordsDeviceRequestsOnly) {
  ASSERT_TRUE(devsim_.Start(DeviceSection("Q410X", MacOf(1))));
  ASSERT_EQ(Findra_Init(0), 0);
  ASSERT_EQ(Findra_EnableBOOTP(1), 1);
  ASSERT_EQ(Findra_SetOptions(60000, 0), 0);
  ASSERT_EQ(Findra_BroadcastStart("255.255.255.255", 57188, nullptr), 0);
  SendTo(67, BootpRequest(33, 0x02, 0x01));   // too short to hold the MAC
  SendTo(67, BootpRequest(300, 0x00, 0x02));  // another vendor
  SendTo(67, BootpRequest(300, 0x02, 0x03));
  SendTo(67, BootpRequest(300, 0x02, 0x03));  // a repeat
  for (int i = 0; i < 2000 && Findra_GetCount() < 2; ++i) tarvik::SleepMs(5);
  tarvik::SleepMs(50);
  EXPECT_EQ(Findra_BroadcastStop(), 1);
  ASSERT_TRUE(WaitSearchEnd());
  ASSERT_EQ(Findra_GetCount(), 2);  // the device's reply and one BOOTP record
  int bootp = 0;
  for (int i = 1; i <= 2; ++i) {
    Info r{};
    ASSERT_EQ(Get(i, &r), 0);
    if (std::string(r.name) != "BOOTP") continue;
    ++bootp;
    EXPECT_STREQ(r.mac, "02:4E:A7:10:20:03");
    EXPECT_STREQ(r.alias, "Tiny");
    EXPECT_STREQ(r.ip, "0.0.0.0");
    EXPECT_STREQ(r.gateway, "0.0.0.0");
  }
  EXPECT_EQ(bootp, 1);
}

TEST_F(Init, BootpRequestsWithCaptureOffAreNotRecorded) {
  ASSERT_EQ(Findra_Init(0), 0);
  ASSERT_EQ(Findra_SetOptions(1000, 0), 0);
  ASSERT_EQ(Findra_BroadcastStart("255.255.255.255", 57188, nullptr), 0);
  SendTo(67, BootpRequest(300, 0x02, 0x03));
  ASSERT_TRUE(WaitSearchEnd());
  EXPECT_EQ(Findra_GetCount(), 0);
}

TEST_F(Init, NoUsableAddressRefusesTheSearch) {
  ASSERT_EQ(Findra_Init(0), 0);
  // Only 127.0.0.1 left: the namespace's own address goes for this test.
  ASSERT_EQ(system("ip addr del 10.77.0.1/24 dev lo"), 0);
  int result = Findra_BroadcastStart("255.255.255.255", 57188, nullptr);
  ASSERT_EQ(system("ip addr add 10.77.0.1/24 dev lo"), 0);
  EXPECT_EQ(result, -4);
  EXPECT_EQ(Findra_GetLocalIPCount(), 0);
  EXPECT_EQ(Findra_GetState(), 0);
  EXPECT_EQ(Messages(), std::vector<std::string>{"No available IP address (IPv4)."});
}

TEST_F(Init, SecondaryPermanentAddressIsNotSentFrom) {
  // A second address in the same subnet is secondary; set statically it is
  // permanent, so it is neither primary nor dynamic.
  ASSERT_EQ(system("ip addr add 10.77.0.2/24 dev lo"), 0);
  ASSERT_EQ(Findra_Init(0), 0);
  ASSERT_EQ(Findra_SetOptions(1000, 0), 0);
  int result = Findra_BroadcastStart("255.255.255.255", 57188, nullptr);
  int count = Findra_GetLocalIPCount();
  EXPECT_TRUE(WaitSearchEnd());
  ASSERT_EQ(system("ip addr del 10.77.0.2/24 dev lo"), 0);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(count, 1);
}

TEST_F(Init, BeforeInitNothingIsOpen) {
  EXPECT_EQ(Findra_GetVersion(), 263);
  EXPECT_EQ(Findra_EnableBOOTP(1), 0);  // no BOOTP socket yet
  EXPECT_EQ(Findra_ConfigModule(1, nullptr, nullptr, nullptr, nullptr, 1, "x"), -2);
}

}  // namespace
}  // namespace findra_test
