// Times the XML configuration file at its largest, for a quarter, a half and
// all of 4095 servers with 68 ports each:
// - building the document of a configuration set, and indexing it with
//   CMarkup::SetDocument beside `xmllint --noout` on the same file (the
//   baseline), every port mapped;
// - with the library: Tkc_ExportConfigFile of such a store, and
//   Tkc_ImportConfigFile of the largest store a file can carry (COM numbers
//   are unique and 12 bits wide, so at most 4095 ports are mapped; every
//   port's values are written all the same), beside the store's own
//   Tkc_RegReadAll, Tkc_RegWriteAll and Tkc_RegDeleteAll of the same set
//   (an import reads the old store, empties it and writes the new one).
//
//   markup_bench [folder]     (folder for the generated files; default /tmp)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <unistd.h>

#include "cmarkup.h"
#include "config_file_io.h"
#include "tarvik/clock.h"
#include "tarvik/registry.h"
#include "tarvik/ui_hooks.h"
#include "xml_config_writer.h"

using namespace cfgfile;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// A server of 68 data ports, every port and the I/O port mapped, each with
// one flag, and all server options set: about 30 MB and over a million
// elements for the full set.
void FillServer(uint32_t i, Record* r) {
  InitRecord(r);
  std::snprintf(r->ServerName, sizeof r->ServerName, "XYZ1558-68");
  std::snprintf(r->AliasName, sizeof r->AliasName, "Line %u cabinet <%u> & rack", i, i % 97);
  std::snprintf(r->HostName, sizeof r->HostName, "ds%04u.plant.example", i);
  r->IPAddress = 10u | (i >> 8 & 0xFF) << 16 | (i & 0xFF) << 24;
  r->IPAddress2 = r->IPAddress + (1u << 8);
  r->KeepAliveTime = 60000;
  r->ConnectionBroken = 240000;
  r->ConnectTimeout = 3000;
  r->TcpPortCmd = 10001;
  r->TcpPort7000 = 9000;
  r->PortNo = 68;
  ComWord(*r, 0) = kFixedConfig | (i % 4095 + 1);
  OptionsWord(*r, 0) = 20u << kAutoFlushShift;
  for (uint32_t k = 1; k <= 68; ++k) {
    ComWord(*r, k + 1) = k << kDevicePortShift | k << kIndexShift | (k % 2 ? kFixedConfig : kDisablePurge) |
                         ((i * 68 + k) % 4095 + 1);
    OptionsWord(*r, k + 1) = kDefaultAutoFlush << kAutoFlushShift;
  }
}

struct Figures {
  double build = 0, setDocument = 0, xmllint = 0;
  size_t bytes = 0;
  int elements = 0;
};

bool Measure(uint32_t servers, const std::string& folder, Figures* f) {
  static ConfigSet set;  // 3.8 MB: not on the stack
  std::memset(&set, 0, sizeof set);
  set.SizeStamp = kSetSize;
  set.Servers = servers;
  set.Flags = kFormatMarker | kFastOpen | 10u << kCloseDelayShift;
  for (uint32_t i = 0; i < servers; ++i) {
    FillServer(i, &set.Records[i]);
    set.Ports += 69;
  }

  std::string text;
  auto t0 = Clock::now();
  if (BuildXmlConfig(set, nullptr, &text) != kOk) return false;
  f->build = Seconds(t0);
  f->bytes = text.size();
  const std::string path = folder + "/markup_bench_" + std::to_string(servers) + ".xml";
  if (!ReplaceFile(path, text)) return false;

  std::string bytes;
  if (ReadWholeFile(path, &bytes) != FileResult::kOk) return false;
  CMarkup m;
  t0 = Clock::now();
  if (!m.SetDocument(std::move(bytes))) return false;
  f->setDocument = Seconds(t0);
  f->elements = m.IndexUsed() - 1;

  const std::string command = "xmllint --noout '" + path + "'";
  t0 = Clock::now();
  if (std::system(command.c_str()) != 0) return false;
  f->xmllint = Seconds(t0);
  if (!std::getenv("MARKUP_BENCH_KEEP")) std::remove(path.c_str());
  return true;
}

// Export and import through the library on a private state root.
struct StoreFigures {
  double exportSeconds = 0, importSeconds = 0, storeRead = 0, storeWrite = 0, storeDelete = 0;
  size_t importBytes = 0;
};

