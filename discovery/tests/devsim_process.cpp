#include "devsim_process.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace findra_test {

DevsimProcess::~DevsimProcess() {
  Stop();
  if (!folder_.empty()) {
    unlink((folder_ + "/devices.txt").c_str());
    unlink((folder_ + "/devsim.log").c_str());
    rmdir(folder_.c_str());
  }
}

bool DevsimProcess::Start(const std::string& deviceFile) {
  char pattern[] = "/tmp/findra-devsim.XXXXXX";
  if (!mkdtemp(pattern)) return false;
  folder_ = pattern;
  const std::string devices = folder_ + "/devices.txt";
  const std::string log = folder_ + "/devsim.log";
  std::ofstream(devices) << deviceFile;
  int out[2];
  if (pipe(out) != 0) return false;
  pid_ = fork();
  if (pid_ == 0) {
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    close(out[1]);
    execl(TARVIK_DEVSIM_PATH, TARVIK_DEVSIM_PATH, "--log", log.c_str(), devices.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  // The simulator writes its one line once its socket is bound.
  char line[256];
  FILE* in = fdopen(out[0], "r");
  bool ready = in && fgets(line, sizeof line, in) != nullptr;
  if (in) fclose(in);
  return ready;
}

void DevsimProcess::Stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

std::vector<std::string> DevsimProcess::LogLines() const {
  std::vector<std::string> lines;
  std::ifstream in(folder_ + "/devsim.log");
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> DevsimProcess::LogLinesStarting(const std::string& prefix) const {
  std::vector<std::string> found;
  for (const std::string& line : LogLines()) {
    if (line.compare(0, prefix.size(), prefix) == 0) found.push_back(line);
  }
  return found;
}

std::string DeviceSection(const std::string& name, const std::string& mac, const std::string& more) {
  return "[device]\nname = " + name + "\nmac = " + mac + "\n" + more;
}

std::string MacOf(int n) {
  char mac[18];
  snprintf(mac, sizeof mac, "02:4E:A7:%02X:%02X:%02X", (n >> 16) & 0xff, (n >> 8) & 0xff, n & 0xff);
  return mac;
}

}  // namespace findra_test
