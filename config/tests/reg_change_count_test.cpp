// The store's change counter: which writes raise it, and that a write that
// does not reach the store leaves it alone.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>

#include "store_fixture.h"
#include "tarvik/registry.h"
#include "tarvikcfg.h"

namespace {

using tkctest::SetBox;
using tkctest::StoreTest;

uint32_t Count() {
  uint32_t count = 0xDEADBEEF;
  EXPECT_EQ(Tkc_RegGetChangeCount(&count), 0);
  return count;
}

TkcServerRecord Server(uint32_t ports) {
  TkcServerRecord r{};
  std::snprintf(r.ServerName, sizeof r.ServerName, "4629");
  r.IPAddress = 0x0A00A8C0;
  r.PortNo = ports;
  r.TcpPortCmd = 10000;
  r.TcpPort7000 = 9999;
  return r;
}

uint16_t AddServer(TkcServerRecord* record, uint32_t options) {
  TkcAddServerRequest request{};
  request.Size = sizeof request;
  request.Options = options;
  return Tkc_RegAddServer(record, sizeof *record, &request, nullptr);
}

struct CountedOp {
  const char* name;
  std::function<uint16_t()> run;
  uint32_t raisedBy;  // 0: an option or a read, which must not count
};

class ChangeCount : public StoreTest {};

TEST_F(ChangeCount, EveryWriteOfServersOrCountsRaisesItOptionsAndReadsDoNot) {
  static SetBox box;
  static SetBox read;
  TkcServerRecord record = Server(2);
  const uint32_t info[3] = {1, 3, 1};
  uint32_t a = 0, b = 0;
  const CountedOp ops[] = {
      {"WriteOneServer", [&] { return Tkc_RegWriteOneServer(0, &record, sizeof record); }, 1},
      {"AddServersAndPortsCount", [] { return Tkc_RegAddServersAndPortsCount(1, 3); }, 1},
      {"WriteServersAndPorts", [] { return Tkc_RegWriteServersAndPorts(1, 3); }, 1},
      {"WriteInfo", [&] { return Tkc_RegWriteInfo(info); }, 1},
      {"WriteAll",
       [&] {
         box->Servers = 1;
         box->Records[0] = Server(2);
         return Tkc_RegWriteAll(box.set);
       },
       1},
      {"AddServer", [&] { return AddServer(&record, 0); }, 1},
      {"AddServerThatIsADuplicate", [&] { return AddServer(&record, TKC_ADD_SKIP_DUPLICATE); }, 0},
      {"DeleteAll", [] { return Tkc_RegDeleteAll(); }, 1},
      {"DeleteAllOfAnEmptyStore", [] { return Tkc_RegDeleteAll(); }, 0},
      {"AddZeroDeltas", [] { return Tkc_RegAddServersAndPortsCount(0, 0); }, 0},
      {"SetSortingType", [] { return Tkc_RegSetSortingType(3); }, 0},
      {"SetQueryInterval", [] { return Tkc_RegSetQueryInterval(60); }, 0},
      {"ReadAll", [&] { return Tkc_RegReadAll(read.set); }, 0},
      {"ReadServersAndPorts", [&] { return Tkc_RegReadServersAndPorts(&a, &b); }, 0},
  };
  EXPECT_EQ(Count(), 0u) << "a store that never counted reads as 0";
  for (const CountedOp& op : ops) {
    const uint32_t before = Count();
    ASSERT_EQ(op.run(), 0) << op.name;
    EXPECT_EQ(Count(), before + op.raisedBy) << op.name;
  }
}

TEST_F(ChangeCount, AWriteThatIsRefusedOrRolledBackDoesNotCount) {
  TkcServerRecord tooMany = Server(69);
  ASSERT_EQ(Tkc_RegWriteOneServer(0, &tooMany, sizeof tooMany), 25);
  EXPECT_EQ(Count(), 0u);
  {
    tarvik::RegTransaction outer;
    TkcServerRecord record = Server(1);
    ASSERT_EQ(Tkc_RegWriteOneServer(0, &record, sizeof record), 0);
    // The outer scope ends without a commit: neither the server nor its count stays.
  }
  EXPECT_EQ(Count(), 0u);
}

TEST_F(ChangeCount, WrapsAroundAndIgnoresNull) {
  {
    tarvik::RegKey params;
    ASSERT_EQ(params.Open(TKC_PARAMETER_KEY, tarvik::RegAccess::kFullAccess), 0);
    ASSERT_EQ(params.SetDword("ChangeCount", 0xFFFFFFFFu), 0);
  }
  ASSERT_EQ(Tkc_RegWriteServersAndPorts(0, 0), 0);
  EXPECT_EQ(Count(), 0u);
  EXPECT_EQ(Tkc_RegGetChangeCount(nullptr), 24);
}

}  // namespace
