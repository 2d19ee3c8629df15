// The utility's copy of the set against writes of other processes. Another
// process is played by direct library calls: they raise the store's change
// counter just as a second program's would.
#include "store_sync.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "record_fixture.h"
#include "server_store.h"
#include "tarvik/registry.h"
#include "tarvik/text.h"
#include "tarvik/ui_hooks.h"
#include "temp_root.h"

namespace tarvik::app {
namespace {
using testing::AddServer;
using testing::MakeServer;
using testing::MakeSet;

class StoreSyncTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetMessageBoxHook([this](const std::string& text, const std::string&, unsigned) {
      messages_.push_back(text);
      const int answer = answers_.empty() ? kIdOk : answers_.front();
      if (!answers_.empty()) answers_.erase(answers_.begin());
      return answer;
    });
    RegKey services;
    ASSERT_EQ(services.Create(TKC_SERVICES_KEY), kErrorSuccess);
    services.Close();
    ASSERT_EQ(Tkc_RegCheckCreateServiceKey(), TKC_OK);
    auto first = MakeSet();
    AddServer(*first, MakeServer("3147", "10.0.0.1", "old one"));
    AddServer(*first, MakeServer("4629", "10.0.0.2", "old two"));
    first->Flags = TKC_FLAGS_FORMAT_MARKER;
    ASSERT_EQ(StoreConfigSet(*first), TKC_OK);
    set_ = MakeSet();
    base_ = std::make_unique<StoreBaseline>();
    ASSERT_EQ(LoadTracked(*set_, *base_, &pending_), TKC_OK);
  }
  void TearDown() override { SetMessageBoxHook(nullptr); }

  // Another process writes server 1 with a new alias.
  void OtherProcessRenames(const char* alias) {
    ServerRecord r = MakeServer("4629", "10.0.0.2", alias);
    ASSERT_EQ(Tkc_RegWriteOneServer(1, &r, kServerRecordSize), TKC_OK);
  }
  std::string StoredAlias(int index) {
    ServerRecord r;
    EXPECT_EQ(Tkc_RegReadOneServer(index, &r, kServerRecordSize), TKC_OK);
    return r.AliasName;
  }

  TempStateRoot root_;
  std::unique_ptr<ConfigSet> set_;
  std::unique_ptr<StoreBaseline> base_;
  bool pending_ = false;
  std::vector<std::string> messages_;
  std::vector<int> answers_;
};

TEST_F(StoreSyncTest, WithoutOwnChangesAnotherProcessesWriteIsReloadedNotOverwritten) {
  OtherProcessRenames("theirs");
  EXPECT_EQ(StoreTracked(*set_, *base_, &pending_), StoreResult::kReloaded);
  EXPECT_EQ(StoredAlias(1), "theirs");
  EXPECT_STREQ(set_->Records[1].AliasName, "theirs");
  EXPECT_TRUE(messages_.empty()) << "a reload is told in the status bar, not in a box";
  EXPECT_EQ(StoreTracked(*set_, *base_, &pending_), StoreResult::kWritten)
      << "after the reload the two are in step again";
}

struct Conflict {
  const char* name;
  int answer;
  const char* storedAfter;
};

class StoreSyncConflict : public StoreSyncTest, public ::testing::WithParamInterface<Conflict> {};

TEST_P(StoreSyncConflict, BothChangedAsksWhoseListStays) {
  tarvik::CopyText(set_->Records[0].AliasName, "mine");
  OtherProcessRenames("theirs");
  answers_ = {GetParam().answer};
  const StoreResult result = StoreTracked(*set_, *base_, &pending_);
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0], kWhoseListQuestion);
  EXPECT_EQ(StoredAlias(1), GetParam().storedAfter);
  EXPECT_EQ(std::string(set_->Records[1].AliasName), GetParam().storedAfter)
      << "what the utility shows is what the store holds";
  if (GetParam().answer == kIdYes) {
    EXPECT_EQ(result, StoreResult::kWritten);
    EXPECT_EQ(StoredAlias(0), "mine");
  } else {
    EXPECT_EQ(result, StoreResult::kReloaded);
    EXPECT_EQ(StoredAlias(0), "old one");
  }
}

INSTANTIATE_TEST_SUITE_P(Answers, StoreSyncConflict,
                         ::testing::Values(Conflict{"KeepMine", kIdYes, "old two"},
                                           Conflict{"TakeTheirs", kIdNo, "theirs"}),
                         [](const ::testing::TestParamInfo<Conflict>& info) {
                           return info.param.name;
                         });

TEST_F(StoreSyncTest, TheUtilitysOwnWritesAreNotTakenForAnotherProcesses) {
  tarvik::CopyText(set_->Records[1].AliasName, "edited");
  EXPECT_EQ(WriteServerTracked(*set_, *base_, 1, &pending_), StoreResult::kWritten);
  EXPECT_FALSE(HasOwnChanges(*set_, *base_));
  EXPECT_EQ(StoreTracked(*set_, *base_, &pending_), StoreResult::kWritten);
  EXPECT_EQ(StoreTracked(*set_, *base_, &pending_), StoreResult::kWritten);
  EXPECT_TRUE(messages_.empty());
  EXPECT_EQ(StoredAlias(1), "edited");
}

