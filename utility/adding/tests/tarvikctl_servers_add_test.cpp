// tarvikctl servers add as a script sees it: what two runs at once leave
// in the store, and how a server that ran out of COM numbers is reported.
// Names are given (--name), so no device is asked and no network is used.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "program_run.h"
#include "tarvik/registry.h"
#include "tarvikcfg.h"
#include "temp_root.h"

namespace {

tarvik::ProgramRun Ctl(const std::string& line) {
  return tarvik::RunProgram(TARVIKCTL_PATH, tarvik::SplitWords(line));
}

class TarvikctlServersAdd : public ::testing::Test {
 protected:
  tarvik::TempStateRoot root;
};

TEST_F(TarvikctlServersAdd, TwoRunsAtOnceKeepEveryServerAndShareNoComNumber) {
  {
    // The keys exist before the two runs race to make them.
    tarvik::RegKey services;
    ASSERT_EQ(services.Create(TKC_SERVICES_KEY), tarvik::kErrorSuccess);
  }
  ASSERT_EQ(Tkc_RegCheckCreateServiceKey(), 0);
  tarvik::RegCloseStore();
  tarvik::ProgramRun runs[2];
  std::thread first([&] { runs[0] = Ctl("servers add 127.0.0.1 127.0.0.150 --name Q410X2 --com 1"); });
  std::thread second([&] { runs[1] = Ctl("servers add 127.0.1.1 127.0.1.150 --name Q410X4 --com 1"); });
  first.join();
  second.join();
  for (const tarvik::ProgramRun& run : runs) ASSERT_EQ(run.code, 0) << run.err;

  static TkcConfigSet set;
  set.SizeStamp = TKC_SET_SIZE;
  ASSERT_EQ(Tkc_RegReadAll(&set), 0);
  ASSERT_EQ(set.Servers, 300u);
  EXPECT_EQ(set.Ports, 150u * 3 + 150u * 5);
  std::set<uint32_t> addresses, coms;
  for (uint32_t s = 0; s < set.Servers; ++s) {
    const TkcServerRecord& r = set.Records[s];
    addresses.insert(r.IPAddress);
    for (uint32_t e = 2; e <= r.PortNo + 1; ++e) {
      const uint32_t com = TkcComNumber(r.PortMap[e].Com);
      EXPECT_NE(com, 0u) << r.ServerName;
      EXPECT_TRUE(coms.insert(com).second) << "COM" << com << " given twice";
    }
  }
  EXPECT_EQ(addresses.size(), 300u);
  // Each run printed the index its servers really got.
  std::set<std::string> indexes;
  for (const tarvik::ProgramRun& run : runs) {
    for (size_t at = run.out.find("added index="); at != std::string::npos;
         at = run.out.find("added index=", at + 1))
      indexes.insert(run.out.substr(at + 12, run.out.find(' ', at) - at - 12));
  }
  EXPECT_EQ(indexes.size(), 300u);
}

TEST_F(TarvikctlServersAdd, ServerThatRanOutOfComNumbersIsReportedAndFailsTheRun) {
  const tarvik::ProgramRun run = Ctl("servers add 127.0.0.1 --name Q410X4 --com 4094");
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.out, "added index=1 ip=127.0.0.1 name=\"Q410X4\" ports=4 com=4094,4095,0,0 unmapped=2\n");
  EXPECT_NE(run.err.find("ports left unmapped"), std::string::npos) << run.err;
  // The server stays, with the numbers it got.
  const tarvik::ProgramRun list = Ctl("servers");
  EXPECT_NE(list.out.find("store servers=1 ports=5 "), std::string::npos) << list.out;
}

}  // namespace
