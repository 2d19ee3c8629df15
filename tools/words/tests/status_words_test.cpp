// The failure lines the command-line tools print.
#include "status_words.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

namespace tarvik::words {
namespace {

TEST(StatusWords, LinesNameCodeSpaceCodeAndCause) {
  EXPECT_EQ(ConfigStatus(26),
            "status 26: the file is not a configuration file (it holds NUL bytes, e.g. a 16-bit "
            "encoding)");
  EXPECT_EQ(DiscoveryCode(-6), "discovery code -6: the device did not confirm within 1 second");
  EXPECT_EQ(ErrorCode(5), "error 5: access denied: the registry store may not be written (run as root)");
  EXPECT_EQ(ConfigStatus(19), "status 19: unknown code");
  EXPECT_EQ(DiscoveryCode(-1), "discovery code -1: unknown code");
}

// A code listed twice would show whichever row comes first.
TEST(StatusWords, EachTableListsACodeOnce) {
  for (const std::string& table : {ConfigStatusTable(), DiscoveryCodeTable(), ErrorCodeTable()}) {
    std::istringstream rows(table);
    std::set<std::string> codes;
    std::string row;
    while (std::getline(rows, row)) {
      EXPECT_TRUE(codes.insert(row.substr(0, row.find('\t'))).second) << row;
    }
    EXPECT_GT(codes.size(), 5u);
  }
}

}  // namespace
}  // namespace tarvik::words
