#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <cstring>

#include "config_file_test_support.h"
#include "tarvik/registry.h"
#include "tarvik/state_root.h"

using namespace cfgfile;

namespace cfgtest {
namespace {

class ConfigFileImport : public ConfigFileTest {
 protected:
  void SetUp() override {
    ConfigFileTest::SetUp();
    // A store to be replaced: one server with two mapped ports.
    auto set = NewSet();
    Record& r = AddServer(set.get(), "3144", 0x0100A8C0);
    ComWord(r, 0) |= 40;
    ComWord(r, 2) |= 41;
    std::snprintf(r.PW, sizeof r.PW, "5A5A");
    WriteStore(set.get());
    AddSerialPort(3);
  }

  std::string Snapshot() {
    const std::string path = Folder() + "/snapshot.xml";
    EXPECT_EQ(Tkc_ExportConfigFile(path.c_str()), kOk);
    return ReadFile(path);
  }

  uint16_t Import(const std::string& path) {
    where_ = 0xFFFF;
    driverFailed_ = 0xFFFF;
    return Tkc_ImportConfigFile(path.c_str(), &where_, &driverFailed_);
  }

  // An import whose driver restart is the only thing that failed.
  void ExpectImported(uint16_t status) {
    if (status != 0) {
      EXPECT_EQ(driverFailed_, 1) << "status " << status;
    } else {
      EXPECT_EQ(driverFailed_, 0);
    }
  }

