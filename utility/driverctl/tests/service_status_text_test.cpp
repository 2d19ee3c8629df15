#include "service_status_text.h"

#include <gtest/gtest.h>

#include <string>

#include "service_test_support.h"
#include "tarvik/service_manager.h"
#include "temp_root.h"

namespace {

using tarvik::TempStateRoot;

struct StateCase {
  uint32_t state;
  const char* text;
};

TEST(ServiceStateText, EveryStateHasItsWordsAndOthersShowTheirValue) {
  const StateCase cases[] = {
      {1, "Driver is not running."},
      {2, "Driver is starting."},
      {3, "Driver is stopping."},
      {4, "Driver is running."},
      {5, "Driver continue is pending."},
      {6, "Driver pause is pending."},
      {7, "Driver is paused."},
      {0, "Unknown Status(0x00000000)!"},
      {8, "Unknown Status(0x00000008)!"},
      {0xDEADBEEF, "Unknown Status(0xdeadbeef)!"},
  };
  for (const StateCase& c : cases) {
    char text[200];
    FormatServiceStateText(c.state, text, sizeof text);
    EXPECT_STREQ(text, c.text) << c.state;
  }
}

TEST(ServiceStateText, IsCutToASmallBuffer) {
  char text[8] = "xxxxxxx";
  FormatServiceStateText(0x12345678, text, sizeof text);
  EXPECT_STREQ(text, "Unknown");
}

TEST(ServiceStatusQuery, MissingServiceSaysSoWithItsCode) {
  TempStateRoot root;
  char text[200] = "";
  EXPECT_EQ(QueryServiceStatusText("Vonderil", text, sizeof text), kServiceStatusNoService);
  EXPECT_STREQ(text, "Service does not exist!");
}

TEST(ServiceStatusQuery, FollowsTheServiceFromStoppedToRunning) {
  TempStateRoot root;
  ASSERT_EQ(tarvik::CreateTestService("Vonderil", TEST_SERVICE_PROGRAM), tarvik::kErrorSuccess);
  tarvik::ServiceReaper reaper("Vonderil");
  char text[200] = "";
  EXPECT_EQ(QueryServiceStatusText("Vonderil", text, sizeof text), tarvik::kServiceStopped);
  EXPECT_STREQ(text, "Driver is not running.");

  tarvik::SetTestServiceMode("steady");
  {
    tarvik::ScManager manager;
    tarvik::ServiceHandle service;
    ASSERT_EQ(manager.Open(tarvik::kScManagerAllAccess), tarvik::kErrorSuccess);
    ASSERT_EQ(service.Open(manager, "Vonderil", tarvik::kServiceAllAccess), tarvik::kErrorSuccess);
    ASSERT_EQ(service.Start(), tarvik::kErrorSuccess);
  }
  ASSERT_EQ(tarvik::WaitForState("Vonderil", tarvik::kServiceRunning), tarvik::kServiceRunning);
  EXPECT_EQ(QueryServiceStatusText("vonderil", text, sizeof text), tarvik::kServiceRunning);
  EXPECT_STREQ(text, "Driver is running.");
}

}  // namespace
