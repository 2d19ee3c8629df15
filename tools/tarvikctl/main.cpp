// tarvikctl: the suite's command-line front end.
#include <cstdio>
#include <cstring>

#include "command.h"

namespace tarvikctl {

static std::vector<Command>& Table() {
  static std::vector<Command> table;
  return table;
}

TarvikctlCommand::TarvikctlCommand(const Command& command) { Table().push_back(command); }

const std::vector<Command>& Commands() { return Table(); }

int Fail(const std::string& message) {
  std::fprintf(stderr, "tarvikctl: %s\n", message.c_str());
  return 1;
}

}  // namespace tarvikctl

static void PrintUsage(FILE* out) {
  std::fprintf(out, "usage: tarvikctl COMMAND [ARGS...]\n\ncommands:\n");
  for (const auto& c : tarvikctl::Commands()) std::fprintf(out, "  tarvikctl %s\n", c.usage);
}

int main(int argc, char** argv) {
  if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
    PrintUsage(argc < 2 ? stderr : stdout);
    return argc < 2 ? 1 : 0;
  }
  tarvikctl::Args args(argv + 2, argv + argc);
  for (const auto& c : tarvikctl::Commands()) {
    if (!std::strcmp(c.name, argv[1])) return c.handler(args);
  }
  return tarvikctl::Fail(std::string("unknown command \"") + argv[1] + "\" (see tarvikctl --help)");
}
