#include "ui_options.h"

#include "app_texts.h"
#include "tarvik/registry.h"
#include "tarvik/text.h"
#include "tarvik/ui_hooks.h"

namespace {

uint32_t ReadDword(const tarvik::RegKey& key, const char* name, uint32_t fallback) {
  uint32_t type = 0;
  uint32_t value = 0;
  uint32_t length = sizeof value;
  if (!key.IsOpen() || key.QueryValue(name, &type, &value, &length) != 0) return fallback;
  if (type != tarvik::kRegDword || length != sizeof value) return fallback;
  return value;
}

struct WriteBackRow {
  const char* name;
  uint32_t UiOptions::*current;
  uint32_t UiOptions::*read;
};

// The order in which the values are written; a failure stops the rest.
const WriteBackRow kWriteBackRows[] = {
    {"UIChkDup", &UiOptions::chkDup, &UiOptions::chkDupRead},
    {"UIChkSvr", &UiOptions::chkSvr, &UiOptions::chkSvrRead},
    {"UIChkANC", &UiOptions::chkAnc, &UiOptions::chkAncRead},
};

}  // namespace

void ReadUiOptions(UiOptions* options) {
  tarvik::RegKey key;
  key.Open(kParameterKey, tarvik::RegAccess::kRead);
  options->chkSvr = options->chkSvrRead = ReadDword(key, "UIChkSvr", 1);
  options->chkDup = options->chkDupRead = ReadDword(key, "UIChkDup", 1);
  options->chkAnc = options->chkAncRead = ReadDword(key, "UIChkANC", 1);
  const uint32_t maxVcom = ReadDword(key, "MaxVCOM", kDefaultMaxVcom);
  options->maxVcom = (maxVcom < 256 || maxVcom > 4095) ? kDefaultMaxVcom : maxVcom;
}

bool WriteBackUiOptions(UiOptions* options) {
  bool changed = false;
  for (const WriteBackRow& row : kWriteBackRows)
    changed = changed || options->*row.current != options->*row.read;
  if (!changed) return true;

  tarvik::RegKey key;
  if (key.Create(kParameterKey) != 0) return true;
  for (const WriteBackRow& row : kWriteBackRows) {
    if (options->*row.current == options->*row.read) continue;
    if (key.SetDword(row.name, options->*row.current) != 0) {
      char text[100];
      tarvik::FormatText(text, sizeof text, "Failed to update parameter:%s key!", row.name);
      tarvik::ShowMessageBox(text, kAppCaption, tarvik::kMbOk | tarvik::kMbIconWarning);
      return false;
    }
    options->*row.read = options->*row.current;
  }
  return true;
}
