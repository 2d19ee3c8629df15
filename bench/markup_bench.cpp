// Times the XML configuration file at its largest: building the document of
// a configuration set, indexing it with CMarkup::SetDocument beside
// `xmllint --noout` on the same file (the baseline), for a quarter, a half and
// all of 4095 servers with 68 mapped ports each.
//
//   markup_bench [folder]     (folder for the generated files; default /tmp)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "cmarkup.h"
#include "config_file_io.h"
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
  if (BuildXmlConfig(set, &text) != kOk) return false;
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
  return 0;
}
