#include "program_run.h"

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace tarvik {

namespace {

// Reads both pipes until the program has closed them; a full pipe that
// nobody drains would stall a program that writes a lot to one stream.
void Drain(int outFd, int errFd, ProgramRun* run) {
  pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
  std::string* sinks[2] = {&run->out, &run->err};
  int open = errFd >= 0 ? 2 : 1;
  while (open > 0) {
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        fds[i].fd = -1;
        --open;
      }
    }
  }
}

}  // namespace

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                      const ProgramOptions& options) {
  ProgramRun run;
  int out[2], err[2] = {-1, -1};
  if (::pipe(out) != 0) return run;
  if (!options.mergeStderr && ::pipe(err) != 0) {
    ::close(out[0]);
    ::close(out[1]);
    return run;
  }
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (!options.stateRoot.empty()) ::setenv("TARVIK_ROOT", options.stateRoot.c_str(), 1);
    ::dup2(out[1], 1);
    ::dup2(options.mergeStderr ? out[1] : err[1], 2);
    ::close(out[0]);
    ::close(out[1]);
    if (err[0] >= 0) {
      ::close(err[0]);
      ::close(err[1]);
    }
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(out[1]);
  if (err[1] >= 0) ::close(err[1]);
  if (pid > 0) Drain(out[0], err[0], &run);
  ::close(out[0]);
  if (err[0] >= 0) ::close(err[0]);
  int status = 0;
  while (pid > 0 && ::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (pid > 0 && WIFEXITED(status)) run.code = WEXITSTATUS(status);
  return run;
}

std::vector<std::string> SplitWords(const std::string& line) {
  std::vector<std::string> words;
  std::string word;
  for (char c : line + " ") {
    if (c != ' ') {
      word += c;
    } else if (!word.empty()) {
      words.push_back(word);
      word.clear();
    }
  }
  return words;
}

}  // namespace tarvik
