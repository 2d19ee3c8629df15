// Several processes on one store: writers replace the whole set over and
// over while a reader reads it; every set read must be one writer's whole
// set, and counts added at once must all arrive.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "store_fixture.h"
#include "tarvik/registry.h"
#include "tarvikcfg.h"

namespace {

using tkctest::SetBox;
using tkctest::StoreTest;

constexpr uint32_t kGenerations = 60;
constexpr uint32_t kPorts = 16;

uint32_t ServersOf(uint32_t writer) { return writer == 1 ? 40 : 55; }

// Every field a writer sets says who wrote it, in which round, for which
// server and port, so a mix of two writes cannot pass as one.
uint32_t Stamp(uint32_t writer, uint32_t gen, uint32_t server, uint32_t port) {
  return (writer << 28) | (gen << 20) | (server << 8) | port;
}

void FillSet(TkcConfigSet* set, uint32_t writer, uint32_t gen) {
  set->Servers = ServersOf(writer);
  set->Flags = TKC_FLAGS_FORMAT_MARKER;
  for (uint32_t s = 0; s < set->Servers; ++s) {
    TkcServerRecord& r = set->Records[s];
    std::memset(&r, 0, sizeof(r));
    std::snprintf(r.ServerName, sizeof(r.ServerName), "cHN-14");
    std::snprintf(r.AliasName, sizeof(r.AliasName), "w%u g%u s%u", writer, gen, s);
    r.PortNo = kPorts;
    r.IPAddress = Stamp(writer, gen, s, 0);
    r.KeepAliveTime = Stamp(writer, gen, s, 1);
    r.TcpPortCmd = 10000;
    r.TcpPort7000 = 9999;
    for (uint32_t p = 1; p <= kPorts; ++p) {
      r.PortMap[p + 1].Com = Stamp(writer, gen, s, p) | 0x0F000000u;
      r.PortMap[p + 1].Options = TkcOptSetAutoFlush(0, 5);
    }
  }
}

// Returns an empty text when the set is one writer's whole set.
std::string CheckWhole(const TkcConfigSet* set, uint32_t* genOut) {
  if (set->Servers == 0) return "";
  const uint32_t writer = set->Records[0].IPAddress >> 28;
  const uint32_t gen = (set->Records[0].IPAddress >> 20) & 0xFF;
  if (writer != 1 && writer != 2) return "unknown writer";
  if (set->Servers != ServersOf(writer)) return "server count of another writer";
  if (set->Ports != set->Servers * (kPorts + 1)) return "port count of another set";
  for (uint32_t s = 0; s < set->Servers; ++s) {
    const TkcServerRecord& r = set->Records[s];
    char alias[50];
    std::snprintf(alias, sizeof(alias), "w%u g%u s%u", writer, gen, s);
    if (std::strcmp(r.AliasName, alias) != 0) return std::string("torn alias ") + r.AliasName;
    if (r.IPAddress != Stamp(writer, gen, s, 0) || r.KeepAliveTime != Stamp(writer, gen, s, 1)) {
      return "torn server values";
    }
    if (r.PortNo != kPorts) return "torn port count";
    for (uint32_t p = 1; p <= kPorts; ++p) {
      if (r.PortMap[p + 1].Com != (Stamp(writer, gen, s, p) | 0x0F000000u)) return "torn port word";
    }
  }
  *genOut = gen;
  return "";
}

// Runs body in a child; returns its exit code.
template <typename Fn>
pid_t Spawn(Fn body) {
  const pid_t pid = fork();
  if (pid == 0) _exit(body());
  return pid;
}

int ExitCode(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

class MultiProcessTest : public StoreTest {};

TEST_F(MultiProcessTest, TwoWritersOneReaderSeeOnlyWholeSets) {
  static SetBox shared;  // children get their own copy on fork
  tarvik::RegCloseStore();
  std::vector<pid_t> writers;
  for (uint32_t w = 1; w <= 2; ++w) {
    writers.push_back(Spawn([w] {
      for (uint32_t gen = 1; gen <= kGenerations; ++gen) {
        FillSet(shared.set, w, gen);
        if (Tkc_RegWriteAll(shared.set) != 0) return 1;
      }
      return 0;
    }));
  }
  // The reader runs until the parent tells it (through a pipe) that both
  // writers are done, then reads once more.
  int done[2];
  ASSERT_EQ(pipe(done), 0);
  const pid_t reader = Spawn([&done] {
    close(done[1]);
    fcntl(done[0], F_SETFL, O_NONBLOCK);
    uint32_t lastGen[3] = {0, 0, 0};
    int whole = 0;
    for (bool last = false;;) {
      char byte;
      last = last || read(done[0], &byte, 1) == 0;  // EOF: the writers are done
      const uint16_t status = Tkc_RegReadAll(shared.set);
      if (status != 0) {
        std::fprintf(stderr, "read status %u\n", status);
        return 2;
      }
      uint32_t gen = 0;
      const std::string fault = CheckWhole(shared.set, &gen);
      if (!fault.empty()) {
        std::fprintf(stderr, "%s\n", fault.c_str());
        return 3;
      }
      if (shared->Servers) {
        const uint32_t writer = shared->Records[0].IPAddress >> 28;
        if (gen < lastGen[writer]) return 4;  // a writer's rounds never go back
        lastGen[writer] = gen;
        ++whole;
      }
      if (last) return whole > 0 ? 0 : 5;
    }
  });
  close(done[0]);
  for (pid_t pid : writers) EXPECT_EQ(ExitCode(pid), 0) << "writer";
  close(done[1]);
  EXPECT_EQ(ExitCode(reader), 0) << "reader found a torn or lost set";

  // The store ends as one writer's last round.
  SetBox final;
  ASSERT_EQ(Tkc_RegReadAll(final.set), 0);
  uint32_t gen = 0;
  EXPECT_EQ(CheckWhole(final.set, &gen), "");
  EXPECT_EQ(gen, kGenerations);
}

TEST_F(MultiProcessTest, CountsAddedAtOnceAllArrive) {
  constexpr int kAdds = 150;
  tarvik::RegCloseStore();
  std::vector<pid_t> adders;
  for (int w = 0; w < 2; ++w) {
    adders.push_back(Spawn([] {
      for (int i = 0; i < kAdds; ++i) {
        if (Tkc_RegAddServersAndPortsCount(1, 3) != 0) return 1;
      }
      return 0;
    }));
  }
  // A reader of the pair never sees a server counted without its ports.
  const pid_t reader = Spawn([] {
    for (int i = 0; i < 2000; ++i) {
      uint32_t servers = 0, ports = 0;
      if (Tkc_RegReadServersAndPorts(&servers, &ports) != 0) return 2;
      if (ports != servers * 3) return 3;
      if (servers == 2 * kAdds) break;
    }
    return 0;
  });
  for (pid_t pid : adders) EXPECT_EQ(ExitCode(pid), 0);
  EXPECT_EQ(ExitCode(reader), 0);
  uint32_t servers = 0, ports = 0;
  ASSERT_EQ(Tkc_RegReadServersAndPorts(&servers, &ports), 0);
  EXPECT_EQ(servers, 2u * kAdds);
  EXPECT_EQ(ports, 6u * kAdds);
}

}  // namespace
