// The registry store at full size against raw SQLite in the same run.
//
// A full configuration is 4095 server keys of 150 values each (13 strings,
// 137 DWORDs): 614,250 values. The store's API writes them in one
// transaction and reads them back value by value inside one read
// transaction; raw SQLite does the same inserts and point selects with
// prepared statements on a database of the same shape, in its own file.
// Each round uses fresh files.
//
//   registry_bench [ROUNDS]     (default 5)
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tarvik/registry.h"

namespace {

constexpr int kKeys = 4095;
constexpr int kStrings = 13;
constexpr int kDwords = 137;
constexpr long kValues = long(kKeys) * (kStrings + kDwords);
const char kBase[] = "SYSTEM\\CurrentControlSet\\Services\\Vonderil\\Parameter";

struct Names {
  std::vector<std::string> keys, strings, dwords;
  std::vector<std::string> texts;  // one text per string value of a key
};

Names MakeNames() {
  Names n;
  for (int k = 0; k < kKeys; ++k) n.keys.push_back("Server" + std::to_string(k));
  for (int s = 0; s < kStrings; ++s) {
    n.strings.push_back("Text" + std::to_string(s));
    n.texts.push_back("device-" + std::to_string(s) + "-value-text");
  }
  for (int d = 0; d < kDwords; ++d) n.dwords.push_back("ComNo" + std::to_string(d));
  return n;
}

uint32_t DwordOf(int key, int index) { return uint32_t(key) * 1000u + uint32_t(index); }

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

[[noreturn]] void Die(const char* what, long status) {
  std::fprintf(stderr, "registry_bench: %s failed (%ld)\n", what, status);
  std::exit(1);
}

// --- through the store's API ---

double ApiWrite(const Names& n) {
  const auto start = std::chrono::steady_clock::now();
  tarvik::RegTransaction tx;
  if (tx.Status()) Die("begin", tx.Status());
  tarvik::RegKey base;
  if (long st = base.Create(kBase)) Die("create base", st);
  for (int k = 0; k < kKeys; ++k) {
    tarvik::RegKey key;
    if (long st = key.Create(base, n.keys[k])) Die("create key", st);
    for (int s = 0; s < kStrings; ++s) {
      if (long st = key.SetString(n.strings[s], n.texts[s].c_str())) Die("set string", st);
    }
    for (int d = 0; d < kDwords; ++d) {
      if (long st = key.SetDword(n.dwords[d], DwordOf(k, d))) Die("set dword", st);
    }
  }
  if (long st = tx.Commit()) Die("commit", st);
  return Seconds(start);
}

double ApiRead(const Names& n) {
  const auto start = std::chrono::steady_clock::now();
  tarvik::RegTransaction tx(tarvik::RegTransaction::Mode::kRead);
  if (tx.Status()) Die("begin read", tx.Status());
  tarvik::RegKey base;
  if (long st = base.Open(kBase, tarvik::RegAccess::kRead)) Die("open base", st);
  uint64_t check = 0;
  char text[64];
  for (int k = 0; k < kKeys; ++k) {
    tarvik::RegKey key;
    if (long st = key.Open(base, n.keys[k], tarvik::RegAccess::kRead)) Die("open key", st);
    for (int s = 0; s < kStrings; ++s) {
      if (long st = key.QueryString(n.strings[s], text, sizeof text)) Die("query string", st);
      check += std::strlen(text);
    }
    for (int d = 0; d < kDwords; ++d) {
      uint32_t v = 0;
      if (long st = key.QueryDword(n.dwords[d], &v)) Die("query dword", st);
      if (v != DwordOf(k, d)) Die("dword read back", long(v));
      check += v;
    }
  }
  tx.Commit();
  if (check == 0) Die("read back", 0);
  return Seconds(start);
}

// --- raw SQLite, the same shape of database ---

class Raw {
 public:
  explicit Raw(const std::string& path) {
    if (sqlite3_open(path.c_str(), &db_) != SQLITE_OK) Die("raw open", 0);
    Exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;"
         "CREATE TABLE reg_key(id INTEGER PRIMARY KEY AUTOINCREMENT, parent INTEGER NOT NULL,"
         "  name TEXT NOT NULL);"
         "CREATE UNIQUE INDEX reg_key_name ON reg_key(parent, name COLLATE NOCASE);"
         "CREATE TABLE reg_value(key INTEGER NOT NULL, name TEXT NOT NULL, type INTEGER NOT NULL,"
         "  data BLOB NOT NULL);"
         "CREATE UNIQUE INDEX reg_value_name ON reg_value(key, name COLLATE NOCASE);");
  }
  ~Raw() {
    for (sqlite3_stmt* s : {insertKey_, insertValue_, findKey_, getValue_}) sqlite3_finalize(s);
    sqlite3_close(db_);
  }

