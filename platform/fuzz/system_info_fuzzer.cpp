// The texts the system information parsers read come from files the suite
// does not own (os-release, /proc/cpuinfo, the kernel release).
#include <cstddef>
#include <cstdint>
#include <string>

#include "tarvik/system_info.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  (void)tarvik::ProductNameFromOsRelease(text);
  (void)tarvik::ProcessorNameFromCpuInfo(text);
  uint32_t major = 0, minor = 0;
  (void)tarvik::KernelVersionNumbers(text, &major, &minor);
  return 0;
}
