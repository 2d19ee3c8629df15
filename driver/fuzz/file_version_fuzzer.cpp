// Feeds arbitrary files to the version reader: whatever lies at the driver's
// path is read by the utility's System Information, so a damaged file must
// give "no version", never a read out of bounds.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tarvik/file_version.h"
#include "tarvik/unique_fd.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tarvik::UniqueFd fd(memfd_create("version", MFD_CLOEXEC));
  if (!fd.Valid()) return 0;
  for (size_t done = 0; done < size;) {
    ssize_t n = write(fd.Get(), data + done, size - done);
    if (n <= 0) return 0;
    done += static_cast<size_t>(n);
  }
  const std::string path = "/proc/self/fd/" + std::to_string(fd.Get());
  char text[64];
  tarvik::ReadFileVersionString(path, "ProductVersion", text, sizeof text);

  // The block walker on raw bytes as well.
  std::vector<char> block(data, data + size);
  const void* value = nullptr;
  uint32_t length = 0;
  for (const char* sub : {"\\VarFileInfo\\Translation", "\\StringFileInfo\\040904b0\\ProductVersion",
                          "\\StringFileInfo\\040904b0\\", "\\StringFileInfo\\"}) {
    if (tarvik::VerQueryValue(block.data(), static_cast<uint32_t>(block.size()), sub, &value,
                              &length)) {
      const char* v = static_cast<const char*>(value);
      if (v < block.data() || v + length > block.data() + block.size()) __builtin_trap();
    }
  }
  return 0;
}
