// Companion programs. The utility starts them by the names they have on the
// PC the suite was made for ("Terminal.exe", "Diag.exe", "Ping.exe", the two
// Modbus master tools, a browser on "http://<address>/"), through the shell
// hook, with an argument text. On this system those programs do not exist:
// one table (kCompanions in companion.cpp) maps each name to a real
// command, and text programs open in a terminal window
// (x-terminal-emulator -T TITLE -e ...) that stays open until the user
// presses Enter, so that a failure can be read.
//
// The launch sites keep the names and argument texts; the mapping happens
// in the shell hook that InstallCompanionShell puts in front of the one
// installed before. What cannot be started (no mapping, a program that is
// not installed, a COM port that is not there) is reported through the
// problem report, which the main window shows in its status bar.
#pragma once
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

extern const char kTerminalProgram[];   // "Terminal.exe"
extern const char kDiagProgram[];       // "Diag.exe"
extern const char kModbusRtuProgram[];  // "HOLLIN.EXE"
extern const char kModbusTcpProgram[];  // "VARDEK.EXE"

// The path of fileName in the folder of exePath. Whatever the executable is
// called, the companions are looked for beside it.
std::string ProgramPathBeside(const std::string& exePath, const char* fileName);

// The same into path[size]; a path that does not fit gives an empty text
// (a cut path would name some other file). Returns false then.
bool ProgramPathBeside(const std::string& exePath, const char* fileName, char* path,
                       size_t size);

// The running program's own file.
std::string OwnExecutablePath();

// What the mapping may look at, so that tests can give their own.
struct CompanionEnvironment {
  std::string stateRoot;  // COM<n> links live in <stateRoot>/dev
  // Full path of an installed program, "" when there is none. Names with a
  // slash are checked as they are.
  std::function<std::string(const std::string& name)> findProgram;
  std::function<bool(const std::string& path)> exists;

  static CompanionEnvironment Live();
};

enum class CompanionMapping {
  kCommand,        // command holds the argument vector to start
  kNotCompanion,   // not one of the names: the previous shell hook's business
  kCannotStart,    // problem says why
};

struct CompanionCommand {
  std::vector<std::string> argv;
  std::string problem;
};

CompanionMapping MapCompanion(const std::string& file, const std::string& parameters,
                              const CompanionEnvironment& env, CompanionCommand* command);

// Puts the companion mapping in front of the shell hook installed now.
// report gets one line for every launch that cannot be started.
void InstallCompanionShell();
void SetCompanionProblemReport(std::function<void(const std::string& line)> report);