  uint16_t where_ = 0;
  uint16_t driverFailed_ = 0;
};

struct FileCase {
  const char* name;
  const char* file;
  uint16_t status;
  uint16_t where;
};

class ConfigFileImportFailures : public ConfigFileImport, public testing::WithParamInterface<FileCase> {};

TEST_P(ConfigFileImportFailures, ReturnTheStatusAndLeaveTheStoreAlone) {
  const std::string before = Snapshot();
  testing::internal::CaptureStdout();
  const uint16_t status = Import(FixturePath(GetParam().file));
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(status, GetParam().status);
  EXPECT_EQ(where_, GetParam().where);
  EXPECT_EQ(driverFailed_, 0);
  EXPECT_EQ(Snapshot(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, ConfigFileImportFailures,
    testing::Values(FileCase{"Missing", "no_such_file.xml", kCannotOpen, 0},
                    FileCase{"LongLine", "code12_long_line.cfg", kCannotRead, 2},
                    FileCase{"XmlNoIp", "code13_no_ip.xml", kNoUsableIp, 2},
                    FileCase{"XmlBroadcastIp", "code13_broadcast_ip.xml", kNoUsableIp, 1},
                    FileCase{"TextMissingComma", "code14_missing_comma.cfg", kSyntax, 3},
                    FileCase{"TextIpNotVar", "code14_ip_not_var.cfg", kSyntax, 2},
                    FileCase{"XmlComOccupied", "code15_com_occupied.xml", kComOccupied, 1},
                    FileCase{"TextComOccupied", "code15_com_occupied.cfg", kComOccupied, 2},
                    FileCase{"XmlComTwice", "code16_com_twice.xml", kComTwice, 1},
                    FileCase{"TextComTwice", "code16_com_twice.cfg", kComTwice, 3},
                    FileCase{"XmlNoServer", "code17_no_server.xml", kNoServer, 0},
                    FileCase{"TextNoServer", "code17_no_server.cfg", kNoServer, 0},
                    FileCase{"TextNoVersion", "code20_no_version.cfg", kBadVersion, 1},
                    FileCase{"TextVersion10", "code20_version_10.cfg", kBadVersion, 1},
                    FileCase{"TextUnknownOption", "code22_unknown_option.cfg", kUnknownOption, 2},
                    FileCase{"TextUnknownModel", "code23_unknown_model.cfg", kBadValue, 3},
                    FileCase{"TextTooManyPorts", "code23_too_many_ports.cfg", kBadValue, 2},
                    FileCase{"XmlUnknownName", "code25_unknown_name.xml", kTooMany, 1},
                    FileCase{"XmlNoName", "code25_no_name.xml", kTooMany, 1},
                    FileCase{"Xml16Bit", "code26_utf16.xml", kNulBytes, 0},
                    FileCase{"XmlNotWellFormed", "code27_not_well_formed.xml", kNotWellFormed, 0},
                    FileCase{"XmlPortBeforeName", "code28_port_before_name.xml", kBadPortName, 1},
                    FileCase{"XmlPortNotInLayout", "code28_port_not_in_layout.xml", kBadPortName, 1},
                    FileCase{"XmlShortPortName", "code28_short_port_name.xml", kBadPortName, 1}),
    [](const testing::TestParamInfo<FileCase>& info) { return info.param.name; });

TEST_F(ConfigFileImport, XmlFileReplacesTheWholeStore) {
  const uint16_t status = Import(FixturePath("ok_two_servers.xml"));
  ExpectImported(status);
  EXPECT_EQ(where_, 2);
  auto set = ReadStore();
  ASSERT_EQ(set->Servers, 2u);
  EXPECT_EQ(set->Ports, 5u + 3u);
  EXPECT_EQ(set->Flags, kFormatMarker | kFastOpen | 25u << kCloseDelayShift);

  const Record& a = set->Records[0];
  EXPECT_STREQ(a.ServerName, "3147");
  EXPECT_EQ(a.IPAddress, 0x0500000Au);
  EXPECT_EQ(a.IPAddress2, 0x0501000Au);
  EXPECT_STREQ(a.AliasName, "Hall & yard <north>");
  EXPECT_STREQ(a.PW, "") << "passwords are not carried by the file";
  EXPECT_EQ(a.KeepAliveTime, 60000u);
  EXPECT_EQ(a.TcpPortCmd, 10001u);
  EXPECT_EQ(a.ConnectTimeout, kDefaultConnectTimeout);
  EXPECT_EQ(ComNumber(ComWord(a, 0)), 9u);
  EXPECT_EQ(ComNumber(ComWord(a, 2)), 6u);
  EXPECT_EQ(OptionsWord(a, 2), kWriteBuffer | 12u << kAutoFlushShift);
  EXPECT_EQ(ComNumber(ComWord(a, 3)), 0u);
  EXPECT_EQ(ComWord(a, 5) & (kComNumberMask | kDisablePurge), 4u | kDisablePurge);
  EXPECT_EQ(DevicePort(ComWord(a, 5)), 4u);

  const Record& b = set->Records[1];
  EXPECT_STREQ(b.ServerName, "Q410X2");
  EXPECT_STREQ(b.HostName, "ds20.plant.example");
  EXPECT_EQ(ComNumber(ComWord(b, 3)), 5u);
  EXPECT_TRUE(messages_.empty());
}

// Another process that holds a copy of the set learns of the import only
// through the change counter.
TEST_F(ConfigFileImport, AnImportRaisesTheChangeCounterAFailedOneDoesNot) {
  uint32_t before = 0, after = 0;
  ASSERT_EQ(Tkc_RegGetChangeCount(&before), 0);
  EXPECT_NE(Import(FixturePath("code27_not_well_formed.xml")), 0);
  ASSERT_EQ(Tkc_RegGetChangeCount(&after), 0);
  EXPECT_EQ(after, before);
  ExpectImported(Import(FixturePath("ok_two_servers.xml")));
  ASSERT_EQ(Tkc_RegGetChangeCount(&after), 0);
  EXPECT_GT(after, before);
}

TEST_F(ConfigFileImport, TextFileReplacesTheStoreAndTracesItsLines) {
  testing::internal::CaptureStdout();
  const uint16_t status = Import(FixturePath("ok_no_prefix.cfg"));
  const std::string trace = testing::internal::GetCapturedStdout();
  ExpectImported(status);
  EXPECT_EQ(trace,
            "\n>line:1, str:[VERSION=1.1]\n>line:2, str:[VAR=10.0.0.5,1,COM1]\n>line:3, str:[VAR=10.0.0.6,1,COM2]");
  auto set = ReadStore();
  ASSERT_EQ(set->Servers, 2u);
  EXPECT_STREQ(set->Records[1].ServerName, "Q410X1");
  EXPECT_EQ(ComNumber(ComWord(set->Records[1], 2)), 2u);
  EXPECT_EQ(set->Flags, kFormatMarker) << "a text file clears the driver options";
}

TEST_F(ConfigFileImport, FileTypeFollowsTheNameInAnyCase) {
  WriteFile(Folder() + "/copy.XmL", ReadFile(FixturePath("ok_two_servers.xml")));
  ExpectImported(Import(Folder() + "/copy.XmL"));
  EXPECT_EQ(where_, 2);
  WriteFile(Folder() + "/copy.cfg", ReadFile(FixturePath("ok_two_servers.xml")));
  testing::internal::CaptureStdout();
  const uint16_t status = Import(Folder() + "/copy.cfg");
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(status, kNoServer) << "read as text, its first line is no keyword and ends the file";
}

TEST_F(ConfigFileImport, UnknownDeviceNameIsShownAsTheParserSaysIt) {
  EXPECT_EQ(Import(FixturePath("code25_unknown_name.xml")), kTooMany);
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].text, "ParseServerInfo() Error, code:25");
  EXPECT_EQ(messages_[0].caption, "Virtual COM DLL");
}

TEST_F(ConfigFileImport, WithoutADriverServiceTheStoreIsReplacedAndTheFlagSet) {
  const uint16_t status = Import(FixturePath("ok_two_servers.xml"));
  if (status == 0) GTEST_SKIP() << "a driver service answered in this root";
  EXPECT_EQ(driverFailed_, 1);
  EXPECT_EQ(ReadStore()->Servers, 2u);
}

// The store is replaced in one transaction: when the disk fills up in the
// middle of writing the new servers, the old configuration must stay whole.
TEST_F(ConfigFileImport, StoreThatFillsUpMidwayKeepsTheOldConfiguration) {
  const std::string big = Folder() + "/big.xml";
  const std::string original = Folder() + "/original.xml";
  ASSERT_EQ(Tkc_ExportConfigFile(original.c_str()), kOk);
  {
    auto set = NewSet();
    for (uint32_t i = 0; i < 4000; ++i) {
      Record& r = AddServer(set.get(), "3144", 0x0A000000u + i);
      ComWord(r, 2) |= 50 + i;  // clear of the serial port COM3
    }
    WriteStore(set.get());
    ASSERT_EQ(Tkc_ExportConfigFile(big.c_str()), kOk);
  }
  Import(original);  // back to the one-server store
  const std::string before = Snapshot();
  ASSERT_NE(before.find("3144"), std::string::npos);
  tarvik::RegCloseStore();  // the child starts with an empty journal

  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{512 * 1024, 512 * 1024};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    uint16_t where = 0, driverFailed = 0;
    const uint16_t status = Tkc_ImportConfigFile(big.c_str(), &where, &driverFailed);
    ::_exit(status == 0 || driverFailed ? 1 : 0);  // the import must report the failure
  }
  int wstatus = 0;
  ASSERT_EQ(::waitpid(pid, &wstatus, 0), pid);
  ASSERT_TRUE(WIFEXITED(wstatus));
  EXPECT_EQ(WEXITSTATUS(wstatus), 0) << "the failed import was reported as success";
  tarvik::RegCloseStore();
  EXPECT_EQ(Snapshot(), before);
  EXPECT_EQ(ReadStore()->Servers, 1u);
}

TEST_F(ConfigFileImport, OverlongNamesAreCutToTheirFields) {
  const std::string name = "XYZ1558-8" + std::string(60, 'N');
  const std::string alias(60, 'a');
  const std::string host(200, 'h');
  WriteFile(Folder() + "/long.xml",
            "<?xml version=\"1.0\"?><VComConfiguration><Server><IP>10.0.0.9</IP><ServerName>" + name +
                "</ServerName><AliasName>" + alias + "</AliasName><HostName>" + host +
                "</HostName></Server></VComConfiguration>");
  ExpectImported(Import(Folder() + "/long.xml"));
  auto set = ReadStore();
  ASSERT_EQ(set->Servers, 1u);
  EXPECT_EQ(std::string(set->Records[0].ServerName), name.substr(0, 49));
  EXPECT_EQ(set->Records[0].PortNo, 8u);
  EXPECT_EQ(std::string(set->Records[0].AliasName), alias.substr(0, 49));
  EXPECT_EQ(std::string(set->Records[0].HostName), host.substr(0, 127));
}

TEST_F(ConfigFileImport, MoreThan4095ServersAreRefused) {
  std::string text = "<?xml version=\"1.0\"?>\r\n<VComConfiguration>\r\n";
  for (int i = 0; i < 4096; ++i) {
    text += "<Server><IP>10.1." + std::to_string(i / 256) + "." + std::to_string(i % 256) +
            "</IP><ServerName>5JV2</ServerName></Server>\r\n";
  }
  text += "</VComConfiguration>\r\n";
  WriteFile(Folder() + "/many.xml", text);
  const std::string before = Snapshot();
  EXPECT_EQ(Import(Folder() + "/many.xml"), kTooMany);
  EXPECT_EQ(where_, 4096);
  EXPECT_EQ(Snapshot(), before);
}

TEST_F(ConfigFileImport, ReadOnlyStoreIsRefusedBeforeTheFileIsRead) {
  const std::string before = Snapshot();
  tarvik::RegCloseStore();
  ASSERT_EQ(chmod(tarvik::RegistryPath().c_str(), 0444), 0);
  const uint16_t status = Import(FixturePath("ok_two_servers.xml"));
  ASSERT_EQ(chmod(tarvik::RegistryPath().c_str(), 0644), 0);
  tarvik::RegCloseStore();
  EXPECT_EQ(status, kKeyFailed);
  EXPECT_EQ(where_, 0);
  EXPECT_EQ(driverFailed_, 0);
  EXPECT_EQ(Snapshot(), before);
}

TEST_F(ConfigFileImport, NullOutputsAreAllowed) {
  EXPECT_EQ(Tkc_ImportConfigFile(FixturePath("code27_not_well_formed.xml").c_str(), nullptr, nullptr),
            kNotWellFormed);
  EXPECT_EQ(Tkc_ImportConfigFile(nullptr, nullptr, nullptr), kCannotOpen);
}

}  // namespace
}  // namespace cfgtest
