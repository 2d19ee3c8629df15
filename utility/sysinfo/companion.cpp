#include "companion.h"

#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "tarvik/state_root.h"
#include "tarvik/text.h"
#include "tarvik/ui_hooks.h"

const char kTerminalProgram[] = "Terminal.exe";
const char kDiagProgram[] = "Diag.exe";
const char kModbusRtuProgram[] = "HOLLIN.EXE";
const char kModbusTcpProgram[] = "VARDEK.EXE";

namespace {

const char kTerminalEmulator[] = "x-terminal-emulator";
// Runs "$@", then keeps the window until Enter. Ctrl+C ends the program,
// not the window: the shell catches INT (a caught signal is reset to its
// default in the child, an ignored one would not be).
const char kHoldScript[] =
    "trap : INT; \"$@\"; echo; printf '%s' 'Press Enter to close this window.'; read -r _";

struct Words {
  std::vector<std::string> items;
};

Words SplitWords(const std::string& text) {
  Words words;
  std::string word;
  for (char c : text) {
    if (c == ' ' || c == '\t') {
      if (!word.empty()) words.items.push_back(word);
      word.clear();
    } else {
      word += c;
    }
  }
  if (!word.empty()) words.items.push_back(word);
  return words;
}

bool ParsePort(const std::string& text, std::string* port) {
  if (text.empty() || text.size() > 5) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  const long value = std::strtol(text.c_str(), nullptr, 10);
  if (value < 1 || value > 65535) return false;
  *port = std::to_string(value);
  return true;
}

// "<prefix><host>,<port>" with the prefix in any letter case.
bool ParseHostPort(const std::string& text, const char* prefix, std::string* host,
                   std::string* port) {
  const size_t n = std::strlen(prefix);
  if (text.size() <= n || strncasecmp(text.c_str(), prefix, n) != 0) return false;
  const std::string rest = text.substr(n);
  const size_t comma = rest.rfind(',');
  if (comma == std::string::npos || comma == 0) return false;
  *host = rest.substr(0, comma);
  // A host that looks like an option would be read as one.
  if ((*host)[0] == '-' || host->find_first_of(" \t") != std::string::npos) return false;
  return ParsePort(rest.substr(comma + 1), port);
}

struct Request {
  const std::string& file;
  const std::string& parameters;
  const CompanionEnvironment& env;
};

using Builder = bool (*)(const Request&, std::vector<std::string>* command, std::string* problem);

// "-a -t <target>": this system's ping runs until stopped and names the
// hosts it hears from by itself, so only the target is handed on.
bool BuildPing(const Request& r, std::vector<std::string>* command, std::string* problem) {
  std::string target;
  for (const std::string& word : SplitWords(r.parameters).items)
    if (word != "-a" && word != "-t") target = word;
  if (target.empty() || target[0] == '-') {
    *problem = "Ping: no address or host name to ping.";
    return false;
  }
  *command = {"ping", target};
  return true;
}

// "TCP=<host>,<port>": the diagnostic is a tarvikctl subcommand. tarvikctl
// is looked for beside the utility first, as "Diag.exe" would be.
bool BuildDiag(const Request& r, std::vector<std::string>* command, std::string* problem) {
  std::string host, port;
  if (!ParseHostPort(r.parameters, "TCP=", &host, &port)) {
    *problem = "Diagnostic: \"" + r.parameters + "\" names no server and port.";
    return false;
  }
  std::string tarvikctl = ProgramPathBeside(r.file, "tarvikctl");
  if (r.file.find('/') == std::string::npos || r.env.findProgram(tarvikctl).empty())
    tarvikctl = "tarvikctl";
  *command = {tarvikctl, "device", "diag", host, port};
  return true;
}

// "Serial=COM<n>": a serial terminal on the COM port's link. The port keeps
// the line settings it has (--noinit): the driver hands them to the device.
bool BuildTerminal(const Request& r, std::vector<std::string>* command, std::string* problem) {
  const std::string& p = r.parameters;
  if (p.size() > 10 && strncasecmp(p.c_str(), "Serial=COM", 10) == 0) {
    std::string number;
    if (!ParsePort(p.substr(10), &number) || std::stoi(number) > 4095) {
      *problem = "Terminal: \"" + p + "\" names no COM port.";
      return false;
    }
    const std::string link = r.env.stateRoot + "/dev/COM" + number;
    if (!r.env.exists(link)) {
      *problem = "Terminal: COM" + number + " is not open; the driver does not serve it now.";
      return false;
    }
    *command = {"picocom", "--noinit", "--noreset", "--nolock", link};
    return true;
  }
  std::string host, port;
  if (ParseHostPort(p, "Tcp=", &host, &port)) {
    *problem = "Terminal: a TCP terminal (" + host + ":" + port +
               ") is not available on this system.";
    return false;
  }
  *problem = "Terminal: \"" + p + "\" names no port.";
  return false;
}

struct Companion {
  const char* name;   // the file name the utility starts
  const char* title;  // of the terminal window; null: no terminal
  Builder build;      // null: no counterpart on this system
};

const Companion kCompanions[] = {
    {"Ping.exe", "Ping", &BuildPing},
    {kDiagProgram, "Diagnostic", &BuildDiag},
    {kTerminalProgram, "Terminal", &BuildTerminal},
    {kModbusRtuProgram, nullptr, nullptr},
    {kModbusTcpProgram, nullptr, nullptr},
};

std::string FileName(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::mutex g_reportMutex;
std::function<void(const std::string&)> g_report;

void Report(const std::string& line) {
  std::function<void(const std::string&)> report;
  {
    std::lock_guard<std::mutex> lock(g_reportMutex);
    report = g_report;
  }
  if (report) report(line);
}

}  // namespace

std::string ProgramPathBeside(const std::string& exePath, const char* fileName) {
  const size_t slash = exePath.rfind('/');
  if (slash == std::string::npos) return fileName;
  return exePath.substr(0, slash + 1) + fileName;
}

bool ProgramPathBeside(const std::string& exePath, const char* fileName, char* path,
                       size_t size) {
  const std::string full = ProgramPathBeside(exePath, fileName);
  if (full.size() + 1 > size) {
    if (size > 0) path[0] = '\0';
    return false;
  }
  tarvik::CopyText(path, size, full.c_str());
  return true;
}

std::string OwnExecutablePath() {
  return QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString();
}

CompanionEnvironment CompanionEnvironment::Live() {
  CompanionEnvironment env;
  env.stateRoot = tarvik::StateRoot();
  env.findProgram = [](const std::string& name) -> std::string {
    auto executable = [](const std::string& path) {
      struct stat st {};
      return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
             ::access(path.c_str(), X_OK) == 0;
    };
    if (name.find('/') != std::string::npos) return executable(name) ? name : std::string();
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
      size_t end = dirs.find(':', start);
      if (end == std::string::npos) end = dirs.size();
      const std::string dir = end > start ? dirs.substr(start, end - start) : ".";
      if (executable(dir + "/" + name)) return dir + "/" + name;
      start = end + 1;
    }
    return std::string();
  };
  env.exists = [](const std::string& path) { return ::access(path.c_str(), F_OK) == 0; };
  return env;
}

