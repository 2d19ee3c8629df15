#include "server_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <memory>
#include <string>
#include <vector>

#include "cfg_link.h"
#include "record_fixture.h"
#include "tarvik/registry.h"
#include "tarvik/ui_hooks.h"
#include "temp_root.h"

namespace tarvik::app {
namespace {
using testing::AddServer;
using testing::MakeServer;
using testing::MakeSet;
using testing::PortWord;

class ServerStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetMessageBoxHook([this](const std::string& text, const std::string&, unsigned) {
      messages_.push_back(text);
      return kIdOk;
    });
    RegKey services;
    ASSERT_EQ(services.Create(TKC_SERVICES_KEY), kErrorSuccess);
    services.Close();
    ASSERT_EQ(Tkc_RegCheckCreateServiceKey(), TKC_OK);
    set_ = MakeSet();
    const char* names[] = {"Q410X4", "3147", "RRB-341", "4629"};
    for (int i = 0; i < 4; ++i) {
      ServerRecord r = MakeServer(names[i], ("10.0.0." + std::to_string(i + 1)).c_str());
      ASSERT_EQ(Tkc_ParseServerInfo(&r, kServerRecordSize), TKC_OK) << names[i];
      for (uint32_t p = 0; p < r.PortNo; ++p) {
        r.PortMap[p + 2].Com = (r.PortMap[p + 2].Com & ~0xFFFu) | (10 * (i + 1) + p);
      }
      AddServer(*set_, r);
    }
    set_->Flags = TKC_FLAGS_FORMAT_MARKER;
    ASSERT_EQ(StoreConfigSet(*set_), TKC_OK);
    messages_.clear();
  }
  void TearDown() override { SetMessageBoxHook(nullptr); }

  // What the store holds, read back as the pane reads it.
  std::unique_ptr<ConfigSet> Stored() {
    auto stored = MakeSet();
    bool pending = false;
    EXPECT_EQ(LoadConfigSet(*stored, &pending), TKC_OK);
    return stored;
  }
  bool SubkeyExists(int number) {
    RegKey key;
    return key.Open(std::string(TKC_PARAMETER_KEY) + "\\Server" + std::to_string(number),
                    RegAccess::kRead) == kErrorSuccess;
  }
  std::vector<std::string> Names(const ConfigSet& set) {
    std::vector<std::string> names;
    for (uint32_t k = 0; k < set.Servers; ++k) names.push_back(set.Records[k].ServerName);
    return names;
  }
  uint32_t PortsOf(const ConfigSet& set) {
    uint32_t ports = 0;
    for (uint32_t k = 0; k < set.Servers; ++k) ports += set.Records[k].PortNo + 1;
    return ports;
  }

  TempStateRoot root_;
  std::unique_ptr<ConfigSet> set_;
  std::vector<std::string> messages_;
};

std::vector<int> Protocols(const ConfigSet& set) {
  return std::vector<int>(set.DataProtocol, set.DataProtocol + set.Servers);
}

TEST_F(ServerStoreTest, StoringAndLoadingKeepTheDataProtocolsBesideTheirRecords) {
  set_->DataProtocol[1] = TKC_DATA_PROTOCOL_RFC2217;
  set_->DataProtocol[3] = TKC_DATA_PROTOCOL_RFC2217;
  ASSERT_EQ(StoreConfigSet(*set_), TKC_OK);
  EXPECT_EQ(Protocols(*Stored()), (std::vector<int>{0, 1, 0, 1}));
}

TEST_F(ServerStoreTest, RemovingAServerKeepsEachDataProtocolWithItsServer) {
  set_->DataProtocol[2] = TKC_DATA_PROTOCOL_RFC2217;
  ASSERT_EQ(StoreConfigSet(*set_), TKC_OK);
  EXPECT_TRUE(RemoveServerFromStore(*set_, 0));
  auto stored = Stored();
  EXPECT_EQ(Names(*stored), (std::vector<std::string>{"3147", "RRB-341", "4629"}));
  EXPECT_EQ(Protocols(*stored), (std::vector<int>{0, 1, 0}))
      << "RRB-341 moved from subkey 3 to 2 and keeps RFC 2217";
}

TEST_F(ServerStoreTest, RemovingTheSecondOfFourRenumbersWithoutGaps) {
  EXPECT_TRUE(RemoveServerFromStore(*set_, 1));
  EXPECT_TRUE(messages_.empty()) << ::testing::PrintToString(messages_);
  auto stored = Stored();
  EXPECT_EQ(Names(*stored), (std::vector<std::string>{"Q410X4", "RRB-341", "4629"}));
  EXPECT_EQ(stored->Records[1].IPAddress, set_->Records[2].IPAddress);
  EXPECT_EQ(stored->Records[2].PortMap[2].Com, set_->Records[3].PortMap[2].Com);
  EXPECT_TRUE(SubkeyExists(3));
  EXPECT_FALSE(SubkeyExists(4));
  uint32_t servers = 0, ports = 0;
  ASSERT_EQ(Tkc_RegReadServersAndPorts(&servers, &ports), TKC_OK);
  EXPECT_EQ(servers, 3u);
  EXPECT_EQ(ports, PortsOf(*stored));
}

