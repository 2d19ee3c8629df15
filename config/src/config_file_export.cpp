#include <mutex>
#include <string>

#include "config_file_io.h"
#include "config_file_lock.h"
#include "config_file_types.h"
#include "whole_set.h"
#include "xml_config_writer.h"

using namespace cfgfile;

// Kept out of the stack: a configuration set is 3.8 MB.
static ConfigSet g_exportSet;
static Protocols g_exportProtocols;

extern "C" TKC_API uint16_t Tkc_ExportConfigFile(const char* path) {
  std::lock_guard<std::mutex> lock(ConfigFileLock());
  Tkc_RegCheckCreateServiceKey();
  std::memset(&g_exportSet, 0, sizeof g_exportSet);
  g_exportSet.SizeStamp = kSetSize;
  // Servers that cannot be read are left out, their protocols with them.
  tkc::ReadWholeSet(&g_exportSet, g_exportProtocols);

  std::string text;
  const uint16_t status = BuildXmlConfig(g_exportSet, &g_exportProtocols, &text);
  if (status) return status;
  if (!path || !*path || !ReplaceFile(path, text)) return kCannotOpen;
  return kOk;
}
