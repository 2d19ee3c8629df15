// Shared set-up of the tests that use the network: they run only inside
// the harness's private namespace (only lo, 10.77.0.1/24), record the
// library's message boxes, and start from a closed library.
#pragma once
#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "devsim_process.h"
#include "findra.h"
#include "netns_check.h"
#include "tarvik/clock.h"
#include "tarvik/ui_hooks.h"

namespace findra_test {

class NetnsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    if (!tarvik::OnlyLoopbackNetwork(&why)) GTEST_SKIP() << why;
    tarvik::SetMessageBoxHook([this](const std::string& text, const std::string&, unsigned) {
      std::lock_guard<std::mutex> lock(mutex_);
      messages_.push_back(text);
      return tarvik::kIdOk;
    });
  }
  void TearDown() override {
    Findra_Close();
    tarvik::SetMessageBoxHook(nullptr);
  }

  std::vector<std::string> Messages() {
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_;
  }

  // Waits until the running search ends on its own; false after a minute.
  static bool WaitSearchEnd() {
    for (int i = 0; i < 12000 && Findra_GetState() == 1; ++i) tarvik::SleepMs(5);
    return Findra_GetState() == 0;
  }

  struct Info {
    char name[FINDRA_NAME_SIZE];
    char alias[FINDRA_ALIAS_SIZE];
    char ip[FINDRA_IP_SIZE];
    char mask[FINDRA_IP_SIZE];
    char gateway[FINDRA_IP_SIZE];
    char mac[FINDRA_MAC_SIZE];
    int32_t dhcp;
  };
  static int Get(int index, Info* info) {
    return Findra_GetModuleInfo(index, info->name, info->alias, info->ip, info->mask,
                                info->gateway, info->mac, &info->dhcp);
  }

  // Init, a search of searchMs with the given limit, and its end.
  static void SearchToEnd(unsigned searchMs = 1000, int limit = 0) {
    ASSERT_EQ(Findra_SetOptions(searchMs, limit), 0);
    ASSERT_EQ(Findra_BroadcastStart("255.255.255.255", 57188, nullptr), 0);
    ASSERT_TRUE(WaitSearchEnd());
  }

  DevsimProcess devsim_;

 private:
  std::mutex mutex_;
  std::vector<std::string> messages_;
};

}  // namespace findra_test
