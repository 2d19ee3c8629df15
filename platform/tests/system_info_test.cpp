#include "tarvik/system_info.h"

#include <sys/utsname.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using tarvik::QuerySystemValue;

struct TextCase {
  const char* name;
  const char* text;
  const char* expected;
};

class OsReleaseProduct : public ::testing::TestWithParam<TextCase> {};

TEST_P(OsReleaseProduct, GivesTheNameAnAdministratorKnows) {
  EXPECT_EQ(tarvik::ProductNameFromOsRelease(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, OsReleaseProduct,
    ::testing::Values(
        TextCase{"pretty_name_wins",
                 "NAME=\"Debian GNU/Linux\"\nVERSION=\"12 (bookworm)\"\n"
                 "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n",
                 "Debian GNU/Linux 12 (bookworm)"},
        TextCase{"name_and_version_without_pretty_name", "NAME=Alpine\nVERSION='3.19 edge'\n",
                 "Alpine 3.19 edge"},
        TextCase{"name_alone", "NAME=Plain\n", "Plain"},
        TextCase{"escaped_quote_kept", "PRETTY_NAME=\"Say \\\"hi\\\" OS\"\n", "Say \"hi\" OS"},
        TextCase{"comments_and_blank_lines", "# PRETTY_NAME=Not this\n\n PRETTY_NAME = X 1 \n",
                 "X 1"},
        TextCase{"unbalanced_quote_left_as_is", "PRETTY_NAME=\"Half\n", "\"Half"},
        TextCase{"nothing_known", "ID=debian\n", ""}),
    [](const auto& info) { return std::string(info.param.name); });

class CpuInfoName : public ::testing::TestWithParam<TextCase> {};

TEST_P(CpuInfoName, GivesTheFirstProcessorsName) {
  EXPECT_EQ(tarvik::ProcessorNameFromCpuInfo(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Architectures, CpuInfoName,
    ::testing::Values(
        TextCase{"x86_first_of_two",
                 "processor\t: 0\nmodel name\t: Intel(R) Xeon(R) CPU @ 2.20GHz\n\n"
                 "processor\t: 1\nmodel name\t: Other\n",
                 "Intel(R) Xeon(R) CPU @ 2.20GHz"},
        TextCase{"old_arm", "Processor\t: ARMv7 Processor rev 4 (v7l)\nprocessor\t: 0\n",
                 "ARMv7 Processor rev 4 (v7l)"},
        TextCase{"mips", "system type\t\t: MT7621\nprocessor\t\t: 0\ncpu model\t\t: MIPS 1004Kc V2.15\n",
                 "MIPS 1004Kc V2.15"},
        TextCase{"powerpc", "processor\t: 0\ncpu\t\t: POWER9 (raw), altivec supported\n",
                 "POWER9 (raw), altivec supported"},
        TextCase{"empty_model_line_skipped", "model name\t:\nuarch\t: sifive,u74-mc\n",
                 "sifive,u74-mc"},
        TextCase{"arm64_without_a_name", "processor\t: 0\nBogoMIPS\t: 48.00\nCPU part\t: 0xd08\n",
                 ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(KernelVersionNumbers, ReadsTheFirstTwoNumbers) {
  struct {
    const char* release;
    bool ok;
    uint32_t major, minor;
  } cases[] = {
      {"6.1.0-18-amd64", true, 6, 1},  {"5.15", true, 5, 15},   {"10.0", true, 10, 0},
      {"6", false, 0, 0},              {"6.", false, 0, 0},     {"v6.1", false, 0, 0},
      {"", false, 0, 0},               {"4.19-rc1", true, 4, 19},
  };
  for (const auto& c : cases) {
    uint32_t major = 99, minor = 99;
    EXPECT_EQ(tarvik::KernelVersionNumbers(c.release, &major, &minor), c.ok) << c.release;
    if (c.ok) {
      EXPECT_EQ(major, c.major) << c.release;
      EXPECT_EQ(minor, c.minor) << c.release;
    } else {
      EXPECT_EQ(major, 99u) << "left alone on failure: " << c.release;
    }
  }
}

TEST(Is32BitOn64BitMachine, OnlyA32BitProgramOnA64BitKernel) {
  EXPECT_TRUE(tarvik::Is32BitOn64BitMachine("x86_64", 4));
  EXPECT_TRUE(tarvik::Is32BitOn64BitMachine("aarch64", 4));
  EXPECT_FALSE(tarvik::Is32BitOn64BitMachine("x86_64", 8));
  EXPECT_FALSE(tarvik::Is32BitOn64BitMachine("i686", 4));
  EXPECT_FALSE(tarvik::Is32BitOn64BitMachine("armv7l", 4));
}

TEST(QuerySystemValue, VersionKeyAnswersFromTheRunningKernel) {
  struct utsname u {};
  ASSERT_EQ(::uname(&u), 0);
  char text[256];
  uint32_t type = 0, length = sizeof text;
  // Key and value names are matched without regard to case, as in the store.
  ASSERT_EQ(QuerySystemValue("software\\microsoft\\windows nt\\currentversion\\", "currentversion",
                             &type, text, &length),
            0);
  EXPECT_EQ(type, tarvik::kRegSz);
  EXPECT_STREQ(text, u.release);
  EXPECT_EQ(length, std::strlen(u.release) + 1);

  uint32_t major = 0, minor = 0;
  ASSERT_TRUE(tarvik::KernelVersionNumbers(u.release, &major, &minor));
  uint32_t value = 0;
  length = sizeof value;
  ASSERT_EQ(QuerySystemValue(tarvik::kCurrentVersionKey, "CurrentMajorVersionNumber", &type,
                             &value, &length),
            0);
  EXPECT_EQ(type, tarvik::kRegDword);
  EXPECT_EQ(value, major);
  length = sizeof value;
  ASSERT_EQ(QuerySystemValue(tarvik::kCurrentVersionKey, "CurrentMinorVersionNumber", &type,
                             &value, &length),
            0);
  EXPECT_EQ(value, minor);
}

TEST(QuerySystemValue, KeepsTheRegistryBufferRules) {
  uint32_t type = 0, length = 0;
  ASSERT_EQ(QuerySystemValue(tarvik::kCurrentVersionKey, "CurrentVersion", &type, nullptr, &length),
            0);
  ASSERT_GT(length, 1u);
  const uint32_t needed = length;
  char small[1];
  length = sizeof small;
  EXPECT_EQ(QuerySystemValue(tarvik::kCurrentVersionKey, "CurrentVersion", &type, small, &length),
            tarvik::kErrorMoreData);
  EXPECT_EQ(length, needed);
}

TEST(QuerySystemValue, OtherKeysAndValuesAreNotThere) {
  uint32_t type = 0, length = 64;
  char text[64];
  EXPECT_EQ(QuerySystemValue("SOFTWARE\\Other", "ProductName", &type, text, &length), 2);
  EXPECT_EQ(QuerySystemValue(tarvik::kCurrentVersionKey, "ProcessorNameString", &type, text,
                             &length),
            2);
  EXPECT_EQ(QuerySystemValue(tarvik::kProcessorKey, "ProductName", &type, text, &length), 2);
}

TEST(ProcessorCount, CountsAtLeastOne) { EXPECT_GE(tarvik::ProcessorCount(), 1u); }

}  // namespace
