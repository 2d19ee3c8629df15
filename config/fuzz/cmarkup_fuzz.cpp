// Any text given to the markup engine: parsing must not crash, read out of
// bounds or loop, and the index of a parsed document must survive walking it
// and appending to it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "cmarkup.h"

static void Walk(CMarkup& m, int depth) {
  while (m.FindChild()) {
    if (!m.EnterChild()) return;
    (void)m.TagName();
    (void)m.ElementText();
    if (depth < 64) Walk(m, depth + 1);
    m.LeaveToParent();
  }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  CMarkup m;
  if (!m.SetDocument(text.c_str())) {
    m.AppendElement("R", "x");
    return 0;
  }
  Walk(m, 0);
  m.AppendElement("n", "a<&>b");
  m.EnterChild();
  m.AppendElement("c");
  CMarkup again;
  if (!again.SetDocument(m.DocumentText().c_str())) __builtin_trap();
  return 0;
}