CompanionMapping MapCompanion(const std::string& file, const std::string& parameters,
                              const CompanionEnvironment& env, CompanionCommand* out) {
  out->argv.clear();
  out->problem.clear();
  if (strncasecmp(file.c_str(), "http://", 7) == 0 || strncasecmp(file.c_str(), "https://", 8) == 0) {
    if (env.findProgram("xdg-open").empty()) {
      out->problem = "Web: xdg-open is not installed; open " + file + " in a browser.";
      return CompanionMapping::kCannotStart;
    }
    out->argv = {env.findProgram("xdg-open"), file};
    return CompanionMapping::kCommand;
  }
  const std::string name = FileName(file);
  const Companion* row = nullptr;
  for (const Companion& c : kCompanions)
    if (strcasecmp(name.c_str(), c.name) == 0) row = &c;
  if (row == nullptr) return CompanionMapping::kNotCompanion;
  if (row->build == nullptr) {
    out->problem = name + " has no counterpart on this system.";
    return CompanionMapping::kCannotStart;
  }
  std::vector<std::string> command;
  if (!row->build(Request{file, parameters, env}, &command, &out->problem))
    return CompanionMapping::kCannotStart;
  const std::string program = env.findProgram(command[0]);
  if (program.empty()) {
    out->problem = std::string(row->title) + ": " + FileName(command[0]) + " is not installed.";
    return CompanionMapping::kCannotStart;
  }
  command[0] = program;
  const std::string terminal = env.findProgram(kTerminalEmulator);
  if (terminal.empty()) {
    out->problem = std::string(row->title) + ": no terminal window program (" +
                   kTerminalEmulator + ") is installed.";
    return CompanionMapping::kCannotStart;
  }
  out->argv = {terminal, "-T", row->title, "-e", "sh", "-c", kHoldScript, "sh"};
  out->argv.insert(out->argv.end(), command.begin(), command.end());
  return CompanionMapping::kCommand;
}

void SetCompanionProblemReport(std::function<void(const std::string& line)> report) {
  std::lock_guard<std::mutex> lock(g_reportMutex);
  g_report = std::move(report);
}

void InstallCompanionShell() {
  tarvik::ShellOpenHook previous = tarvik::GetShellOpenHook();
  tarvik::SetShellOpenHook([previous](const std::string& file, const std::string& parameters,
                                      const std::string& directory) -> int {
    CompanionCommand command;
    switch (MapCompanion(file, parameters, CompanionEnvironment::Live(), &command)) {
      case CompanionMapping::kNotCompanion:
        return previous ? previous(file, parameters, directory) : 2;
      case CompanionMapping::kCannotStart:
        Report(command.problem);
        return 2;  // file not found
      case CompanionMapping::kCommand:
        break;
    }
    QStringList arguments;
    for (size_t i = 1; i < command.argv.size(); ++i)
      arguments << QFile::decodeName(command.argv[i].c_str());
    if (!QProcess::startDetached(QFile::decodeName(command.argv[0].c_str()), arguments,
                                 QFile::decodeName(directory.c_str()))) {
      Report("Cannot start " + command.argv[0] + ".");
      return 2;
    }
    return 33;
  });
}