bool MeasureStore(uint32_t servers, const std::string& folder, StoreFigures* f) {
  static ConfigSet set;
  std::string root = folder + "/markup_bench_root_XXXXXX";
  if (!mkdtemp(&root[0])) return false;
  setenv("TARVIK_ROOT", root.c_str(), 1);
  tarvik::RegCloseStore();
  // The keys every machine has; the driver's keys are the library's to make.
  for (const char* path : {"SYSTEM\\CurrentControlSet\\Services", "HARDWARE\\DEVICEMAP\\SERIALCOMM"}) {
    tarvik::RegKey key;
    if (key.Create(path) != 0) return false;
  }
  Tkc_RegCheckCreateServiceKey();

  std::memset(&set, 0, sizeof set);
  set.SizeStamp = kSetSize;
  set.Servers = servers;
  set.Flags = kFormatMarker | kFastOpen;
  for (uint32_t i = 0; i < servers; ++i) {
    FillServer(i, &set.Records[i]);
    set.Ports += 69;
  }
  if (Tkc_RegWriteAll(&set) != 0) return false;
  const std::string exported = root + "/export.xml";
  auto t0 = Clock::now();
  if (Tkc_ExportConfigFile(exported.c_str()) != 0) return false;
  f->exportSeconds = Seconds(t0);

  // Unique COM numbers for the import: the first 4095 ports of the set.
  uint32_t next = 1;
  for (uint32_t i = 0; i < servers; ++i) {
    Record& r = set.Records[i];
    for (uint32_t e = 0; e < 70; ++e) {
      if (e == 1) continue;
      uint32_t& com = ComWord(r, static_cast<int>(e));
      com &= ~kComNumberMask;
      if (next <= kMaxCom) com |= next++;
    }
  }
  if (Tkc_RegWriteAll(&set) != 0) return false;
  const std::string importable = root + "/import.xml";
  if (Tkc_ExportConfigFile(importable.c_str()) != 0) return false;
  std::string bytes;
  ReadWholeFile(importable, &bytes);
  f->importBytes = bytes.size();
  // The baseline: the store's own whole-set read and write of the same set.
  static ConfigSet scratch;
  std::memset(&scratch, 0, sizeof scratch);
  scratch.SizeStamp = kSetSize;
  t0 = Clock::now();
  if (Tkc_RegReadAll(&scratch) != 0) return false;
  f->storeRead = Seconds(t0);
  t0 = Clock::now();
  if (Tkc_RegWriteAll(&scratch) != 0) return false;
  f->storeWrite = Seconds(t0);

  uint16_t where = 0, driverFailed = 0;
  t0 = Clock::now();
  const uint16_t status = Tkc_ImportConfigFile(importable.c_str(), &where, &driverFailed);
  f->importSeconds = Seconds(t0);
  if (status != 0 && !driverFailed) {
    std::fprintf(stderr, "markup_bench: import gave %u at server %u\n", status, where);
    return false;
  }
  // Part of the import: emptying the store it replaces.
  t0 = Clock::now();
  if (Tkc_RegDeleteAll() != 0) return false;
  f->storeDelete = Seconds(t0);
  tarvik::RegCloseStore();
  if (std::getenv("MARKUP_BENCH_KEEP")) {
    std::printf("(kept %s)\n", root.c_str());
  } else {
    std::system(("rm -rf '" + root + "'").c_str());
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string folder = argc > 1 ? argv[1] : "/tmp";
  std::printf("%-8s %10s %9s %9s %13s %9s %8s\n", "servers", "bytes", "elements", "build s",
              "SetDocument s", "xmllint s", "ratio");
  for (uint32_t servers : {1024u, 2048u, 4095u}) {
    Figures f;
    if (!Measure(servers, folder, &f)) {
      std::fprintf(stderr, "markup_bench: measuring %u servers failed\n", servers);
      return 1;
    }
    std::printf("%-8u %10zu %9d %9.3f %13.3f %9.3f %8.3f\n", servers, f.bytes, f.elements, f.build,
                f.setDocument, f.xmllint, f.setDocument / f.xmllint);
  }
  // No driver runs here; its restart after an import must not poll for
  // 15 real seconds, nor tell anyone about it.
  static tarvik::VirtualClock clock;
  tarvik::SetClock(&clock);
  tarvik::SetMessageBoxHook([](const std::string&, const std::string&, unsigned) { return 1; });
  std::printf("\n%-8s %12s %9s %9s %13s %14s %15s\n", "servers", "import bytes", "export s", "import s",
              "RegReadAll s", "RegWriteAll s", "RegDeleteAll s");
  for (uint32_t servers : {1024u, 2048u, 4095u}) {
    StoreFigures f;
    if (!MeasureStore(servers, folder, &f)) {
      std::fprintf(stderr, "markup_bench: export/import of %u servers failed\n", servers);
      return 1;
    }
    std::printf("%-8u %12zu %9.3f %9.3f %13.3f %14.3f %15.3f\n", servers, f.importBytes, f.exportSeconds,
                f.importSeconds, f.storeRead, f.storeWrite, f.storeDelete);
  }
  tarvik::SetClock(nullptr);
  return 0;
}
