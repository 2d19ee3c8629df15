// The driver link as the utility reaches it: through libtarvikcfg's exports.
#include <gtest/gtest.h>

#include "tarvik/registry.h"
#include "tarvik/state_root.h"
#include "tarvikcfg.h"
#include "temp_root.h"

namespace {

TEST(DriverLinkExportTest, CreatesTheMissingServiceThenFailsToStartAMissingFile) {
  tarvik::TempStateRoot root;
  EXPECT_EQ(Tkc_NTDriverInit(), TKC_ERR_SERVICE_OPEN);
  tarvik::RegKey key;
  ASSERT_EQ(key.Open(TKC_SERVICES_KEY "\\" TKC_SERVICE_NAME, tarvik::RegAccess::kRead), 0);
  uint32_t type = 0;
  EXPECT_EQ(key.QueryDword("Type", &type), 0);
  EXPECT_EQ(type, TKC_SERVICE_TYPE_KERNEL_DRIVER);
  // No driver file installed: the start request fails.
  EXPECT_EQ(Tkc_NTDriverInit(), TKC_ERR_SERVICE_START);
  EXPECT_EQ(Tkc_NTDriverClose(), TKC_OK);
}

}  // namespace
