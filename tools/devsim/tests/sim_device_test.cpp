// The simulator's device file and device objects: what a file turns into,
// and that a device's reply reads back through the library's parser.
#include "sim_device.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <vector>

#include "device_file.h"
#include "findra_wire.h"
#include "tarvik/text.h"

namespace devsim {
namespace {

class TempFile {
 public:
  explicit TempFile(const std::string& text) {
    char pattern[] = "/tmp/devsim-test.XXXXXX";
    int fd = mkstemp(pattern);
    close(fd);
    path_ = pattern;
    std::ofstream(path_) << text;
  }
  ~TempFile() { unlink(path_.c_str()); }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

TEST(DeviceFile, SectionsGlobalsCommentsAndUnknownKeys) {
  TempFile f(
      "# simulator\n"
      "future_global = 1\n"
      "\n"
      "[device]\n"
      "  name = Q410X-2  \n"
      "mac=02:4E:A7:00:00:01\n"
      "tcp_port = 10000\n"
      "[device]\n"
      "name = NH-0408\n");
  DeviceFile file;
  std::string error;
  ASSERT_TRUE(ReadDeviceFile(f.Path(), &file, &error)) << error;
  EXPECT_EQ(file.globals.at("future_global"), "1");
  ASSERT_EQ(file.devices.size(), 2u);
  EXPECT_EQ(file.devices[0].at("name"), "Q410X-2");
  EXPECT_EQ(file.devices[0].at("mac"), "02:4E:A7:00:00:01");
  EXPECT_EQ(file.devices[0].at("tcp_port"), "10000");
  EXPECT_EQ(file.devices[1].at("name"), "NH-0408");
}

TEST(DeviceFile, ErrorsNameTheLine) {
  TempFile f("[device]\nname = A\nthis line has no equals sign\n");
  DeviceFile file;
  std::string error;
  EXPECT_FALSE(ReadDeviceFile(f.Path(), &file, &error));
  EXPECT_EQ(error, f.Path() + ":3: expected [device] or key = value");
  EXPECT_FALSE(ReadDeviceFile("/nonexistent/devices.txt", &file, &error));
}

TEST(SimDevice, BadSettingsAreRefused) {
  struct Case {
    Settings settings;
    const char* error;
  } cases[] = {
      {{{"name", "A"}}, "a device needs a mac"},
      {{{"mac", "1"}, {"fault", "silent,loud"}}, "unknown fault \"loud\""},
      {{{"mac", "1"}, {"dhcp", "yes"}}, "dhcp must be a number 0..255"},
      {{{"mac", "1"}, {"delay", "-5"}}, "delay must be milliseconds 0..600000"},
  };
  for (const Case& c : cases) {
    SimDevice d;
    std::string error;
    EXPECT_FALSE(d.Configure(c.settings, &error));
    EXPECT_EQ(error, c.error);
  }
}

findra::ModuleRecord ParseReply(const std::string& reply) {
  std::vector<char> buffer(reply.begin(), reply.end());
  buffer.push_back('\0');
  findra::ModuleRecord r{};
  EXPECT_TRUE(findra::IsDiscoveryReply(buffer.data(), reply.size()));
  EXPECT_EQ(findra::ParseDiscoveryReply(buffer.data(), reply.size(), &r), findra::kParsed);
  return r;
}

TEST(SimDevice, ReplyReadsBackAndFollowsAppliedChanges) {
  SimDevice d;
  std::string error;
  ASSERT_TRUE(d.Configure({{"name", "Q410X-2"}, {"mac", "02:4E:A7:00:00:01"}, {"alias", "lab"},
                           {"ip", "10.77.0.21"}, {"dhcp", "1"}, {"password", "kept"}},
                          &error));
  findra::ModuleRecord r = ParseReply(d.DiscoveryReply());
  EXPECT_STREQ(r.name, "Q410X-2");
  EXPECT_STREQ(r.alias, "lab");
  EXPECT_STREQ(r.ip, "10.77.0.21");
  EXPECT_STREQ(r.mask, "255.255.255.0");
  EXPECT_STREQ(r.mac, "02:4E:A7:00:00:01");
  EXPECT_EQ(r.dhcp, 1);
  EXPECT_EQ(d.Setting("password"), "kept");

  EXPECT_TRUE(d.HasMac("02:4e:a7:00:00:01"));
  EXPECT_TRUE(d.ApplyField("ALIAS", "new"));
  EXPECT_TRUE(d.ApplyField("GATEWAY", "10.77.0.1"));
  EXPECT_TRUE(d.ApplyField("DHCP", "0"));
  EXPECT_FALSE(d.ApplyField("COLOUR", "red"));
  r = ParseReply(d.DiscoveryReply());
  EXPECT_STREQ(r.alias, "new");
  EXPECT_STREQ(r.gateway, "10.77.0.1");
  EXPECT_EQ(r.dhcp, 0);
}

TEST(SimDevice, FaultsAndRawReplies) {
  SimDevice late, raw, cut;
  std::string error;
  ASSERT_TRUE(late.Configure({{"mac", "1"}, {"fault", "late,duplicate"}}, &error));
  EXPECT_TRUE(late.Has(kFaultLate));
  EXPECT_TRUE(late.Has(kFaultDuplicate));
  EXPECT_FALSE(late.Has(kFaultSilent));
  EXPECT_EQ(late.DelayMs(), 1500u);  // late without a delay still is late
  ASSERT_TRUE(raw.Configure({{"mac", "1"}, {"reply", "KORVAXQ410X,80\\x00\\\\\\r"}}, &error));
  EXPECT_EQ(raw.DiscoveryReply(), std::string("KORVAXQ410X,80\0\\\r", 17));
  EXPECT_EQ(tarvik::EscapeText(raw.DiscoveryReply()), "KORVAXQ410X,80\\x00\\\\\\r");
  ASSERT_TRUE(cut.Configure({{"mac", "1"}, {"fault", "malformed"}}, &error));
  EXPECT_FALSE(findra::IsDiscoveryReply(cut.DiscoveryReply().data(), cut.DiscoveryReply().size()));
}

// What the library keeps of a hostile reply: each field cut to its size,
// with the forged bytes in it, and the device still answers to its real MAC.
TEST(SimDevice, HostileRepliesForgeEveryTextButStayOneRecord) {
  SimDevice d;
  std::string error;
  ASSERT_TRUE(d.Configure({{"name", "Q410X2"},
                           {"alias", "lab"},
                           {"mac", "02:4E:A7:00:00:41"},
                           {"ip", "10.77.0.41"},
                           {"gateway", "10.77.0.254"},
                           {"hostile", "all"}},
                          &error))
      << error;
  const findra::ModuleRecord r = ParseReply(d.DiscoveryReply());
  EXPECT_EQ(std::string(r.name), "Q410X2\nadded index=");
  EXPECT_EQ(std::string(r.alias), "labx=y\x1b[2J\"<b>x</b>");
  EXPECT_EQ(std::string(r.ip), "10.77.0.41\x1b[m=\n");
  EXPECT_EQ(std::string(r.mask), "255.255.255.0\x1b[");
  EXPECT_EQ(std::string(r.gateway), "10.77.0.254\x1b[m=");
  EXPECT_EQ(std::string(r.mac), "02:4E:A7\x1b[5m=\n<b>");
  EXPECT_EQ(r.dhcp, 0);
  EXPECT_TRUE(d.HasMac("02:4E:A7:00:00:41"));

  SimDevice wrong;
  EXPECT_FALSE(wrong.Configure({{"mac", "1"}, {"hostile", "names"}}, &error));
}

}  // namespace
}  // namespace devsim