  double Write(const Names& n) {
    const auto start = std::chrono::steady_clock::now();
    insertKey_ = Prepare("INSERT INTO reg_key(parent, name) VALUES(?1, ?2)");
    insertValue_ = Prepare("INSERT INTO reg_value(key, name, type, data) VALUES(?1, ?2, ?3, ?4)");
    Exec("BEGIN IMMEDIATE");
    for (int k = 0; k < kKeys; ++k) {
      sqlite3_bind_int64(insertKey_, 1, 1);
      sqlite3_bind_text(insertKey_, 2, n.keys[k].c_str(), -1, SQLITE_STATIC);
      Step(insertKey_, SQLITE_DONE);
      const sqlite3_int64 id = sqlite3_last_insert_rowid(db_);
      sqlite3_reset(insertKey_);
      for (int s = 0; s < kStrings; ++s) {
        InsertValue(id, n.strings[s], 1, n.texts[s].c_str(), int(n.texts[s].size() + 1));
      }
      for (int d = 0; d < kDwords; ++d) {
        const uint32_t v = DwordOf(k, d);
        InsertValue(id, n.dwords[d], 4, &v, 4);
      }
    }
    Exec("COMMIT");
    return Seconds(start);
  }

  double Read(const Names& n) {
    const auto start = std::chrono::steady_clock::now();
    findKey_ = Prepare("SELECT id FROM reg_key WHERE parent = ?1 AND name = ?2 COLLATE NOCASE");
    getValue_ = Prepare("SELECT type, data FROM reg_value WHERE key = ?1 AND name = ?2 COLLATE NOCASE");
    Exec("BEGIN DEFERRED");
    uint64_t check = 0;
    char text[64];
    for (int k = 0; k < kKeys; ++k) {
      sqlite3_bind_int64(findKey_, 1, 1);
      sqlite3_bind_text(findKey_, 2, n.keys[k].c_str(), -1, SQLITE_STATIC);
      Step(findKey_, SQLITE_ROW);
      const sqlite3_int64 id = sqlite3_column_int64(findKey_, 0);
      sqlite3_reset(findKey_);
      for (int s = 0; s < kStrings; ++s) {
        const int length = GetValue(id, n.strings[s], text, sizeof text);
        check += std::strlen(text) + unsigned(length > 0);
      }
      for (int d = 0; d < kDwords; ++d) {
        uint32_t v = 0;
        GetValue(id, n.dwords[d], &v, sizeof v);
        if (v != DwordOf(k, d)) Die("raw dword read back", long(v));
        check += v;
      }
    }
    Exec("COMMIT");
    if (check == 0) Die("raw read back", 0);
    return Seconds(start);
  }

