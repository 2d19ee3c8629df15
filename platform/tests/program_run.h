// Runs one of the suite's programs as a user would from a shell, for the
// tests of its command-line front ends: the words in argv (no shell in
// between), and what it printed on each stream and its exit code back.
#pragma once
#include <string>
#include <vector>

namespace tarvik {

struct ProgramRun {
  int code = -1;    // the exit status; -1 when it did not exit by itself
  std::string out;  // standard output (with standard error when merged)
  std::string err;  // standard error, unless merged into out
};

struct ProgramOptions {
  // TARVIK_ROOT for the program; empty keeps the test's own environment.
  std::string stateRoot;
  // Standard error into the same stream as standard output, in the order
  // written, as "2>&1" does.
  bool mergeStderr = false;
};

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                      const ProgramOptions& options = {});

// A command line's words, split at blanks (no quoting), for tests that
// write their arguments as one line.
std::vector<std::string> SplitWords(const std::string& line);

}  // namespace tarvik
