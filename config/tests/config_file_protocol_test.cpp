// The servers' data protocols in the XML file: written by the export,
// taken by the import, and harmless to a reader that does not know them.
#include <cstring>
#include <vector>

#include "com_check.h"
#include "config_file_test_support.h"
#include "tarvik/registry.h"
#include "xml_config_reader.h"

using namespace cfgfile;

namespace cfgtest {
namespace {

class ConfigFileProtocol : public ConfigFileTest {
 protected:
  // Writes set as the store with the protocols given for its records.
  static void WriteStoreWithProtocols(ConfigSet* set, std::vector<uint8_t> protocols) {
    protocols.resize(TKC_MAX_SERVERS, 0);
    ASSERT_EQ(Tkc_RegWriteAllWithProtocols(set, protocols.data(), TKC_MAX_SERVERS), 0);
  }
  static std::vector<uint8_t> StoredProtocols(uint32_t* servers) {
    auto set = NewSet();
    std::vector<uint8_t> protocols(TKC_MAX_SERVERS, 9);
    EXPECT_EQ(Tkc_RegReadAllWithProtocols(set.get(), protocols.data(), TKC_MAX_SERVERS), 0);
    *servers = set->Servers;
    protocols.resize(set->Servers);
    return protocols;
  }
  uint16_t Import(const std::string& path) {
    uint16_t where = 0, driverFailed = 0;
    const uint16_t status = Tkc_ImportConfigFile(path.c_str(), &where, &driverFailed);
    // Without a driver service the restart fails after the store was
    // replaced; that is still an import.
    return driverFailed ? 0 : status;
  }
};

const char kHead[] =
    "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<VComConfiguration>\r\n<DriverOptions/>\r\n";

TEST_F(ConfigFileProtocol, ExportWritesTheProtocolAmongTheOptionsOnlyWhereItIsRfc2217) {
  auto set = NewSet();
  AddServer(set.get(), "Q410X2", 0x1401A8C0);               // raw, default options
  AddServer(set.get(), "Q410X2", 0x1501A8C0);               // RFC 2217, default options
  AddServer(set.get(), "Q410X2", 0x1601A8C0).TcpPortCmd = 4000;  // RFC 2217, one option
  WriteStoreWithProtocols(set.get(), {0, 1, 1});
  const std::string path = Folder() + "/out.xml";
  ASSERT_EQ(Tkc_ExportConfigFile(path.c_str()), kOk);
  EXPECT_EQ(ReadFile(path), std::string(kHead) +
                                "<Server>\r\n<IP>192.168.1.20</IP>\r\n<ServerName>Q410X2</ServerName>\r\n"
                                "</Server>\r\n"
                                "<Server>\r\n<IP>192.168.1.21</IP>\r\n<ServerName>Q410X2</ServerName>\r\n"
                                "<Options>\r\n<DataProtocol>1</DataProtocol>\r\n</Options>\r\n"
                                "</Server>\r\n"
                                "<Server>\r\n<IP>192.168.1.22</IP>\r\n<ServerName>Q410X2</ServerName>\r\n"
                                "<Options>\r\n<TcpPortCmd>4000</TcpPortCmd>\r\n"
                                "<DataProtocol>1</DataProtocol>\r\n</Options>\r\n"
                                "</Server>\r\n</VComConfiguration>\r\n");
}

TEST_F(ConfigFileProtocol, ImportTakesTheProtocolAndAServerWithoutOneGetsRaw) {
  // The old store had RFC 2217 on its first server; the file's first
  // server names no protocol and must not inherit that.
  auto old = NewSet();
  AddServer(old.get(), "Q410X2", 0x0100000A);
  WriteStoreWithProtocols(old.get(), {1});
  const std::string path = Folder() + "/in.xml";
  WriteFile(path, std::string(kHead) +
                      "<Server>\r\n<IP>10.0.0.5</IP>\r\n<ServerName>Q410X2</ServerName>\r\n</Server>\r\n"
                      "<Server>\r\n<IP>10.0.0.6</IP>\r\n<ServerName>Q410X2</ServerName>\r\n"
                      "<Options>\r\n<DataProtocol>1</DataProtocol>\r\n</Options>\r\n</Server>\r\n"
                      "<Server>\r\n<IP>10.0.0.7</IP>\r\n<ServerName>Q410X2</ServerName>\r\n"
                      "<Options>\r\n<DataProtocol>2</DataProtocol>\r\n</Options>\r\n</Server>\r\n"
                      "</VComConfiguration>\r\n");
  ASSERT_EQ(Import(path), 0);
  uint32_t servers = 0;
  EXPECT_EQ(StoredProtocols(&servers), (std::vector<uint8_t>{0, 1, 0}))
      << "a protocol this reader does not know leaves the server on raw TCP";
  EXPECT_EQ(servers, 3u);
}

TEST_F(ConfigFileProtocol, ExportThenImportGivesEveryServerItsProtocolBack) {
  auto set = NewSet();
  std::vector<uint8_t> protocols;
  for (uint32_t i = 0; i < 12; ++i) {
    AddServer(set.get(), i % 2 ? "3147" : "Q410X4", 0x0100000A + (i << 24));
    protocols.push_back(i % 3 == 1 ? 1 : 0);
  }
  WriteStoreWithProtocols(set.get(), protocols);
  const std::string path = Folder() + "/round.xml";
  ASSERT_EQ(Tkc_ExportConfigFile(path.c_str()), kOk);
  WriteStoreWithProtocols(set.get(), std::vector<uint8_t>(12, 1));  // to be replaced
  ASSERT_EQ(Import(path), 0);
  uint32_t servers = 0;
  EXPECT_EQ(StoredProtocols(&servers), protocols);
}

// A reader that does not know the element skips it (unknown names are
// skipped at every level), so it must read every other value of the file
// exactly as it would without the element.
TEST_F(ConfigFileProtocol, TheElementChangesNothingElseAReaderTakes) {
  const std::string server =
      "<Server>\r\n<IP>10.0.0.5</IP>\r\n<ServerName>3147</ServerName>\r\n<Options>\r\n"
      "<TcpPortCmd>4000</TcpPortCmd>\r\n%s<KeepAliveTime>30</KeepAliveTime>\r\n</Options>\r\n"
      "<Port>\r\n<PortName>Port2</PortName>\r\n<Mapping>COM8</Mapping>\r\n</Port>\r\n</Server>\r\n";
  auto document = [&](const char* element) {
    std::string text = server;
    text.replace(text.find("%s"), 2, element);
    return std::string(kHead) + text + "</VComConfiguration>\r\n";
  };
  auto with = NewSet();
  auto without = NewSet();
  Protocols protocols = {};
  uint16_t where = 0;
  ComCheck coms(nullptr), coms2(nullptr);
  ASSERT_EQ(ReadXmlConfig(document("<DataProtocol>1</DataProtocol>\r\n"), with.get(), nullptr,
                          &coms, &where),
            kOk);
  where = 0;
  ASSERT_EQ(ReadXmlConfig(document(""), without.get(), &protocols, &coms2, &where), kOk);
  EXPECT_EQ(protocols[0], 0) << "a file without the element reads as raw";
  EXPECT_EQ(std::memcmp(with.get(), without.get(), sizeof(ConfigSet)), 0);
}

}  // namespace
}  // namespace cfgtest