TEST_F(ServerStoreTest, RemovingTheLastAndTheOnlyServer) {
  EXPECT_TRUE(RemoveServerFromStore(*set_, 3));
  auto stored = Stored();
  EXPECT_EQ(Names(*stored), (std::vector<std::string>{"Q410X4", "3147", "RRB-341"}));
  EXPECT_FALSE(SubkeyExists(4));

  auto one = MakeSet();
  AddServer(*one, set_->Records[0]);
  ASSERT_EQ(StoreConfigSet(*one), TKC_OK);
  EXPECT_TRUE(RemoveServerFromStore(*one, 0));
  uint32_t servers = 9, ports = 9;
  ASSERT_EQ(Tkc_RegReadServersAndPorts(&servers, &ports), TKC_OK);
  EXPECT_EQ(servers, 0u);
  EXPECT_EQ(ports, 0u);
  EXPECT_FALSE(SubkeyExists(1));
}

TEST_F(ServerStoreTest, FailedMoveLeavesTheStoreAsItWas) {
  // A record that the store refuses (too many ports) cannot move down; the
  // removal must not delete anything then.
  set_->Records[2].PortNo = 99;
  EXPECT_FALSE(RemoveServerFromStore(*set_, 1));
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].rfind("Error Code:25\n", 0), 0u) << messages_[0];
  auto stored = Stored();
  EXPECT_EQ(Names(*stored),
            (std::vector<std::string>{"Q410X4", "3147", "RRB-341", "4629"}));
  EXPECT_TRUE(SubkeyExists(2));
}

TEST_F(ServerStoreTest, ReadOnlyStoreShowsTheFailuresAndKeepsEverything) {
  const std::string db = root_.Path() + "/registry.db";
  RegCloseStore();
  ASSERT_EQ(chmod(db.c_str(), 0444), 0);
  EXPECT_FALSE(RemoveServerFromStore(*set_, 0));
  EXPECT_EQ(messages_, std::vector<std::string>{"Failed to read the Servers/Ports registry key!"});
  messages_.clear();
  EXPECT_FALSE(RemoveAllServersFromStore(*set_));
  EXPECT_EQ(messages_.front(), "Error to Open Key");
  EXPECT_EQ(messages_.back(), "Failed to update the Servers/Ports registry!");
  RegCloseStore();
  ASSERT_EQ(chmod(db.c_str(), 0644), 0);
  EXPECT_EQ(Stored()->Servers, 4u);
  for (int n = 1; n <= 4; ++n) EXPECT_TRUE(SubkeyExists(n)) << n;
}

TEST_F(ServerStoreTest, RemovalKeepsEditsMadeOnlyInMemory) {
  CopyText(set_->Records[0].AliasName, "edited");
  set_->Records[0].PortMap[2].Com = (set_->Records[0].PortMap[2].Com & ~0xFFFu) | 77;
  EXPECT_TRUE(RemoveServerFromStore(*set_, 2));
  auto stored = Stored();
  EXPECT_STREQ(stored->Records[0].AliasName, "edited");
  EXPECT_EQ(ComNumber(stored->Records[0].PortMap[2].Com), 77u);
}

TEST_F(ServerStoreTest, RemoveAllLeavesNoServer) {
  EXPECT_TRUE(RemoveAllServersFromStore(*set_));
  EXPECT_EQ(Stored()->Servers, 0u);
  for (int n = 1; n <= 4; ++n) EXPECT_FALSE(SubkeyExists(n)) << n;
}

TEST_F(ServerStoreTest, LoadSetsAMissingFormatMarkerAndAsksForARestart) {
  set_->Flags = 0;
  ASSERT_EQ(StoreConfigSet(*set_), TKC_OK);
  auto loaded = MakeSet();
  bool pending = false;
  EXPECT_EQ(LoadConfigSet(*loaded, &pending), TKC_OK);
  EXPECT_TRUE(pending);
  EXPECT_EQ(loaded->Flags & TKC_FLAGS_FORMAT_MARKER, TKC_FLAGS_FORMAT_MARKER);
  pending = false;
  ASSERT_EQ(StoreConfigSet(*loaded), TKC_OK);
  EXPECT_EQ(LoadConfigSet(*loaded, &pending), TKC_OK);
  EXPECT_FALSE(pending);
}

TEST_F(ServerStoreTest, OwnComMapCountsEachMappedNumberOnce) {
  uint8_t map[TKC_MAX_COM];
  auto set = MakeSet();
  ServerRecord r = MakeServer("NH-0410", "10.0.0.1");
  r.PortNo = 2;
  r.PortMap[0].Com = 5;
  r.PortMap[2].Com = PortWord(4095, 1, 1, 0);
  r.PortMap[3].Com = PortWord(5, 2, 2, 0);
  AddServer(*set, r);
  EXPECT_EQ(BuildOwnComMap(*set, map), 2);
  EXPECT_EQ(map[4], 1);
  EXPECT_EQ(map[4094], 1);
  EXPECT_EQ(map[0], 0);
}

}  // namespace
}  // namespace tarvik::app
