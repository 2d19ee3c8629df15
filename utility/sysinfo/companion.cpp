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

#include "cmip.h"
#include "czorn3.h"
#include "tarvik/state_root.h"
#include "tarvik/text.h"
#include "tarvik/ui_hooks.h"

const char kTerminalProgram[] = "Terminal.exe";
const char kDiagProgram[] = "Diag.exe";
const char kModbusRtuProgram[] = "HOLLIN.EXE";
const char kModbusTcpProgram[] = "VARDEK.EXE";

namespace {

const char kTerminalEmulator[] = "x-terminal-emulator";
// By its full path: the terminal would look a bare "sh" up on the PATH.
const char kShell[] = "/bin/sh";

// Every script ends by keeping the window until Enter. Ctrl+C ends the
// program, not the window: the shell catches INT (a caught signal is reset
// to its default in the child, an ignored one would not be).
#define HOLD_WINDOW "echo; printf '%s' 'Press Enter to close this window.'; read -r _"
const char kHoldScript[] = "trap : INT; \"$@\"; " HOLD_WINDOW;
// The raw terminal takes Ctrl+C as a byte for the device; Ctrl+] ends it.
const char kRawTcpScript[] =
    "trap : INT; echo 'Ctrl+] closes the connection.'; \"$@\"; " HOLD_WINDOW;
const char kRawTcpEscape[] = "-,rawer,escape=0x1d";
const char kModbusTcpPort[] = "502";

// What a builder makes: the command the terminal's script runs as "$@"
// (command[0] is looked up on the PATH) and the script itself.
struct Launch {
  std::vector<std::string> command;
  std::string script = kHoldScript;
};

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

bool IsIpv4Text(const std::string& text) {
  CMIP ip;
  return ip.IsValidText(text.c_str());
}

// A text from a user or a device, fit to be quoted in a status line.
std::string Shown(const std::string& text) {
  std::string shown;
  for (char c : text) shown += (c >= ' ' && c <= '~') ? c : '?';
  return shown;
}

bool IsHostNameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
         c == '-' || c == '_' || c == ':';
}

struct Request {
  const std::string& file;
  const std::string& parameters;
  const CompanionEnvironment& env;
};

using Builder = bool (*)(const Request&, Launch* launch, std::string* problem);

std::string ComLink(const CompanionEnvironment& env, uint32_t com) {
  return env.stateRoot + "/dev/COM" + std::to_string(com);
}

// "-a -t <target>": this system's ping runs until stopped and names the
// hosts it hears from by itself, so only the target is handed on, and it
// must be one address or host name: ping would take a second word as the
// host and anything with a '-' in front as an option.
bool BuildPing(const Request& r, Launch* launch, std::string* problem) {
  const std::string prefix = "-a -t ";
  std::string target =
      r.parameters.compare(0, prefix.size(), prefix) == 0 ? r.parameters.substr(prefix.size()) : "";
  const size_t first = target.find_first_not_of(" \t");
  const size_t last = target.find_last_not_of(" \t");
  target = first == std::string::npos ? "" : target.substr(first, last - first + 1);
  if (target.empty()) {
    *problem = "Ping: no address or host name to ping.";
    return false;
  }
  if (target.find_first_of(" \t") != std::string::npos) {
    *problem = "Ping: \"" + Shown(target) + "\" is more than one target; ping one address or host name.";
    return false;
  }
  bool name = target[0] != '-';
  for (char c : target) name = name && IsHostNameCharacter(c);
  if (!name) {
    *problem = "Ping: \"" + Shown(target) + "\" is not an address or host name.";
    return false;
  }
  launch->command = {"ping", target};
  return true;
}

// "TCP=<host>,<port>": the diagnostic is a tarvikctl subcommand. tarvikctl
// is looked for beside the utility first, as "Diag.exe" would be.
bool BuildDiag(const Request& r, Launch* launch, std::string* problem) {
  std::string host, port;
  if (!ParseHostPort(r.parameters, "TCP=", &host, &port)) {
    *problem = "Diagnostic: \"" + Shown(r.parameters) + "\" names no server and port.";
    return false;
  }
  std::string tarvikctl = ProgramPathBeside(r.file, "tarvikctl");
  if (r.file.find('/') == std::string::npos || r.env.findProgram(tarvikctl).empty())
    tarvikctl = "tarvikctl";
  launch->command = {tarvikctl, "device", "diag", host, port};
  return true;
}

