// tarvikctl: the suite's command-line front end.
#include <cstdio>
#include <cstring>

#include "command.h"
#include "status_words.h"
#include "tarvik/registry.h"
#include "tarvik/state_root.h"

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

int RequireWritableStore() {
  tarvik::RegKey services;
  const tarvik::LSTATUS rc =
      services.Open("SYSTEM\\CurrentControlSet\\Services", tarvik::RegAccess::kFullAccess);
  if (rc == tarvik::kErrorAccessDenied) {
    return Fail("this user may not change the configuration in " + tarvik::RegistryPath() +
                "; run it as root (sudo tarvikctl ...)");
  }
  return 0;
}

}  // namespace tarvikctl

// Indents each "code<TAB>words" row of a table for the help text.
static void PrintTable(FILE* out, const char* title, const std::string& table) {
  std::fprintf(out, "\n%s:\n", title);
  size_t start = 0;
  while (start < table.size()) {
    size_t end = table.find('\n', start);
    std::string row = table.substr(start, end - start);
    const size_t tab = row.find('\t');
    std::fprintf(out, "  %5s  %s\n", row.substr(0, tab).c_str(), row.substr(tab + 1).c_str());
    start = end + 1;
  }
}

static void PrintUsage(FILE* out) {
  std::fprintf(out, "usage: tarvikctl COMMAND [ARGS...]\n\ncommands:\n");
  for (const auto& c : tarvikctl::Commands()) std::fprintf(out, "  tarvikctl %s\n", c.usage);
  std::fprintf(out,
               "\nstate root: %s\n"
               "  $TARVIK_ROOT; when unset, %s if it exists (a system-wide installation),\n"
               "  else ${XDG_STATE_HOME:-$HOME/.local/state}/tarvik\n",
               tarvik::StateRoot().c_str(), tarvik::SystemStateRoot().c_str());
  std::fprintf(out, "\nA failure names its cause: \"status N\" for the configuration library,\n"
                    "\"discovery code N\" for the discovery library, \"error N\" for the store\n"
                    "and the service manager.\n");
  PrintTable(out, "configuration status codes", tarvik::words::ConfigStatusTable());
  PrintTable(out, "discovery codes", tarvik::words::DiscoveryCodeTable());
  PrintTable(out, "error codes", tarvik::words::ErrorCodeTable());
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
