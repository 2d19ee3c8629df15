#include "xml_config_writer.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <vector>
#include <cstdlib>
#include <memory>
#include <string>
#include <unistd.h>

#include "config_file_io.h"

using namespace cfgfile;

namespace {

std::unique_ptr<ConfigSet> NewSet() {
  std::unique_ptr<ConfigSet> set(new ConfigSet());
  set->SizeStamp = kSetSize;
  return set;
}

Record& AddServer(ConfigSet* set, const char* name, uint32_t ports) {
  Record& r = set->Records[set->Servers++];
  InitRecord(&r);
  std::snprintf(r.ServerName, sizeof r.ServerName, "%s", name);
  r.IPAddress = 10 | 5u << 24;
  r.PortNo = ports;
  for (uint32_t k = 1; k <= ports; ++k) {
    ComWord(r, k + 1) = k << kDevicePortShift | k << kIndexShift;
    OptionsWord(r, k + 1) = kDefaultAutoFlush << kAutoFlushShift;
  }
  set->Ports += ports + 1;
  return r;
}

std::string Lines(std::initializer_list<const char*> lines) {
  std::string text;
  for (const char* l : lines) text += std::string(l) + "\r\n";
  return text;
}

TEST(XmlConfigWriter, EmptyStoreIsNotWritten) {
  auto set = NewSet();
  set->Flags = kFastOpen;
  std::string text = "old";
  EXPECT_EQ(BuildXmlConfig(*set, nullptr, &text), kNoServerToExport);
  EXPECT_EQ(text, "");
}

TEST(XmlConfigWriter, DefaultsAreLeftOutAndMappedPortsFollowTheNames) {
  auto set = NewSet();
  Record& r = AddServer(set.get(), "3147", 4);
  ComWord(r, 0) |= 9;                         // I/O port on COM9
  ComWord(r, 3) |= 12;                        // data port 2 on COM12
  ComWord(r, 1) |= 30;                        // the command port is never written
  std::string text;
  ASSERT_EQ(BuildXmlConfig(*set, nullptr, &text), kOk);
  EXPECT_EQ(text, Lines({"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>",
                         "<VComConfiguration>",
                         "<DriverOptions/>",
                         "<Server>",
                         "<IP>10.0.0.5</IP>",
                         "<ServerName>3147</ServerName>",
                         "<Port>",
                         "<PortName>PortIO</PortName>",
                         "<Mapping>COM9</Mapping>",
                         "<FixedConfig>1</FixedConfig>",
                         "<AutoFlush>0</AutoFlush>",  // the store keeps no options for it
                         "</Port>",
                         "<Port>",
                         "<PortName>Port2</PortName>",
                         "<Mapping>COM12</Mapping>",
                         "</Port>",
                         "</Server>",
                         "</VComConfiguration>"}));
}

TEST(XmlConfigWriter, EveryOptionAndFlagIsWrittenWhenSet) {
  auto set = NewSet();
  set->Flags = kFormatMarker | kFastOpen | kIgnoreWriteError | 25u << kCloseDelayShift;
  Record& r = AddServer(set.get(), "Q410X2", 2);
  r.IPAddress2 = 10 | 1u << 16 | 5u << 24;
  std::snprintf(r.AliasName, sizeof r.AliasName, "A&B <north> \"x\"");
  std::snprintf(r.HostName, sizeof r.HostName, "ds5.example");
  r.TcpPortCmd = 10001;
  r.TcpPort7000 = 9000;
  r.ConnectionBroken = 181999;
  r.ConnectTimeout = 999;
  r.KeepAliveTime = 61500;
  ComWord(r, 2) |= 4095 | kFixedConfig | kDisablePurge;
  OptionsWord(r, 2) = kWriteBuffer | 500u << kAutoFlushShift;
  std::string text;
  ASSERT_EQ(BuildXmlConfig(*set, nullptr, &text), kOk);
  EXPECT_EQ(text, Lines({"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>",
                         "<VComConfiguration>",
                         "<DriverOptions>",
                         "<FastOpen>1</FastOpen>",
                         "<IgnoreWriteError>1</IgnoreWriteError>",
                         "<CloseDelayTime>250</CloseDelayTime>",
                         "</DriverOptions>",
                         "<Server>",
                         "<IP>10.0.0.5</IP>",
                         "<IP2>10.0.1.5</IP2>",
                         "<ServerName>Q410X2</ServerName>",
                         "<AliasName>A&amp;B &lt;north&gt; \"x\"</AliasName>",
                         "<HostName>ds5.example</HostName>",
                         "<Options>",
                         "<TcpPortCmd>10001</TcpPortCmd>",
                         "<TcpPortIo>9000</TcpPortIo>",
                         "<ConnectionBroken>181</ConnectionBroken>",
                         "<ConnectTimeout>0</ConnectTimeout>",
                         "<KeepAliveTime>61</KeepAliveTime>",
                         "</Options>",
                         "<Port>",
                         "<PortName>Port1</PortName>",
                         "<Mapping>COM4095</Mapping>",
                         "<FixedConfig>1</FixedConfig>",
                         "<DisablePurge>1</DisablePurge>",
                         "<WriteBuffer>1</WriteBuffer>",
                         "<AutoFlush>5000</AutoFlush>",
                         "</Port>",
                         "</Server>",
                         "</VComConfiguration>"}));
}

TEST(XmlConfigWriter, ServerWithoutMappedPortsIsAnEmptyOfPorts) {
  auto set = NewSet();
  Record& a = AddServer(set.get(), "3144", 3);
  ComWord(a, 0) = 0;
  AddServer(set.get(), "5JV2", 1);
  std::string text;
  ASSERT_EQ(BuildXmlConfig(*set, nullptr, &text), kOk);
  EXPECT_NE(text.find("<ServerName>3144</ServerName>\r\n</Server>\r\n<Server>\r\n<IP>"), std::string::npos)
      << text;
}

// Names as devices and users give them, control characters aside: a real
// XML parser must accept whatever the writer makes of them.
TEST(XmlConfigWriter, DocumentOfRandomStoreIsAcceptedByXmllint) {
  if (std::system("xmllint --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "xmllint not installed";
  srand(5);
  auto set = NewSet();
  set->Flags = static_cast<uint32_t>(rand()) & 0x3FF;
  for (int s = 0; s < 40; ++s) {
    Record& r = AddServer(set.get(), "XYZ1558-68", 68);
    for (char* field : {r.AliasName, r.HostName}) {
      const int length = rand() % 40;
      for (int i = 0; i < length; ++i) field[i] = static_cast<char>(0x20 + rand() % (256 - 0x20));
      field[length] = '\0';
    }
    r.IPAddress2 = static_cast<uint32_t>(rand());
    r.KeepAliveTime = static_cast<uint32_t>(rand());
    for (int e = 0; e < 70; ++e) {
      if (e != 1 && rand() % 2) ComWord(r, e) |= (rand() % 4095 + 1) | (rand() % 2 ? kDisablePurge : 0);
      OptionsWord(r, e) = static_cast<uint32_t>(rand()) & 0x3FF;
    }
  }
  std::string text;
  ASSERT_EQ(BuildXmlConfig(*set, nullptr, &text), kOk);
  char path[] = "/tmp/xml_config_writer_test_XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);
  ASSERT_TRUE(ReplaceFile(path, text));
  const int rc = std::system(("xmllint --noout " + std::string(path)).c_str());
  unlink(path);
  EXPECT_EQ(rc, 0);
}

TEST(ConfigFileIo, ReplaceKeepsTheModeAndLeavesNoTemporaryFile) {
  char folder[] = "/tmp/config_file_io_test_XXXXXX";
  ASSERT_TRUE(mkdtemp(folder));
  const std::string path = std::string(folder) + "/out.xml";
  ASSERT_TRUE(ReplaceFile(path, "first"));
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  ASSERT_TRUE(ReplaceFile(path, "second"));
  std::string bytes;
  ASSERT_EQ(ReadWholeFile(path, &bytes), FileResult::kOk);
  EXPECT_EQ(bytes, "second");
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_FALSE(ReplaceFile(std::string(folder) + "/missing/out.xml", "x"));
  EXPECT_EQ(ReadWholeFile(folder, &bytes), FileResult::kCannotOpen) << "a folder is no file";
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{"out.xml"});
  std::filesystem::remove_all(folder);
}

}  // namespace
