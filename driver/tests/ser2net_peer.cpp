#include "ser2net_peer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

extern char** environ;

namespace tarvik::testing {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kStartLimit = std::chrono::seconds(10);
constexpr int kPortAttempts = 3;

// The program's full path: the PATH first, then the system folders that a
// plain user's PATH may lack (ser2net lives in /usr/sbin).
std::string FindProgram(const char* name) {
  std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
  path += ":/usr/sbin:/sbin:/usr/bin:/bin";
  std::stringstream dirs(path);
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    if (dir.empty()) continue;
    const std::string candidate = dir + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return "";
}

// Starts program with args; its standard output and error go to outFd.
pid_t Spawn(const std::string& program, const std::vector<std::string>& args, int outFd) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, outFd, 1);
  posix_spawn_file_actions_adddup2(&actions, outFd, 2);
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? pid : -1;
}

// A free TCP port on 127.0.0.1 at this moment.
uint16_t FreePort() {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof at;
  uint16_t port = 0;
  if (bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&at), &length) == 0) {
    port = ntohs(at.sin_port);
  }
  close(fd);
  return port;
}

// Whether a socket listens on 127.0.0.1:port (the kernel's TCP table).
bool Listening(uint16_t port) {
  std::ifstream table("/proc/net/tcp");
  char local[32];
  std::snprintf(local, sizeof local, "0100007F:%04X", port);
  std::string line;
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::string slot, address, remote, state;
    fields >> slot >> address >> remote >> state;
    if (address == local && state == "0A") return true;
  }
  return false;
}

bool Exited(pid_t pid) {
  int status = 0;
  return waitpid(pid, &status, WNOHANG) == pid;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

Ser2netPeer::~Ser2netPeer() {
  Stop(&ser2net_);
  Stop(&socat_);
  if (dir_.empty()) return;
  for (const char* name : {"line", "device", "ser2net.yaml", "ser2net.pid", "ser2net.log", "socat.log"})
    unlink((dir_ + "/" + name).c_str());
  rmdir(dir_.c_str());
}

void Ser2netPeer::Stop(pid_t* pid) {
  if (*pid <= 0) return;
  kill(*pid, SIGTERM);
  int status = 0;
  waitpid(*pid, &status, 0);
  *pid = -1;
}

bool Ser2netPeer::Start(std::string* why) {
  for (const char* program : {"socat", "ser2net"}) {
    if (FindProgram(program).empty()) {
      *why = std::string(program) + " is not installed (tools/setup/packages.txt)";
      return false;
    }
  }
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/tarvik-ser2net-XXXXXX";
  if (!mkdtemp(pattern.data())) {
    *why = "cannot make a folder: " + std::string(std::strerror(errno));
    return false;
  }
  dir_ = pattern;
  line_ = dir_ + "/line";
  device_ = dir_ + "/device";
  return StartSocat(why) && StartSer2net(why);
}

bool Ser2netPeer::ReadLine(termios* out) const {
  const int fd = open(line_.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = tcgetattr(fd, out) == 0;
  close(fd);
  return ok;
}

bool Ser2netPeer::StartSocat(std::string* why) {
  const std::string log = dir_ + "/socat.log";
  const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  socat_ = Spawn(FindProgram("socat"),
                 {"-d", "-d", "pty,raw,echo=0,link=" + line_, "pty,raw,echo=0,link=" + device_}, out);
  close(out);
  if (socat_ < 0) {
    *why = "socat did not start";
    return false;
  }
  // Both links stand and socat says it relays: the line is ready.
  const auto deadline = Clock::now() + kStartLimit;
  while (Clock::now() < deadline) {
    if (ReadFile(log).find("starting data transfer loop") != std::string::npos &&
        access(line_.c_str(), F_OK) == 0 && access(device_.c_str(), F_OK) == 0)
      return true;
    if (Exited(socat_)) {
      socat_ = -1;
      break;
    }
    poll(nullptr, 0, 10);
  }
  *why = "socat did not make its pty pair: " + ReadFile(log);
  return false;
}

bool Ser2netPeer::StartSer2net(std::string* why) {
  const std::string program = FindProgram("ser2net");
  const std::string config = dir_ + "/ser2net.yaml";
  const std::string log = dir_ + "/ser2net.log";
  // The port is free when chosen but may be taken before ser2net binds it;
  // then another is tried.
  for (int attempt = 0; attempt < kPortAttempts; ++attempt) {
    port_ = FreePort();
    std::ofstream yaml(config, std::ios::trunc);
    yaml << "connection: &tarvik\n"
         << "  accepter: telnet(rfc2217),tcp,127.0.0.1," << port_ << "\n"
         << "  connector: serialdev," << line_ << ",9600n81,local\n"
         // No service announcement: nothing of a test may reach a network.
         << "  options:\n"
         << "    mdns: false\n";
    yaml.close();
    const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    ser2net_ = Spawn(program, {"-n", "-u", "-c", config, "-P", dir_ + "/ser2net.pid"}, out);
    close(out);
    if (ser2net_ < 0) {
      *why = "ser2net did not start";
      return false;
    }
    const auto deadline = Clock::now() + kStartLimit;
    while (Clock::now() < deadline) {
      if (Listening(port_)) return true;
      if (Exited(ser2net_)) {
        ser2net_ = -1;
        break;
      }
      poll(nullptr, 0, 10);
    }
    Stop(&ser2net_);
  }
  *why = "ser2net does not listen on 127.0.0.1: " + ReadFile(log);
  return false;
}

std::string Ser2netPeer::Log() const {
  return "ser2net: " + ReadFile(dir_ + "/ser2net.log") + "\nsocat: " + ReadFile(dir_ + "/socat.log");
}

}  // namespace tarvik::testing