// The data protocol lives beside the record; a change to it alone is still
// the user's work, and another process's change to it must be noticed.
TEST_F(StoreSyncTest, ADataProtocolChangedAloneIsWrittenAndNotLost) {
  set_->DataProtocol[1] = TKC_DATA_PROTOCOL_RFC2217;
  EXPECT_TRUE(HasOwnChanges(*set_, *base_));
  EXPECT_EQ(WriteServerTracked(*set_, *base_, 1, &pending_), StoreResult::kWritten);
  EXPECT_FALSE(HasOwnChanges(*set_, *base_));
  uint32_t protocol = 0;
  ASSERT_EQ(Tkc_RegGetDataProtocol(1, &protocol), TKC_OK);
  EXPECT_EQ(protocol, TKC_DATA_PROTOCOL_RFC2217);

  ASSERT_EQ(Tkc_RegSetDataProtocol(0, TKC_DATA_PROTOCOL_RFC2217), TKC_OK);  // another process
  EXPECT_EQ(StoreTracked(*set_, *base_, &pending_), StoreResult::kReloaded);
  EXPECT_EQ(set_->DataProtocol[0], TKC_DATA_PROTOCOL_RFC2217);
  EXPECT_EQ(set_->DataProtocol[1], TKC_DATA_PROTOCOL_RFC2217);
}

TEST_F(StoreSyncTest, AnEditOfAServerAfterAnotherProcessWroteAsksFirst) {
  OtherProcessRenames("theirs");
  tarvik::CopyText(set_->Records[0].AliasName, "mine");
  answers_ = {kIdNo};
  EXPECT_EQ(WriteServerTracked(*set_, *base_, 0, &pending_), StoreResult::kReloaded);
  EXPECT_EQ(messages_.size(), 1u);
  EXPECT_EQ(StoredAlias(1), "theirs");
}

// Lost configuration: after a load that left a damaged server out, an
// unchanged set is not written back; a changed one is.
TEST_F(StoreSyncTest, LostConfigurationAfterAFailedLoadTheStoreIsLeftAlone) {
  {
    RegKey damaged;
    ASSERT_EQ(damaged.Open(std::string(TKC_PARAMETER_KEY) + "\\Server1", RegAccess::kFullAccess),
              kErrorSuccess);
    ASSERT_EQ(damaged.DeleteValue("PortNo"), kErrorSuccess);
  }
  ASSERT_EQ(LoadTracked(*set_, *base_, &pending_), TKC_ERR_SERVER_VALUE);
  ASSERT_EQ(set_->Servers, 1u);
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_NE(messages_[0].find("Not read: Server1."), std::string::npos) << messages_[0];

  EXPECT_EQ(StoreTracked(*set_, *base_, &pending_), StoreResult::kSkipped);
  uint32_t servers = 0, ports = 0;
  ASSERT_EQ(Tkc_RegReadServersAndPorts(&servers, &ports), TKC_OK);
  EXPECT_EQ(servers, 2u) << "the server that was not read is still there";
  EXPECT_EQ(StoredAlias(1), "old two");

  tarvik::CopyText(set_->Records[0].AliasName, "changed");
  EXPECT_EQ(StoreTracked(*set_, *base_, &pending_), StoreResult::kWritten);
  EXPECT_EQ(StoredAlias(0), "changed");
}

TEST(FindServerAgain, FollowsTheServerToItsNewIndexOrReportsItGone) {
  auto set = MakeSet();
  const ServerRecord a = MakeServer("3147", "10.0.0.1");
  const ServerRecord b = MakeServer("4629", "10.0.0.2");
  const ServerRecord c = MakeServer("4629", "10.0.0.3");
  AddServer(*set, a);
  AddServer(*set, b);
  EXPECT_EQ(FindServerAgain(*set, 1, b), 1);
  auto moved = MakeSet();
  AddServer(*moved, c);
  AddServer(*moved, a);
  AddServer(*moved, b);
  EXPECT_EQ(FindServerAgain(*moved, 1, b), 2) << "index 1 now holds another server";
  EXPECT_EQ(FindServerAgain(*moved, 0, a), 1);
  auto gone = MakeSet();
  AddServer(*gone, c);
  EXPECT_EQ(FindServerAgain(*gone, 0, b), -1);
}

// The periodic host-name lookup rewrites a server's address while a box or
// dialog is open; its host name still names it.
TEST(FindServerAgain, ServerWithAHostNameIsFoundAfterItsAddressMoved) {
  const ServerRecord named = MakeServer("4629", "10.0.0.2", "", "b.example");
  ServerRecord looked = named;
  looked.IPAddress = 0x0900000A;  // 10.0.0.9
  const ServerRecord twin = MakeServer("4629", "10.0.0.7", "", "b.example");
  auto set = MakeSet();
  AddServer(*set, MakeServer("3147", "10.0.0.1"));
  AddServer(*set, looked);
  EXPECT_EQ(FindServerAgain(*set, 1, named), 1);
  EXPECT_EQ(FindServerAgain(*set, 0, named), 1) << "moved as well";

  // The exact server first, then the same host name at the old index.
  auto both = MakeSet();
  AddServer(*both, twin);
  AddServer(*both, named);
  EXPECT_EQ(FindServerAgain(*both, 0, named), 1);
  auto pair = MakeSet();
  AddServer(*pair, looked);
  AddServer(*pair, twin);
  EXPECT_EQ(FindServerAgain(*pair, 1, named), 1);

  // Without a host name an address that moved is another server.
  ServerRecord plain = MakeServer("4629", "10.0.0.2");
  ServerRecord readdressed = plain;
  readdressed.IPAddress = 0x0900000A;
  auto other = MakeSet();
  AddServer(*other, readdressed);
  EXPECT_EQ(FindServerAgain(*other, 0, plain), -1);
  // Nor does a host name alone make two models one server.
  ServerRecord renamed = looked;
  tarvik::CopyText(renamed.ServerName, "3147");
  auto model = MakeSet();
  AddServer(*model, renamed);
  EXPECT_EQ(FindServerAgain(*model, 0, named), -1);
}

}  // namespace
}  // namespace tarvik::app
