// config_bench: Tkc_RegWriteAll and Tkc_RegReadAll on a full set (4095
// servers of 68 data ports, every port mapped), beside raw SQLite doing the
// same number of value inserts and point selects in one transaction each,
// on the same schema shape, in the same run.
//
// usage: config_bench [rounds]   (default 3; the best round counts)
// Runs in a fresh temporary state root that it removes at the end.
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "tarvik/registry.h"
#include "tarvikcfg.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from) {
  return std::chrono::duration<double>(Clock::now() - from).count();
}

// CPU seconds of this process: on a machine shared with other work the
// wall time says more about the neighbours than about the code.
double CpuNow() {
  timespec ts;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

struct Timing {
  double wall = 1e9;
  double cpu = 1e9;
};

// Runs fn and keeps the best wall and CPU time seen.
template <typename Fn>
bool Time(Timing* best, Fn fn) {
  const auto t0 = Clock::now();
  const double c0 = CpuNow();
  const bool ok = fn();
  best->cpu = std::min(best->cpu, CpuNow() - c0);
  best->wall = std::min(best->wall, Seconds(t0));
  return ok;
}

TkcConfigSet g_written;
TkcConfigSet g_read;

// Values one server stores: 7 texts/addresses/count, 2 per data port, the
// I/O port word and 5 timing/port values.
constexpr uint32_t kValuesPerServer = 7 + 2 * TKC_MAX_DATA_PORTS + 1 + 5;

void FillFullSet(TkcConfigSet* set) {
  std::memset(set, 0, sizeof(*set));
  set->SizeStamp = TKC_SET_SIZE;
  set->Servers = TKC_MAX_SERVERS;
  set->Flags = TKC_FLAGS_FORMAT_MARKER;
  for (uint32_t s = 0; s < TKC_MAX_SERVERS; ++s) {
    TkcServerRecord& r = set->Records[s];
    std::snprintf(r.ServerName, sizeof(r.ServerName), "XYZ1558-68");
    std::snprintf(r.AliasName, sizeof(r.AliasName), "server %u", s + 1);
    std::snprintf(r.HostName, sizeof(r.HostName), "server-%u.example", s + 1);
    r.IPAddress = 0x0000000A | ((s + 1) << 16);
    r.PortNo = TKC_MAX_DATA_PORTS;
    Tkc_ParseServerInfo(&r, sizeof(r));
    r.PortNo = TKC_MAX_DATA_PORTS;
    for (uint32_t p = 1; p <= TKC_MAX_DATA_PORTS; ++p) {
      const uint32_t com = 1 + (s * TKC_MAX_DATA_PORTS + p) % TKC_MAX_COM;
      r.PortMap[p + 1].Com = TkcComSetNumber(r.PortMap[p + 1].Com, com);
      r.PortMap[p + 1].Options = TkcOptSetAutoFlush(0, 5);
    }
    r.PortMap[1].Com = TKC_COM_FIXED_CONFIG;  // the command port reads back as fixed
    r.KeepAliveTime = 120000;
    r.ConnectionBroken = 180000;
    r.ConnectTimeout = 5000;
    r.TcpPortCmd = 10000;
    r.TcpPort7000 = 9999;
  }
}

bool Exec(sqlite3* db, const char* sql) {
  char* error = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
    std::fprintf(stderr, "sqlite: %s\n", error ? error : "?");
    sqlite3_free(error);
    return false;
  }
  return true;
}

