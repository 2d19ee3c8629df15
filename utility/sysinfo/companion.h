// Companion programs. The utility starts them by the names they have on the
// PC the suite was made for ("Terminal.exe", "Diag.exe", "Ping.exe", the two
// Modbus master tools, a browser on "http://<address>/"), through the shell
// hook, with an argument text. On this system those programs do not exist:
// one table (kCompanions in companion.cpp) maps each name to a real
// command, and text programs open in a terminal window
// (x-terminal-emulator -T TITLE -e /bin/sh -c SCRIPT ...) that stays open
// until the user presses Enter, so that a failure can be read.
//
// The launch sites keep the names and argument texts; the mapping happens
// in the shell hook that InstallCompanionShell puts in front of the one
// installed before. The two Modbus masters are started without arguments,
// so what they work on (the selected port, the current device) comes from
// the target source the main window sets. What cannot be started (no
// mapping, a program that is not installed, a COM port that is not there,
// a target that is not an address) is reported through the problem report,
// which the main window shows in its status bar.
//
// Every program is started by its full path, found only in the absolute
// folders of PATH: an empty or relative entry would start whatever lies in
// the folder the utility was started from.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "port_settings.h"
#include "tarvikcfg.h"

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

// The full path of the executable file name in the folders of path (a PATH
// value; null: the system's default folders), "" when there is none. Empty
// and relative entries are skipped. A name with a slash is taken as it is.
std::string FindProgramOnPath(const std::string& name, const char* path);

// What the Modbus masters work on, as the main window sees it at the
// launch.
struct CompanionTarget {
  // The port selected in the servers pane; comNumber 0 when no port with a
  // COM number is selected.
  uint32_t comNumber = 0;
  uint32_t devicePort = 0;     // the port's number on its device
  uint32_t serverAddress = 0;  // its server, first octet in the low byte
  uint32_t commandPort = 0;    // the server's TcpPortCmd
  uint32_t timeoutMs = 0;      // the server's ConnectTimeout
  // The current device address (the server last picked in either pane).
  std::string deviceAddress;
};

// The target for the servers pane's selection (server index and port
// entry, -1 for none) of set, and the current device address.
CompanionTarget TargetFromSelection(const TkcConfigSet& set, int server, int entry,
                                    const char* deviceAddress);

// What the mapping may look at, so that tests can give their own.
struct CompanionEnvironment {
  std::string stateRoot;  // COM<n> links live in <stateRoot>/dev
  // Full path of an installed program, "" when there is none. Names with a
  // slash are checked as they are.
  std::function<std::string(const std::string& name)> findProgram;
  std::function<bool(const std::string& path)> exists;
  CompanionTarget target;
  // Reads the line settings of the target's port from its device; false
  // with *failure set (the session's status text) when they cannot be read.
  std::function<bool(const CompanionTarget& target, tarvik::device::PortSettings* settings,
                     std::string* failure)>
      readLineSettings;

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

// The script a Modbus master's terminal runs: it asks for the slave address
// and the register range (Enter keeps the master's own default, shown in
// brackets), then runs "$@" with them added. Slave addresses run from 1 to
// 247 on a serial line, from 0 to 255 over TCP.
std::string ModbusScript(int lowestSlave, int highestSlave);

// Puts the companion mapping in front of the shell hook installed now.
// report gets one line for every launch that cannot be started.
void InstallCompanionShell();
void SetCompanionProblemReport(std::function<void(const std::string& line)> report);
// One line for the problem report, from a launch site that refuses itself.
void ReportCompanionProblem(const std::string& line);
// Where the Modbus masters' target comes from at each launch; unset, they
// have none.
void SetCompanionTargetSource(std::function<CompanionTarget()> source);
