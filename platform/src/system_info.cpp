#include "tarvik/system_info.h"

#include <strings.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cctype>
#include <cstring>
#include <fstream>
#include <sstream>

namespace tarvik {

const char kCurrentVersionKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
const char kProcessorKey[] = "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";

namespace {

// Files under /proc and /etc are small; more than this is not one of them.
constexpr std::streamsize kMaxFile = 1 << 20;

bool ReadSmallFile(const char* path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string data(static_cast<size_t>(kMaxFile), '\0');
  in.read(&data[0], kMaxFile);
  data.resize(static_cast<size_t>(in.gcount()));
  *text = std::move(data);
  return true;
}

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return s.substr(b, e - b);
}

// An os-release value: shell-style, optionally in single or double quotes;
// inside double quotes a backslash takes the next character as it is.
std::string Unquote(const std::string& raw) {
  const std::string v = Trim(raw);
  if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0]) {
    const char quote = v[0];
    std::string out;
    for (size_t i = 1; i + 1 < v.size(); ++i) {
      if (quote == '"' && v[i] == '\\' && i + 2 < v.size()) ++i;
      out += v[i];
    }
    return out;
  }
  return v;
}

bool KernelRelease(std::string* release) {
  struct utsname u {};
  if (::uname(&u) != 0) return false;
  *release = u.release;
  return true;
}

LSTATUS AnswerString(const std::string& text, uint32_t* type, void* data, uint32_t* length) {
  const uint32_t needed = static_cast<uint32_t>(text.size() + 1);
  if (type) *type = kRegSz;
  if (length == nullptr) return data ? kErrorInvalidParameter : kErrorSuccess;
  if (data == nullptr) {
    *length = needed;
    return kErrorSuccess;
  }
  if (*length < needed) {
    *length = needed;
    return kErrorMoreData;
  }
  std::memcpy(data, text.c_str(), needed);
  *length = needed;
  return kErrorSuccess;
}

LSTATUS AnswerDword(uint32_t value, uint32_t* type, void* data, uint32_t* length) {
  if (type) *type = kRegDword;
  if (length == nullptr) return data ? kErrorInvalidParameter : kErrorSuccess;
  if (data == nullptr) {
    *length = sizeof value;
    return kErrorSuccess;
  }
  if (*length < sizeof value) {
    *length = sizeof value;
    return kErrorMoreData;
  }
  std::memcpy(data, &value, sizeof value);
  *length = sizeof value;
  return kErrorSuccess;
}

bool Same(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }

}  // namespace

std::string ProductNameFromOsRelease(const std::string& text) {
  std::string pretty, name, version;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = Trim(line.substr(0, eq));
    if (key.empty() || key[0] == '#') continue;
    const std::string value = Unquote(line.substr(eq + 1));
    if (key == "PRETTY_NAME") pretty = value;
    else if (key == "NAME") name = value;
    else if (key == "VERSION") version = value;
  }
  if (!pretty.empty()) return pretty;
  if (!name.empty() && !version.empty()) return name + " " + version;
  return name;
}

bool KernelVersionNumbers(const std::string& release, uint32_t* major, uint32_t* minor) {
  size_t i = 0;
  auto number = [&](uint32_t* out) {
    const size_t start = i;
    uint64_t value = 0;
    while (i < release.size() && std::isdigit(static_cast<unsigned char>(release[i])) &&
           i - start < 9) {
      value = value * 10 + static_cast<uint64_t>(release[i] - '0');
      ++i;
    }
    *out = static_cast<uint32_t>(value);
    return i > start;
  };
  uint32_t a = 0, b = 0;
  if (!number(&a) || i >= release.size() || release[i] != '.') return false;
  ++i;
  if (!number(&b)) return false;
  *major = a;
  *minor = b;
  return true;
}

std::string ProcessorNameFromCpuInfo(const std::string& text) {
  // x86 "model name"; 32-bit ARM "Processor" (older kernels) or
  // "model name"; MIPS "cpu model"; PowerPC "cpu"; RISC-V "uarch".
  static const char* const kKeys[] = {"model name", "Processor", "cpu model", "cpu", "uarch"};
  for (const char* wanted : kKeys) {
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
      const size_t colon = line.find(':');
      if (colon == std::string::npos) continue;
      if (Trim(line.substr(0, colon)) != wanted) continue;
      const std::string value = Trim(line.substr(colon + 1));
      if (!value.empty()) return value;
    }
  }
  return std::string();
}

LSTATUS QuerySystemValue(const std::string& keyPath, const std::string& valueName,
                         uint32_t* type, void* data, uint32_t* length) {
  std::string key = keyPath;
  while (!key.empty() && key.back() == '\\') key.pop_back();
  if (Same(key, kCurrentVersionKey)) {
    if (Same(valueName, "ProductName")) {
      std::string osRelease;
      if (!ReadSmallFile("/etc/os-release", &osRelease) &&
          !ReadSmallFile("/usr/lib/os-release", &osRelease)) {
        return kErrorFileNotFound;
      }
      const std::string product = ProductNameFromOsRelease(osRelease);
      if (product.empty()) return kErrorFileNotFound;
      return AnswerString(product, type, data, length);
    }
    std::string release;
    if (!KernelRelease(&release)) return kErrorFileNotFound;
    if (Same(valueName, "CurrentVersion")) return AnswerString(release, type, data, length);
    const bool wantMajor = Same(valueName, "CurrentMajorVersionNumber");
    if (wantMajor || Same(valueName, "CurrentMinorVersionNumber")) {
      uint32_t major = 0, minor = 0;
      if (!KernelVersionNumbers(release, &major, &minor)) return kErrorFileNotFound;
      return AnswerDword(wantMajor ? major : minor, type, data, length);
    }
    return kErrorFileNotFound;
  }
  if (Same(key, kProcessorKey) && Same(valueName, "ProcessorNameString")) {
    std::string cpuInfo;
    if (!ReadSmallFile("/proc/cpuinfo", &cpuInfo)) return kErrorFileNotFound;
    const std::string name = ProcessorNameFromCpuInfo(cpuInfo);
    if (name.empty()) return kErrorFileNotFound;
    return AnswerString(name, type, data, length);
  }
  return kErrorFileNotFound;
}

uint32_t ProcessorCount() {
  const long n = ::sysconf(_SC_NPROCESSORS_ONLN);
  return n > 0 ? static_cast<uint32_t>(n) : 1;
}

bool Is32BitOn64BitMachine(const std::string& machine, unsigned pointerSize) {
  if (pointerSize != 4) return false;
  static const char* const k64[] = {"x86_64", "aarch64", "arm64", "ppc64", "ppc64le",
                                    "s390x", "riscv64", "mips64", "loongarch64", "sparc64"};
  for (const char* m : k64)
    if (machine == m) return true;
  return false;
}

bool Runs32BitOn64BitKernel() {
  struct utsname u {};
  if (::uname(&u) != 0) return false;
  return Is32BitOn64BitMachine(u.machine, sizeof(void*));
}

}  // namespace tarvik