// "Serial=COM<n>": a serial terminal on the COM port's link. The port keeps
// the line settings it has (--noinit): the driver hands them to the device.
// "Tcp=<address>,<port>": a raw terminal on the device's TCP port.
bool BuildTerminal(const Request& r, Launch* launch, std::string* problem) {
  const std::string& p = r.parameters;
  if (p.size() > 10 && strncasecmp(p.c_str(), "Serial=COM", 10) == 0) {
    std::string number;
    if (!ParsePort(p.substr(10), &number) || std::stoi(number) > 4095) {
      *problem = "Terminal: \"" + Shown(p) + "\" names no COM port.";
      return false;
    }
    const std::string link = ComLink(r.env, std::stoul(number));
    if (!r.env.exists(link)) {
      *problem = "Terminal: COM" + number + " is not open; the driver does not serve it now.";
      return false;
    }
    launch->command = {"picocom", "--noinit", "--noreset", "--nolock", link};
    return true;
  }
  std::string host, port;
  if (ParseHostPort(p, "Tcp=", &host, &port)) {
    // socat reads ',' and ':' in an address as its own: only an address
    // in its dotted form goes into one.
    if (!IsIpv4Text(host)) {
      *problem = "Terminal: \"" + Shown(host) + "\" is not an IPv4 address.";
      return false;
    }
    launch->command = {"socat", kRawTcpEscape, "TCP:" + host + ":" + port};
    launch->script = kRawTcpScript;
    return true;
  }
  *problem = "Terminal: \"" + Shown(p) + "\" names no port.";
  return false;
}

// mbpoll names only these; a pty carries neither data bits nor parity
// (every setting is forced to 8 bits, no parity), so the others are moot.
const char* MbpollParity(char letter) {
  switch (letter) {
    case 'E': return "even";
    case 'O': return "odd";
    default: return "none";
  }
}

// The selected port's COM link, at the line settings its device reports
// now: the master's settings go through the driver to a port that takes
// settings from the PC, so any other rate would change the device's line.
bool BuildModbusRtu(const Request& r, Launch* launch, std::string* problem) {
  const CompanionTarget& t = r.env.target;
  if (t.comNumber == 0) {
    *problem = "Modbus RTU Master: select a port that has a COM number in the Servers list first.";
    return false;
  }
  const std::string com = "COM" + std::to_string(t.comNumber);
  if (t.devicePort == 0) {
    *problem = "Modbus RTU Master: " + com + " is the I/O port; it has no serial line.";
    return false;
  }
  const std::string link = ComLink(r.env, t.comNumber);
  if (!r.env.exists(link)) {
    *problem = "Modbus RTU Master: " + com + " is not open; the driver does not serve it now.";
    return false;
  }
  // Before the device is asked, which can take the connect time-out.
  if (r.env.findProgram("mbpoll").empty()) {
    *problem = "Modbus RTU Master: mbpoll is not installed.";
    return false;
  }
  tarvik::device::PortSettings settings;
  std::string failure;
  if (!r.env.readLineSettings || !r.env.readLineSettings(t, &settings, &failure)) {
    *problem = "Modbus RTU Master: the line settings of " + com +
               " could not be read from its device (" + failure + ").";
    return false;
  }
  launch->command = {"mbpoll", "-m", "rtu", "-b", settings.baud,
                     "-d", settings.dataBits == '7' ? "7" : "8",
                     "-s", settings.stopBits == '2' ? "2" : "1",
                     "-P", MbpollParity(settings.parity), link};
  launch->script = ModbusScript(1, 247);
  return true;
}

// The current device's Modbus TCP port. The address may come from a
// discovery reply, which anyone on the network can send.
bool BuildModbusTcp(const Request& r, Launch* launch, std::string* problem) {
  const std::string& address = r.env.target.deviceAddress;
  if (!IsIpv4Text(address)) {
    *problem = "Modbus TCP Master: the current device address is not an IPv4 address.";
    return false;
  }
  launch->command = {"mbpoll", "-m", "tcp", "-p", kModbusTcpPort, address};
  launch->script = ModbusScript(0, 255);
  return true;
}

struct Companion {
  const char* name;   // the file name the utility starts
  const char* title;  // of the terminal window
  Builder build;
};

const Companion kCompanions[] = {
    {"Ping.exe", "Ping", &BuildPing},
    {kDiagProgram, "Diagnostic", &BuildDiag},
    {kTerminalProgram, "Terminal", &BuildTerminal},
    {kModbusRtuProgram, "Modbus RTU Master", &BuildModbusRtu},
    {kModbusTcpProgram, "Modbus TCP Master", &BuildModbusTcp},
};

std::string FileName(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::mutex g_reportMutex;
std::function<void(const std::string&)> g_report;

std::mutex g_targetMutex;
std::function<CompanionTarget()> g_targetSource;

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

std::string FindProgramOnPath(const std::string& name, const char* path) {
  auto executable = [](const std::string& file) {
    struct stat st {};
    return ::stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(file.c_str(), X_OK) == 0;
  };
  if (name.empty()) return std::string();
  if (name.find('/') != std::string::npos) return executable(name) ? name : std::string();
  const std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    const std::string dir = dirs.substr(start, end - start);
    start = end + 1;
    // An empty entry means the current folder; so does a relative one.
    if (dir.empty() || dir[0] != '/') continue;
    const std::string file = dir + "/" + name;
    if (executable(file)) return file;
  }
  return std::string();
}

