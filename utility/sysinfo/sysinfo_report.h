// The System Information report: the operating system, the processor, and
// the driver's file and service, as texts ready to show, with the two
// states the dialog colours by. No widgets.
//
// Every source can fail on its own; a field whose source failed keeps its
// default ("N/A", "0 Byte(s).", an empty product name), so a report is
// always complete.
#pragma once
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

#include "fs_redirection.h"
#include "tarvik/win_errors.h"

struct SysInfoReport {
  char os[200];
  char systemDirectory[260];
  char processorCount[16];
  char processorName[80];
  char fileSize[40];
  char fileTime[40];
  char fileVersion[200];
  char status[200];
  char reportTime[40];
  bool fileSizeIsZero;  // the size shows red
  bool serviceRunning;  // the status shows blue
};

// Where the report's facts come from. The defaults ask the live system;
// tests replace single sources.
struct SysInfoSources {
  std::function<tarvik::LSTATUS(const std::string& key, const std::string& value, uint32_t* type,
                        void* data, uint32_t* length)>
      queryValue;
  std::function<bool()> emulated32Bit;
  std::function<std::string()> systemDirectory;
  std::function<uint32_t()> processorCount;
  // Fills text[size] and returns the state (4 running).
  std::function<uint32_t(const char* service, char* text, size_t size)> serviceStatus;
  std::function<time_t()> now;
  FsRedirectionCalls redirection;

  static SysInfoSources Live();
};

extern const char kDriverServiceName[];  // "Vonderil"
extern const char kDriverFileFormat[];   // "%s\Drivers\Vonderil.sys"

void BuildSysInfoReport(const SysInfoSources& sources, SysInfoReport* report);

// The OS line: "64-bit " when emulated, the product name, then " ver %d.%d "
// or, when the major number is 0, " ver %s " with the version text.
void FormatOsText(bool emulated32Bit, const char* product, uint32_t major, uint32_t minor,
                  const char* versionText, char* text, size_t size);
// "%d/%d/%d %02d:%02d:%02d " (month, day, year, ...), with its trailing blank.
void FormatFileTime(const struct tm& local, char* text, size_t size);
// "%d/%d/%d,  %02d:%02d:%02d", two blanks after the comma.
void FormatReportTime(const struct tm& local, char* text, size_t size);
