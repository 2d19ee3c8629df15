// tarvikctl export FILE / import FILE: the configuration file operations,
// reported with the status code, the position and the utility's own text.
#include <cstdio>
#include <string>
#include <strings.h>

#include "command.h"
#include "status_words.h"
#include "tarvikcfg.h"

namespace tarvikctl {
namespace {

// The cause in words comes after the utility's own lines, also when both
// streams go to one place.
int FailAfterOutput(const std::string& cause) {
  std::fflush(stdout);
  return Fail(cause);
}

bool EndsWithXml(const std::string& path) {
  return path.size() >= 4 && strcasecmp(path.c_str() + path.size() - 4, ".xml") == 0;
}

int Export(const Args& args) {
  if (args.size() != 1) return Fail("usage: tarvikctl export FILE");
  const unsigned status = Tkc_ExportConfigFile(args[0].c_str());
  std::printf("status: %u\n", status);
  if (status) {
    std::printf("Error:%u, Configuration exporting failed!\n", status);
    return FailAfterOutput(tarvik::words::ConfigStatus(status));
  }
  std::printf("Exporting operation is completed!\n");
  return 0;
}

int Import(const Args& args) {
  if (args.size() != 1) return Fail("usage: tarvikctl import FILE");
  if (RequireWritableStore()) return 1;
  uint16_t where = 0;
  uint16_t driverFailed = 0;
  const unsigned status = Tkc_ImportConfigFile(args[0].c_str(), &where, &driverFailed);
  // The text reader traces its lines without a final line end.
  std::printf("\nstatus: %u\nposition: %u\ndriver failed: %u\n", status, where, driverFailed);
  switch (status) {
    case 1:
      std::printf("Warning: Driver is not installed!\n");
      break;
    case 5:
      std::printf("Warning: Driver is not started!\nMay be there is no virtual COM mapping.\n");
      break;
    case 0:
      break;
    default:
      std::printf(EndsWithXml(args[0]) ? "ErrorCode:%u, Server:%u; import operation is canceled!\n"
                                       : "ErrorCode:%u, LineNum:%u; import operation is canceled!\n",
                  status, where);
      return FailAfterOutput(tarvik::words::ConfigStatus(status));
  }
  std::printf("Import operation is completed!\n");
  return 0;
}

const TarvikctlCommand kExport({"export", "export FILE          (the store as an XML configuration file)", Export});
const TarvikctlCommand kImport({"import", "import FILE          (replace the store with an .xml or .cfg file, restart the driver)", Import});

}  // namespace
}  // namespace tarvikctl
