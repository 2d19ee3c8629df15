#include "sysinfo_report.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cstring>

#include "service_status_text.h"
#include "tarvik/file_version.h"
#include "tarvik/service_manager.h"
#include "tarvik/state_root.h"
#include "tarvik/system_info.h"
#include "tarvik/text.h"
#include "tarvik/unique_fd.h"

const char kDriverServiceName[] = "Vonderil";
const char kDriverFileFormat[] = "%s\\Drivers\\Vonderil.sys";

namespace {

const char kNotAvailable[] = "N/A";

bool ReadText(const SysInfoSources& s, const char* key, const char* name, char* buf,
              uint32_t size) {
  uint32_t type = 0, length = size;
  if (!s.queryValue || s.queryValue(key, name, &type, buf, &length) != tarvik::kErrorSuccess) {
    buf[0] = '\0';
    return false;
  }
  // A stored text need not end in a NUL; the buffer always does.
  buf[length < size ? length : size - 1] = '\0';
  return true;
}

// The processor's name is shown cut to its field: a name longer than the
// buffer (some ARM and virtual machines give long ones) is read whole with
// the size the source asks for, then cut, instead of showing nothing.
bool ReadTextCut(const SysInfoSources& s, const char* key, const char* name, char* buf,
                 uint32_t size) {
  uint32_t type = 0, length = size;
  if (!s.queryValue) {
    buf[0] = '\0';
    return false;
  }
  tarvik::LSTATUS rc = s.queryValue(key, name, &type, buf, &length);
  if (rc == tarvik::kErrorMoreData && length > size) {
    std::string whole(length, '\0');
    rc = s.queryValue(key, name, &type, whole.data(), &length);
    if (rc == tarvik::kErrorSuccess) {
      tarvik::CopyText(buf, size, std::string(whole.data(), strnlen(whole.data(), length)).c_str());
      return true;
    }
  }
  if (rc != tarvik::kErrorSuccess) {
    buf[0] = '\0';
    return false;
  }
  buf[length < size ? length : size - 1] = '\0';
  return true;
}

uint32_t ReadDword(const SysInfoSources& s, const char* key, const char* name) {
  uint32_t type = 0, value = 0, length = sizeof value;
  if (!s.queryValue || s.queryValue(key, name, &type, &value, &length) != tarvik::kErrorSuccess ||
      length != sizeof value) {
    return 0;
  }
  return value;
}

void ReadDriverFile(const SysInfoSources& s, bool emulated, SysInfoReport* r) {
  char path[260];
  const std::string dir = s.systemDirectory ? s.systemDirectory() : std::string();
  tarvik::FormatText(path, sizeof path, kDriverFileFormat, dir.c_str());
  const std::string file = tarvik::MapPath(path);

  FsRedirectionOff redirectionOff(emulated, s.redirection);
  // Opened, not only looked at: a file the program may not read has no
  // facts to show either.
  struct stat st {};
  {
    tarvik::UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.Valid() || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return;
  }
  const uint32_t low = static_cast<uint32_t>(static_cast<uint64_t>(st.st_size));
  // The low 32 bits, shown as the signed number the format takes.
  tarvik::FormatText(r->fileSize, sizeof r->fileSize, "%d Byte(s).", static_cast<int>(low));
  r->fileSizeIsZero = low == 0;
  struct tm local {};
  if (localtime_r(&st.st_mtime, &local)) FormatFileTime(local, r->fileTime, sizeof r->fileTime);
  char version[200];
  if (tarvik::ReadFileVersionString(file, "ProductVersion", version, sizeof version) ==
      tarvik::kErrorSuccess) {
    tarvik::CopyText(r->fileVersion, version);
  }
}

}  // namespace

SysInfoSources SysInfoSources::Live() {
  SysInfoSources s;
  s.queryValue = &tarvik::QuerySystemValue;
  s.emulated32Bit = &tarvik::Runs32BitOn64BitKernel;
  s.systemDirectory = &tarvik::SystemDirectory;
  s.processorCount = &tarvik::ProcessorCount;
  s.serviceStatus = &QueryServiceStatusText;
  s.now = [] { return std::time(nullptr); };
  s.redirection = LookUpFsRedirection();
  return s;
}

void FormatOsText(bool emulated32Bit, const char* product, uint32_t major, uint32_t minor,
                  const char* versionText, char* text, size_t size) {
  char version[100];
  if (major != 0)
    tarvik::FormatText(version, sizeof version, " ver %d.%d ", static_cast<int>(major),
                       static_cast<int>(minor));
  else
    tarvik::FormatText(version, sizeof version, " ver %s ", versionText);
  tarvik::FormatText(text, size, "%s%s%s", emulated32Bit ? "64-bit " : "", product, version);
}

void FormatFileTime(const struct tm& t, char* text, size_t size) {
  tarvik::FormatText(text, size, "%d/%d/%d %02d:%02d:%02d ", t.tm_mon + 1, t.tm_mday,
                     t.tm_year + 1900, t.tm_hour, t.tm_min, t.tm_sec);
}

void FormatReportTime(const struct tm& t, char* text, size_t size) {
  tarvik::FormatText(text, size, "%d/%d/%d,  %02d:%02d:%02d", t.tm_mon + 1, t.tm_mday,
                     t.tm_year + 1900, t.tm_hour, t.tm_min, t.tm_sec);
}

void BuildSysInfoReport(const SysInfoSources& s, SysInfoReport* r) {
  *r = SysInfoReport{};
  tarvik::CopyText(r->fileSize, "0 Byte(s).");
  r->fileSizeIsZero = true;
  tarvik::CopyText(r->fileTime, kNotAvailable);
  tarvik::CopyText(r->fileVersion, kNotAvailable);
  tarvik::CopyText(r->status, kNotAvailable);

  // 1. The OS line, from the version key.
  const bool emulated = s.emulated32Bit && s.emulated32Bit();
  char product[80], versionText[80];
  ReadText(s, tarvik::kCurrentVersionKey, "ProductName", product, sizeof product);
  ReadText(s, tarvik::kCurrentVersionKey, "CurrentVersion", versionText, sizeof versionText);
  const uint32_t major = ReadDword(s, tarvik::kCurrentVersionKey, "CurrentMajorVersionNumber");
  const uint32_t minor = ReadDword(s, tarvik::kCurrentVersionKey, "CurrentMinorVersionNumber");
  FormatOsText(emulated, product, major, minor, versionText, r->os, sizeof r->os);

  // 2. System directory and processors.
  if (s.systemDirectory) tarvik::CopyText(r->systemDirectory, s.systemDirectory().c_str());
  tarvik::FormatText(r->processorCount, sizeof r->processorCount, "%u",
                     s.processorCount ? s.processorCount() : 0u);
  ReadTextCut(s, tarvik::kProcessorKey, "ProcessorNameString", r->processorName,
              sizeof r->processorName);

  // 3. The driver file, 4. its service.
  ReadDriverFile(s, emulated, r);
  if (s.serviceStatus) {
    const uint32_t state = s.serviceStatus(kDriverServiceName, r->status, sizeof r->status);
    r->serviceRunning = state == tarvik::kServiceRunning;
  }

  // 5. When the report was made.
  const time_t now = s.now ? s.now() : std::time(nullptr);
  struct tm local {};
  if (localtime_r(&now, &local)) FormatReportTime(local, r->reportTime, sizeof r->reportTime);
}