 private:
  void Exec(const char* sql) {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) != SQLITE_OK) {
      std::fprintf(stderr, "registry_bench: %s\n", message ? message : sql);
      std::exit(1);
    }
  }
  sqlite3_stmt* Prepare(const char* sql) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db_, sql, -1, &s, nullptr) != SQLITE_OK) Die(sql, 0);
    return s;
  }
  void Step(sqlite3_stmt* s, int expected) {
    if (sqlite3_step(s) != expected) Die(sqlite3_errmsg(db_), sqlite3_errcode(db_));
  }
  void InsertValue(sqlite3_int64 key, const std::string& name, int type, const void* data, int length) {
    sqlite3_bind_int64(insertValue_, 1, key);
    sqlite3_bind_text(insertValue_, 2, name.c_str(), -1, SQLITE_STATIC);
    sqlite3_bind_int(insertValue_, 3, type);
    sqlite3_bind_blob(insertValue_, 4, data, length, SQLITE_STATIC);
    Step(insertValue_, SQLITE_DONE);
    sqlite3_reset(insertValue_);
  }
  int GetValue(sqlite3_int64 key, const std::string& name, void* out, int size) {
    sqlite3_bind_int64(getValue_, 1, key);
    sqlite3_bind_text(getValue_, 2, name.c_str(), -1, SQLITE_STATIC);
    Step(getValue_, SQLITE_ROW);
    const int length = sqlite3_column_bytes(getValue_, 1);
    if (length > size) Die("raw value too long", length);
    std::memcpy(out, sqlite3_column_blob(getValue_, 1), size_t(length));
    sqlite3_reset(getValue_);
    return length;
  }

  sqlite3* db_ = nullptr;
  sqlite3_stmt* insertKey_ = nullptr;
  sqlite3_stmt* insertValue_ = nullptr;
  sqlite3_stmt* findKey_ = nullptr;
  sqlite3_stmt* getValue_ = nullptr;
};

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Times are medians over the rounds; the ratio is the median of the
// ratios of each round, whose two sides ran back to back.
void Report(const char* what, const std::vector<double>& api, const std::vector<double>& raw) {
  std::vector<double> ratios;
  for (size_t i = 0; i < api.size(); ++i) ratios.push_back(api[i] / raw[i]);
  const double a = Median(api), r = Median(raw);
  std::printf("%-6s  API %7.3f s (%5.2f us/value)   raw SQLite %7.3f s (%5.2f us/value)   API/raw %.2fx\n",
              what, a, a * 1e6 / kValues, r, r * 1e6 / kValues, Median(ratios));
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const char* tmp = std::getenv("TMPDIR");
  std::string dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/tarvik-bench-XXXXXX";
  if (!::mkdtemp(dir.data())) Die("mkdtemp", 0);
  const Names names = MakeNames();
  std::vector<double> apiWrite, apiRead, rawWrite, rawRead;

  for (int r = 0; r < rounds; ++r) {
    const std::string root = dir + "/round" + std::to_string(r);
    std::filesystem::create_directories(root);
    const auto api = [&] {
      ::setenv("TARVIK_ROOT", root.c_str(), 1);
      tarvik::RegCloseStore();
      apiWrite.push_back(ApiWrite(names));
      apiRead.push_back(ApiRead(names));
      tarvik::RegCloseStore();
    };
    const auto raw = [&] {
      // One connection for both, as the API's read follows its write.
      Raw db(root + "/raw.db");
      rawWrite.push_back(db.Write(names));
      rawRead.push_back(db.Read(names));
    };
    // Alternate who goes first, so neither always meets a warm or a cold
    // machine.
    if (r % 2 == 0) {
      api();
      raw();
    } else {
      raw();
      api();
    }
    std::filesystem::remove_all(root);
    std::printf("round %d: write API %.3f s raw %.3f s, read API %.3f s raw %.3f s\n", r + 1,
                apiWrite.back(), rawWrite.back(), apiRead.back(), rawRead.back());
  }
  std::filesystem::remove_all(dir);
  std::printf("%ld values (%d keys x %d strings + %d dwords), median of %d rounds\n", kValues, kKeys,
              kStrings, kDwords, rounds);
  Report("write", apiWrite, rawWrite);
  Report("read", apiRead, rawRead);
  return 0;
}