CompanionTarget TargetFromSelection(const TkcConfigSet& set, int server, int entry,
                                    const char* deviceAddress) {
  CompanionTarget target;
  target.deviceAddress = deviceAddress ? deviceAddress : "";
  const uint32_t servers = set.Servers < TKC_MAX_SERVERS ? set.Servers : TKC_MAX_SERVERS;
  if (server < 0 || static_cast<uint32_t>(server) >= servers || entry < 0 ||
      entry >= TKC_PORTMAP_ENTRIES)
    return target;
  const TkcServerRecord& record = set.Records[server];
  // Entries past the server's data ports (PortNo + 1) mean nothing.
  if (static_cast<uint32_t>(entry) > record.PortNo + 1) return target;
  const uint32_t word = record.PortMap[entry].Com;
  target.comNumber = TkcComNumber(word);
  target.devicePort = TkcComDevicePort(word);
  target.serverAddress = record.IPAddress;
  target.commandPort = record.TcpPortCmd;
  target.timeoutMs = record.ConnectTimeout;
  return target;
}

CompanionEnvironment CompanionEnvironment::Live() {
  CompanionEnvironment env;
  env.stateRoot = tarvik::StateRoot();
  env.findProgram = [](const std::string& name) {
    return FindProgramOnPath(name, std::getenv("PATH"));
  };
  env.exists = [](const std::string& path) { return ::access(path.c_str(), F_OK) == 0; };
  std::function<CompanionTarget()> source;
  {
    std::lock_guard<std::mutex> lock(g_targetMutex);
    source = g_targetSource;
  }
  if (source) env.target = source();
  env.readLineSettings = [](const CompanionTarget& t, tarvik::device::PortSettings* settings,
                            std::string* failure) {
    tarvik::WaitCursor wait;
    CZorn3 session;
    session.Address().SetValue(t.serverAddress);
    session.SetPort(t.commandPort);
    if (t.timeoutMs != 0) session.SetTimeout(t.timeoutMs);
    char payload[CZorn3::kReplySize];
    const bool read = session.Connect() == 0 &&
                      session.GetPortSettings(t.devicePort, payload, sizeof payload) == 0 &&
                      tarvik::device::ParsePortSettings(payload, tarvik::device::PortRules(),
                                                        settings) == tarvik::device::PortParse::kOk;
    *failure = "Err:" + session.StatusText();
    session.Close();
    return read;
  };
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
  Launch launch;
  if (!row->build(Request{file, parameters, env}, &launch, &out->problem))
    return CompanionMapping::kCannotStart;
  const std::string program = env.findProgram(launch.command[0]);
  if (program.empty()) {
    out->problem = std::string(row->title) + ": " + FileName(launch.command[0]) + " is not installed.";
    return CompanionMapping::kCannotStart;
  }
  launch.command[0] = program;
  const std::string terminal = env.findProgram(kTerminalEmulator);
  if (terminal.empty()) {
    out->problem = std::string(row->title) + ": no terminal window program (" +
                   kTerminalEmulator + ") is installed.";
    return CompanionMapping::kCannotStart;
  }
  out->argv = {terminal, "-T", row->title, "-e", kShell, "-c", launch.script, "sh"};
  out->argv.insert(out->argv.end(), launch.command.begin(), launch.command.end());
  return CompanionMapping::kCommand;
}

std::string ModbusScript(int lowestSlave, int highestSlave) {
  // Numbers only, without leading zeros (mbpoll would read 010 as eight),
  // so that nothing typed reaches mbpoll as an option.
  return std::string(
             "trap : INT; "
             "ask() { "
             "while :; do "
             "printf '%s (%s-%s) [%s]: ' \"$1\" \"$3\" \"$4\" \"$2\"; "
             "IFS= read -r answer || exit 0; "
             "[ -n \"$answer\" ] || answer=$2; "
             "case $answer in "
             "*[!0-9]*|0?*|??????*) ;; "
             "*) if [ \"$answer\" -ge \"$3\" ] && [ \"$answer\" -le \"$4\" ]; then "
             "value=$answer; return; fi ;; "
             "esac; "
             "echo \"Give a number from $3 to $4.\"; "
             "done; "
             "}; "
             "ask 'Slave address' 1 ") +
         std::to_string(lowestSlave) + " " + std::to_string(highestSlave) +
         "; slave=$value; "
         "ask 'First register' 1 1 65536; first=$value; "
         "ask 'Number of registers' 1 1 125; count=$value; "
         "\"$@\" -a \"$slave\" -r \"$first\" -c \"$count\"; " HOLD_WINDOW;
}

void ReportCompanionProblem(const std::string& line) { Report(line); }

void SetCompanionTargetSource(std::function<CompanionTarget()> source) {
  std::lock_guard<std::mutex> lock(g_targetMutex);
  g_targetSource = std::move(source);
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