// The baseline: the same number of keys and values through prepared
// statements in one write transaction, then the same number of point
// selects in one read transaction.
bool RawSqlite(const std::string& path, Timing* write, Timing* read) {
  std::filesystem::remove(path);
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) return false;
  bool ok = Exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;") &&
            Exec(db,
                 "CREATE TABLE k(id INTEGER PRIMARY KEY AUTOINCREMENT, parent INTEGER NOT NULL,"
                 " name TEXT NOT NULL);"
                 "CREATE UNIQUE INDEX k_name ON k(parent, name COLLATE NOCASE);"
                 "CREATE TABLE v(key INTEGER NOT NULL, name TEXT NOT NULL, type INTEGER NOT NULL,"
                 " data BLOB NOT NULL);"
                 "CREATE UNIQUE INDEX v_name ON v(key, name COLLATE NOCASE);");
  sqlite3_stmt* insKey = nullptr;
  sqlite3_stmt* insVal = nullptr;
  sqlite3_stmt* sel = nullptr;
  ok = ok && sqlite3_prepare_v2(db, "INSERT INTO k(parent, name) VALUES(1, ?1)", -1, &insKey, nullptr) == SQLITE_OK;
  ok = ok && sqlite3_prepare_v2(db, "INSERT INTO v(key, name, type, data) VALUES(?1, ?2, 4, ?3)", -1, &insVal, nullptr) == SQLITE_OK;
  ok = ok && sqlite3_prepare_v2(db, "SELECT type, data FROM v WHERE key = ?1 AND name = ?2 COLLATE NOCASE", -1, &sel, nullptr) == SQLITE_OK;
  char name[32];
  auto t0 = Clock::now();
  double c0 = CpuNow();
  ok = ok && Exec(db, "BEGIN IMMEDIATE");
  for (uint32_t s = 0; ok && s < TKC_MAX_SERVERS; ++s) {
    std::snprintf(name, sizeof(name), "Server%u", s + 1);
    sqlite3_bind_text(insKey, 1, name, -1, SQLITE_TRANSIENT);
    ok = sqlite3_step(insKey) == SQLITE_DONE;
    sqlite3_reset(insKey);
    const int64_t key = sqlite3_last_insert_rowid(db);
    for (uint32_t v = 0; ok && v < kValuesPerServer; ++v) {
      const uint32_t data = s * 1000 + v;
      std::snprintf(name, sizeof(name), "Value%u", v);
      sqlite3_bind_int64(insVal, 1, key);
      sqlite3_bind_text(insVal, 2, name, -1, SQLITE_TRANSIENT);
      sqlite3_bind_blob(insVal, 3, &data, sizeof(data), SQLITE_TRANSIENT);
      ok = sqlite3_step(insVal) == SQLITE_DONE;
      sqlite3_reset(insVal);
    }
  }
  ok = ok && Exec(db, "COMMIT");
  write->cpu = std::min(write->cpu, CpuNow() - c0);
  write->wall = std::min(write->wall, Seconds(t0));

  t0 = Clock::now();
  c0 = CpuNow();
  uint64_t sum = 0;
  ok = ok && Exec(db, "BEGIN DEFERRED");
  for (uint32_t s = 0; ok && s < TKC_MAX_SERVERS; ++s) {
    const int64_t key = s + 1;
    for (uint32_t v = 0; ok && v < kValuesPerServer; ++v) {
      std::snprintf(name, sizeof(name), "Value%u", v);
      sqlite3_bind_int64(sel, 1, key);
      sqlite3_bind_text(sel, 2, name, -1, SQLITE_TRANSIENT);
      ok = sqlite3_step(sel) == SQLITE_ROW;
      if (ok) {
        uint32_t data = 0;
        std::memcpy(&data, sqlite3_column_blob(sel, 1), sizeof(data));
        sum += data;
      }
      sqlite3_reset(sel);
    }
  }
  ok = ok && Exec(db, "COMMIT");
  read->cpu = std::min(read->cpu, CpuNow() - c0);
  read->wall = std::min(read->wall, Seconds(t0));
  if (sum == 0) ok = false;
  sqlite3_finalize(insKey);
  sqlite3_finalize(insVal);
  sqlite3_finalize(sel);
  sqlite3_close(db);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 3;
  char templ[] = "/tmp/config-bench-XXXXXX";
  if (!mkdtemp(templ)) return 1;
  const std::string root = templ;
  setenv("TARVIK_ROOT", root.c_str(), 1);

  FillFullSet(&g_written);
  const uint32_t values = TKC_MAX_SERVERS * kValuesPerServer;
  std::printf("full set: %u servers x %u data ports, %u values per write, %u selects per read\n",
              TKC_MAX_SERVERS, TKC_MAX_DATA_PORTS, values, values);

  Timing fresh, again, readAll, rawWrite, rawRead;
  for (int round = 0; round < rounds; ++round) {
    // A fresh store each round: the first write creates every key and value.
    tarvik::RegCloseStore();
    for (const char* f : {"/registry.db", "/registry.db-wal", "/registry.db-shm"}) {
      std::filesystem::remove(root + f);
    }
    tarvik::RegKey params;
    if (params.Create(TKC_PARAMETER_KEY) != 0) return 1;
    params.Close();

    if (!Time(&fresh, [] { return Tkc_RegWriteAll(&g_written) == 0; })) return 2;
    if (!Time(&again, [] { return Tkc_RegWriteAll(&g_written) == 0; })) return 2;
    g_read.SizeStamp = TKC_SET_SIZE;
    if (!Time(&readAll, [] { return Tkc_RegReadAll(&g_read) == 0; })) return 3;
    if (g_read.Servers != TKC_MAX_SERVERS ||
        std::memcmp(g_read.Records, g_written.Records, sizeof(g_read.Records)) != 0) {
      std::fprintf(stderr, "the set read differs from the set written\n");
      return 4;
    }
    if (!RawSqlite(root + "/raw.db", &rawWrite, &rawRead)) return 5;
  }
  tarvik::RegCloseStore();
  std::filesystem::remove_all(root);

  std::printf("best of %d rounds (wall s / CPU s; ratio of CPU time to the raw baseline):\n", rounds);
  const auto line = [](const char* what, const Timing& t, const Timing* base, const char* goal) {
    std::printf("  %-24s %7.3f / %7.3f", what, t.wall, t.cpu);
    if (base) std::printf("  %5.2fx raw", t.cpu / base->cpu);
    std::printf("%s\n", goal);
  };
  line("raw SQLite inserts", rawWrite, nullptr, "");
  line("Tkc_RegWriteAll (new)", fresh, &rawWrite, "  (goal < 2 s, < 1.5x)");
  line("Tkc_RegWriteAll (again)", again, &rawWrite, "");
  line("raw SQLite selects", rawRead, nullptr, "");
  line("Tkc_RegReadAll", readAll, &rawRead, "  (goal < 1.2 s, < 1.5x)");
  return 0;
}
