#include "tarvik/file_version.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tarvik/state_root.h"
#include "temp_root.h"

TARVIK_VERSION_RESOURCE("FileDescription\0" "file version test\0" "ProductVersion\0" "9.8.07\0")

namespace tarvik {
namespace {

std::string SelfPath() {
  char path[4096];
  ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return std::string();
  return std::string(path, static_cast<size_t>(n));
}

std::vector<char> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::vector<char>& bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

TEST(FileVersionTest, ReadsTheProductVersionOfAProgramWithoutRunningIt) {
  char text[32];
  ASSERT_EQ(ReadFileVersionString(SelfPath(), "ProductVersion", text, sizeof text), kErrorSuccess);
  EXPECT_STREQ(text, "9.8.07");
  ASSERT_EQ(ReadFileVersionString(SelfPath(), "productversion", text, 4), kErrorSuccess);
  EXPECT_STREQ(text, "9.8");  // cut to fit
  EXPECT_EQ(ReadFileVersionString(SelfPath(), "CompanyName", text, sizeof text),
            kErrorResourceTypeNotFound);
  EXPECT_STREQ(text, "");
}

TEST(FileVersionTest, QueriesTheBlockTheWayTheWindowsCallsDo) {
  const std::string self = SelfPath();
  uint32_t size = GetFileVersionInfoSize(self);
  ASSERT_GT(size, 8u);
  std::vector<char> block(size);
  EXPECT_FALSE(GetFileVersionInfo(self, size - 1, block.data()));
  ASSERT_TRUE(GetFileVersionInfo(self, size, block.data()));

  const void* value = nullptr;
  uint32_t length = 0;
  ASSERT_TRUE(VerQueryValue(block.data(), size, "\\VarFileInfo\\Translation", &value, &length));
  ASSERT_EQ(length, 4u);
  const unsigned char* t = static_cast<const unsigned char*>(value);
  EXPECT_EQ(t[0] | (t[1] << 8), 0x0409);
  EXPECT_EQ(t[2] | (t[3] << 8), 0x04b0);

  ASSERT_TRUE(VerQueryValue(block.data(), size, "\\StringFileInfo\\040904B0\\FileDescription", &value,
                            &length));
  EXPECT_STREQ(static_cast<const char*>(value), "file version test");
  EXPECT_EQ(length, sizeof "file version test");
  EXPECT_FALSE(VerQueryValue(block.data(), size, "\\StringFileInfo\\040704b0\\ProductVersion", &value,
                             &length));
  EXPECT_FALSE(VerQueryValue(block.data(), size, "\\StringFileInfo\\040904b0", &value, &length));
  // A block cut inside its last pair is read no further than its end.
  EXPECT_FALSE(VerQueryValue(block.data(), size - 3, "\\StringFileInfo\\040904b0\\ProductVersion",
                             &value, &length));
}

TEST(FileVersionTest, FilesWithoutVersionInformation) {
  TempStateRoot root;
  const std::string dir = root.Path() + "/";
  WriteBytes(dir + "text", std::vector<char>{'h', 'e', 'l', 'l', 'o'});
  std::vector<char> self = ReadBytes(SelfPath());
  ASSERT_GT(self.size(), 4096u);
  // Cut before the section header table at the end of the file.
  WriteBytes(dir + "cut", std::vector<char>(self.begin(), self.begin() + self.size() / 2));
  // Section header table pointing beyond the file.
  std::vector<char> bad = self;
  for (int i = 0; i < 8; ++i) bad[0x28 + i] = static_cast<char>(0x7f);
  WriteBytes(dir + "bad-offset", bad);

  struct Row {
    std::string path;
    LSTATUS expected;
  } rows[] = {
      {dir + "missing", kErrorFileNotFound},
      {dir + "text", kErrorResourceDataNotFound},
      {dir + "cut", kErrorResourceDataNotFound},
      {dir + "bad-offset", kErrorResourceDataNotFound},
      {TEST_PROGRAM_WITHOUT_VERSION, kErrorResourceTypeNotFound},
      {dir, kErrorResourceDataNotFound},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path);
    LSTATUS error = 0;
    EXPECT_EQ(GetFileVersionInfoSize(row.path, &error), 0u);
    EXPECT_EQ(error, row.expected);
    char text[16] = "x";
    EXPECT_EQ(ReadFileVersionString(row.path, "ProductVersion", text, sizeof text), row.expected);
    EXPECT_STREQ(text, "");
  }
}

}  // namespace
}  // namespace tarvik
