// The registry store over SQLite. One connection per process, opened on
// first use for the store of the current state root; every call holds the
// store's lock for its duration, a transaction for its whole scope.
#include "tarvik/registry.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <strings.h>

#include <cstring>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

#include "tarvik/state_root.h"

namespace tarvik {
namespace {

constexpr int64_t kRootId = 1;
constexpr int kBusyTimeoutMs = 10000;

const char* const kSchema =
    "CREATE TABLE IF NOT EXISTS reg_key("
    "  id INTEGER PRIMARY KEY AUTOINCREMENT,"
    "  parent INTEGER NOT NULL,"
    "  name TEXT NOT NULL);"
    "CREATE UNIQUE INDEX IF NOT EXISTS reg_key_name ON reg_key(parent, name COLLATE NOCASE);"
    "CREATE TABLE IF NOT EXISTS reg_value("
    "  key INTEGER NOT NULL,"
    "  name TEXT NOT NULL,"
    "  type INTEGER NOT NULL,"
    "  data BLOB NOT NULL);"
    "CREATE UNIQUE INDEX IF NOT EXISTS reg_value_name ON reg_value(key, name COLLATE NOCASE);"
    "INSERT OR IGNORE INTO reg_key(id, parent, name) VALUES(1, 0, 'HKEY_LOCAL_MACHINE');";

// Keys every Windows machine has, so that callers may open them on a fresh
// store: the services key and the system's serial-port list.
const char* const kSeedKeys =
    "INSERT INTO reg_key(parent, name) SELECT 1, 'SYSTEM' WHERE NOT EXISTS"
    "  (SELECT 1 FROM reg_key WHERE parent = 1 AND name = 'SYSTEM' COLLATE NOCASE);"
    "INSERT INTO reg_key(parent, name) SELECT id, 'CurrentControlSet' FROM reg_key k WHERE parent = 1"
    "  AND name = 'SYSTEM' COLLATE NOCASE AND NOT EXISTS (SELECT 1 FROM reg_key WHERE parent = k.id"
    "  AND name = 'CurrentControlSet' COLLATE NOCASE);"
    "INSERT INTO reg_key(parent, name) SELECT c.id, 'Services' FROM reg_key s JOIN reg_key c"
    "  ON c.parent = s.id WHERE s.parent = 1 AND s.name = 'SYSTEM' COLLATE NOCASE"
    "  AND c.name = 'CurrentControlSet' COLLATE NOCASE AND NOT EXISTS (SELECT 1 FROM reg_key"
    "  WHERE parent = c.id AND name = 'Services' COLLATE NOCASE);"
    "INSERT INTO reg_key(parent, name) SELECT 1, 'HARDWARE' WHERE NOT EXISTS"
    "  (SELECT 1 FROM reg_key WHERE parent = 1 AND name = 'HARDWARE' COLLATE NOCASE);"
    "INSERT INTO reg_key(parent, name) SELECT id, 'DEVICEMAP' FROM reg_key k WHERE parent = 1"
    "  AND name = 'HARDWARE' COLLATE NOCASE AND NOT EXISTS (SELECT 1 FROM reg_key WHERE parent = k.id"
    "  AND name = 'DEVICEMAP' COLLATE NOCASE);"
    "INSERT INTO reg_key(parent, name) SELECT d.id, 'SERIALCOMM' FROM reg_key h JOIN reg_key d"
    "  ON d.parent = h.id WHERE h.parent = 1 AND h.name = 'HARDWARE' COLLATE NOCASE"
    "  AND d.name = 'DEVICEMAP' COLLATE NOCASE AND NOT EXISTS (SELECT 1 FROM reg_key"
    "  WHERE parent = d.id AND name = 'SERIALCOMM' COLLATE NOCASE);";

enum Stmt {
  kFindKey,
  kInsertKey,
  kKeyExists,
  kHasChild,
  kDeleteKeyRow,
  kDeleteKeyValues,
  kGetValue,
  kSetValue,
  kDeleteValue,
  kEnumValue,
  kEnumKeys,
  kChildren,
  kAllValues,
  kStmtCount
};

const char* const kStmtSql[kStmtCount] = {
    "SELECT id FROM reg_key WHERE parent = ?1 AND name = ?2 COLLATE NOCASE",
    "INSERT INTO reg_key(parent, name) VALUES(?1, ?2)",
    "SELECT 1 FROM reg_key WHERE id = ?1",
    "SELECT 1 FROM reg_key WHERE parent = ?1 LIMIT 1",
    "DELETE FROM reg_key WHERE id = ?1",
    "DELETE FROM reg_value WHERE key = ?1",
    "SELECT type, data FROM reg_value WHERE key = ?1 AND name = ?2 COLLATE NOCASE",
    // An update keeps the row (and so the value's place in the enumeration
    // order and the case of its first name), as Windows does.
    ("INSERT INTO reg_value(key, name, type, data) VALUES(?1, ?2, ?3, ?4) "
     "ON CONFLICT(key, name COLLATE NOCASE) DO UPDATE SET type = excluded.type, data = excluded.data"),
    "DELETE FROM reg_value WHERE key = ?1 AND name = ?2 COLLATE NOCASE",
    "SELECT name, type, data FROM reg_value WHERE key = ?1 ORDER BY rowid LIMIT 1 OFFSET ?2",
    "SELECT name FROM reg_key WHERE parent = ?1 ORDER BY id",
    "SELECT id FROM reg_key WHERE parent = ?1",
    "SELECT name, type, data FROM reg_value WHERE key = ?1",
};

struct Store {
  std::recursive_mutex mutex;
  sqlite3* db = nullptr;
  std::string path;
  bool writable = false;
  sqlite3_stmt* stmts[kStmtCount] = {};
  int depth = 0;       // nesting of RegTransaction scopes
  bool doomed = false;  // an inner scope rolled back
};

Store& TheStore() {
  static Store* store = new Store;  // never destroyed: safe in atexit paths
  return *store;
}

LSTATUS MapSqlite(int rc) {
  switch (rc & 0xFF) {
    case SQLITE_OK:
    case SQLITE_DONE:
    case SQLITE_ROW:
      return kErrorSuccess;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
      return kErrorAccessDenied;
    case SQLITE_NOMEM:
      return kErrorNotEnoughMemory;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
      return kErrorRegistryCorrupt;
    default:
      return kErrorRegistryIoFailed;
  }
}

void CloseLocked(Store& s) {
  for (auto& st : s.stmts) {
    sqlite3_finalize(st);
    st = nullptr;
  }
  if (s.db) sqlite3_close(s.db);
  s.db = nullptr;
  s.path.clear();
  s.depth = 0;
  s.doomed = false;
}

// A store file without any write permission bit is read-only even for root,
// so an administrator can protect it the way an ACL would on Windows.
bool FileWritable(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) {
    const std::string dir = path.substr(0, path.rfind('/'));
    return ::access(dir.c_str(), W_OK) == 0;
  }
  return (st.st_mode & 0222) != 0 && ::access(path.c_str(), W_OK) == 0;
}

// Opens (or reopens, when the state root changed) the process's connection.
LSTATUS EnsureOpenLocked(Store& s) {
  // A transaction stays with the store it began on.
  if (s.db && s.depth > 0) return kErrorSuccess;
  const std::string path = RegistryPath();
  if (s.db && s.path == path) return kErrorSuccess;
  CloseLocked(s);
  EnsureStateRoot(nullptr);
  const bool writable = FileWritable(path);
  const bool fresh = ::access(path.c_str(), F_OK) != 0;
  const int flags = writable ? (SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE) : SQLITE_OPEN_READONLY;
  int rc = sqlite3_open_v2(path.c_str(), &s.db, flags | SQLITE_OPEN_FULLMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    const LSTATUS status = ::access(path.c_str(), F_OK) == 0 ? MapSqlite(rc) : kErrorAccessDenied;
    CloseLocked(s);
    return status;
  }
  sqlite3_busy_timeout(s.db, kBusyTimeoutMs);
  if (writable) {
    rc = sqlite3_exec(s.db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;", nullptr, nullptr,
                      nullptr);
    if (rc == SQLITE_OK) {
      rc = sqlite3_exec(s.db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
      if (rc == SQLITE_OK) rc = sqlite3_exec(s.db, kSchema, nullptr, nullptr, nullptr);
      if (rc == SQLITE_OK && fresh) rc = sqlite3_exec(s.db, kSeedKeys, nullptr, nullptr, nullptr);
      if (rc == SQLITE_OK) {
        rc = sqlite3_exec(s.db, "COMMIT", nullptr, nullptr, nullptr);
      } else {
        sqlite3_exec(s.db, "ROLLBACK", nullptr, nullptr, nullptr);
      }
    }
  }
  for (int i = 0; rc == SQLITE_OK && i < kStmtCount; ++i) {
    rc = sqlite3_prepare_v3(s.db, kStmtSql[i], -1, SQLITE_PREPARE_PERSISTENT, &s.stmts[i], nullptr);
  }
  if (rc != SQLITE_OK) {
    // A read-only file that was never initialised has no tables: treat it
    // as an empty, unwritable store rather than a broken one.
    const LSTATUS status = writable ? MapSqlite(rc) : kErrorAccessDenied;
    CloseLocked(s);
    return status;
  }
  s.path = path;
  s.writable = writable;
  return kErrorSuccess;
}

// A prepared statement, reset and cleared when the scope ends.
class Query {
 public:
  Query(Store& s, Stmt which) : st_(s.stmts[which]) {}
  ~Query() {
    sqlite3_reset(st_);
    sqlite3_clear_bindings(st_);
  }
  Query& Bind(int i, int64_t v) {
    sqlite3_bind_int64(st_, i, v);
    return *this;
  }
  Query& Bind(int i, const std::string& v) {
    sqlite3_bind_text(st_, i, v.data(), int(v.size()), SQLITE_STATIC);
    return *this;
  }
  Query& BindBlob(int i, const void* data, uint32_t n) {
    // A zero-length blob must still be non-NULL for the NOT NULL column.
    static const char kEmpty = 0;
    sqlite3_bind_blob(st_, i, n ? data : &kEmpty, int(n), SQLITE_STATIC);
    return *this;
  }
  int Step() { return sqlite3_step(st_); }
  sqlite3_stmt* Get() const { return st_; }

 private:
  sqlite3_stmt* st_;
};

std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : path) {
    if (c == '\\') {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

LSTATUS FindChild(Store& s, int64_t parent, const std::string& name, int64_t* id) {
  Query q(s, kFindKey);
  q.Bind(1, parent).Bind(2, name);
  const int rc = q.Step();
  if (rc == SQLITE_ROW) {
    *id = sqlite3_column_int64(q.Get(), 0);
    return kErrorSuccess;
  }
  return rc == SQLITE_DONE ? kErrorFileNotFound : MapSqlite(rc);
}

bool KeyExists(Store& s, int64_t id) {
  Query q(s, kKeyExists);
  q.Bind(1, id);
  return q.Step() == SQLITE_ROW;
}

LSTATUS Walk(Store& s, int64_t from, const std::string& subPath, bool create, int64_t* id) {
  int64_t cur = from;
  for (const std::string& part : SplitPath(subPath)) {
    if (part.size() > 255) return kErrorInvalidParameter;
    int64_t next = 0;
    LSTATUS st = FindChild(s, cur, part, &next);
    if (st == kErrorFileNotFound && create) {
      Query q(s, kInsertKey);
      q.Bind(1, cur).Bind(2, part);
      const int rc = q.Step();
      if (rc != SQLITE_DONE) return MapSqlite(rc);
      next = sqlite3_last_insert_rowid(s.db);
      st = kErrorSuccess;
    }
    if (st != kErrorSuccess) return st;
    cur = next;
  }
  *id = cur;
  return kErrorSuccess;
}

LSTATUS Exec(Store& s, const char* sql) { return MapSqlite(sqlite3_exec(s.db, sql, nullptr, nullptr, nullptr)); }

// A savepoint so that a multi-statement call is atomic also outside any
// RegTransaction.
class AtomicStep {
 public:
  explicit AtomicStep(Store& s) : s_(s) { ok_ = Exec(s_, "SAVEPOINT reg_step") == kErrorSuccess; }
  ~AtomicStep() {
    if (!ok_) return;
    if (!done_) Exec(s_, "ROLLBACK TO reg_step");
    Exec(s_, "RELEASE reg_step");
  }
  bool Ok() const { return ok_; }
  void Done() { done_ = true; }

 private:
  Store& s_;
  bool ok_ = false;
  bool done_ = false;
};

LSTATUS DeleteKeyRows(Store& s, int64_t id) {
  {
    Query q(s, kDeleteKeyValues);
    q.Bind(1, id);
    const int rc = q.Step();
    if (rc != SQLITE_DONE) return MapSqlite(rc);
  }
  Query q(s, kDeleteKeyRow);
  q.Bind(1, id);
  const int rc = q.Step();
  return rc == SQLITE_DONE ? kErrorSuccess : MapSqlite(rc);
}

LSTATUS DeleteTreeRows(Store& s, int64_t id) {
  std::vector<int64_t> children;
  {
    Query q(s, kChildren);
    q.Bind(1, id);
    int rc;
    while ((rc = q.Step()) == SQLITE_ROW) children.push_back(sqlite3_column_int64(q.Get(), 0));
    if (rc != SQLITE_DONE) return MapSqlite(rc);
  }
  for (int64_t child : children) {
    const LSTATUS st = DeleteTreeRows(s, child);
    if (st != kErrorSuccess) return st;
  }
  return DeleteKeyRows(s, id);
}

using Lock = std::lock_guard<std::recursive_mutex>;

// After a full disk or an I/O error SQLite may roll a whole transaction back
// by itself; the writes that follow must not then commit one by one.
bool TransactionLost(Store& s) {
  if (s.depth > 0 && sqlite3_get_autocommit(s.db)) {
    s.doomed = true;
    return true;
  }
  return false;
}

// The store is open and a write may go ahead (not after a lost transaction).
LSTATUS ReadyForWriteLocked(Store& s) {
  const LSTATUS st = EnsureOpenLocked(s);
  if (st != kErrorSuccess) return st;
  return TransactionLost(s) ? kErrorRegistryIoFailed : kErrorSuccess;
}

}  // namespace

struct RegKey::ValueCache {
  struct Value {
    uint32_t type;
    std::string data;
  };
  std::unordered_map<std::string, Value> values;  // by ASCII-lower-case name
};

static std::string FoldName(const std::string& name) {
  std::string folded = name;
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  }
  return folded;
}

RegKey::RegKey(RegKey&& other) noexcept
    : id_(std::exchange(other.id_, 0)),
      writable_(other.writable_),
      path_(std::move(other.path_)),
      cache_(std::move(other.cache_)),
      subkeys_(std::move(other.subkeys_)) {}

RegKey& RegKey::operator=(RegKey&& other) noexcept {
  if (this != &other) {
    Close();
    id_ = std::exchange(other.id_, 0);
    writable_ = other.writable_;
    path_ = std::move(other.path_);
    cache_ = std::move(other.cache_);
    subkeys_ = std::move(other.subkeys_);
  }
  return *this;
}

void RegKey::Close() {
  id_ = 0;
  writable_ = false;
  path_.clear();
  cache_.reset();
  subkeys_.reset();
}

static std::string JoinPath(const std::string& a, const std::string& b) {
  if (a.empty()) return b;
  if (b.empty()) return a;
  return a + "\\" + b;
}

static LSTATUS OpenFrom(int64_t from, const std::string& base, const std::string& sub,
                        RegAccess access, bool create, int64_t* id, bool* writable,
                        std::string* path) {
  Store& s = TheStore();
  Lock lock(s.mutex);
  LSTATUS st = EnsureOpenLocked(s);
  if (st != kErrorSuccess) return st;
  if (create && TransactionLost(s)) return kErrorRegistryIoFailed;
  if (from != kRootId && !KeyExists(s, from)) return kErrorKeyDeleted;
  if (create && !s.writable) return kErrorAccessDenied;
  int64_t found = 0;
  if (create) {
    AtomicStep step(s);
    if (!step.Ok()) return kErrorRegistryIoFailed;
    st = Walk(s, from, sub, true, &found);
    if (st == kErrorSuccess) step.Done();
  } else {
    st = Walk(s, from, sub, false, &found);
  }
  if (st != kErrorSuccess) return st;
  if (access == RegAccess::kFullAccess && !s.writable) return kErrorAccessDenied;
  *id = found;
  *writable = access == RegAccess::kFullAccess;
  *path = JoinPath(base, sub);
  return kErrorSuccess;
}

LSTATUS RegKey::Open(const std::string& path, RegAccess access) {
  Close();
  return OpenFrom(kRootId, "", path, access, false, &id_, &writable_, &path_);
}

LSTATUS RegKey::Open(const RegKey& parent, const std::string& subPath, RegAccess access) {
  if (!parent.IsOpen()) return kErrorInvalidHandle;
  const int64_t from = parent.id_;
  const std::string base = parent.path_;
  Close();
  return OpenFrom(from, base, subPath, access, false, &id_, &writable_, &path_);
}

LSTATUS RegKey::Create(const std::string& path) {
  Close();
  return OpenFrom(kRootId, "", path, RegAccess::kFullAccess, true, &id_, &writable_, &path_);
}

LSTATUS RegKey::Create(const RegKey& parent, const std::string& subPath) {
  if (!parent.IsOpen()) return kErrorInvalidHandle;
  const int64_t from = parent.id_;
  const std::string base = parent.path_;
  Close();
  return OpenFrom(from, base, subPath, RegAccess::kFullAccess, true, &id_, &writable_, &path_);
}

LSTATUS RegKey::QueryValue(const std::string& name, uint32_t* type, void* data,
                           uint32_t* length) const {
  if (!IsOpen()) return kErrorInvalidHandle;
  if (data && !length) return kErrorInvalidParameter;
  if (cache_) {
    const auto it = cache_->values.find(FoldName(name));
    if (it == cache_->values.end()) return kErrorFileNotFound;
    const uint32_t size = uint32_t(it->second.data.size());
    if (type) *type = it->second.type;
    if (data) {
      if (*length < size) {
        *length = size;
        return kErrorMoreData;
      }
      if (size) std::memcpy(data, it->second.data.data(), size);
    }
    if (length) *length = size;
    return kErrorSuccess;
  }
  Store& s = TheStore();
  Lock lock(s.mutex);
  LSTATUS st = EnsureOpenLocked(s);
  if (st != kErrorSuccess) return st;
  Query q(s, kGetValue);
  q.Bind(1, id_).Bind(2, name);
  const int rc = q.Step();
  if (rc == SQLITE_DONE) return kErrorFileNotFound;
  if (rc != SQLITE_ROW) return MapSqlite(rc);
  const uint32_t size = uint32_t(sqlite3_column_bytes(q.Get(), 1));
  if (type) *type = uint32_t(sqlite3_column_int64(q.Get(), 0));
  if (data) {
    if (*length < size) {
      *length = size;
      return kErrorMoreData;
    }
    if (size) std::memcpy(data, sqlite3_column_blob(q.Get(), 1), size);
  }
  if (length) *length = size;
  return kErrorSuccess;
}

LSTATUS RegKey::Prefetch() const {
  if (!IsOpen()) return kErrorInvalidHandle;
  Store& s = TheStore();
  Lock lock(s.mutex);
  LSTATUS st = EnsureOpenLocked(s);
  if (st != kErrorSuccess) return st;
  auto cache = std::make_shared<ValueCache>();
  Query q(s, kAllValues);
  q.Bind(1, id_);
  int rc;
  while ((rc = q.Step()) == SQLITE_ROW) {
    const char* name = reinterpret_cast<const char*>(sqlite3_column_text(q.Get(), 0));
    const int nameLen = sqlite3_column_bytes(q.Get(), 0);
    const char* blob = static_cast<const char*>(sqlite3_column_blob(q.Get(), 2));
    const int size = sqlite3_column_bytes(q.Get(), 2);
    cache->values.emplace(FoldName(std::string(name, size_t(nameLen))),
                          ValueCache::Value{uint32_t(sqlite3_column_int64(q.Get(), 1)),
                                            std::string(blob ? blob : "", size_t(size))});
  }
  if (rc != SQLITE_DONE) return MapSqlite(rc);
  cache_ = std::move(cache);
  return kErrorSuccess;
}

LSTATUS RegKey::QueryDword(const std::string& name, uint32_t* value) const {
  uint32_t length = sizeof(*value);
  return QueryValue(name, nullptr, value, &length);
}

LSTATUS RegKey::QueryString(const std::string& name, char* buf, uint32_t size) const {
  if (!buf || size == 0) return kErrorInvalidParameter;
  uint32_t length = size;
  const LSTATUS st = QueryValue(name, nullptr, buf, &length);
  if (st != kErrorSuccess) return st;
  if (length < size) {
    buf[length] = '\0';
  } else if (buf[size - 1] != '\0') {
    // Exactly filled without its NUL: the text does not fit.
    buf[0] = '\0';
    return kErrorMoreData;
  }
  return kErrorSuccess;
}

LSTATUS RegKey::SetValue(const std::string& name, uint32_t type, const void* data, uint32_t length) {
  if (!IsOpen()) return kErrorInvalidHandle;
  if (!writable_) return kErrorAccessDenied;
  if (length && !data) return kErrorInvalidParameter;
  if (name.size() > 16383) return kErrorInvalidParameter;
  cache_.reset();
  Store& s = TheStore();
  Lock lock(s.mutex);
  LSTATUS st = ReadyForWriteLocked(s);
  if (st != kErrorSuccess) return st;
  Query q(s, kSetValue);
  q.Bind(1, id_).Bind(2, name).Bind(3, int64_t(type)).BindBlob(4, data, length);
  const int rc = q.Step();
  return rc == SQLITE_DONE ? kErrorSuccess : MapSqlite(rc);
}

LSTATUS RegKey::SetDword(const std::string& name, uint32_t value) {
  return SetValue(name, kRegDword, &value, sizeof(value));
}

LSTATUS RegKey::SetString(const std::string& name, const char* text, uint32_t type) {
  if (!text) text = "";
  return SetValue(name, type, text, uint32_t(std::strlen(text) + 1));
}

LSTATUS RegKey::SetBinary(const std::string& name, const void* data, uint32_t length) {
  return SetValue(name, kRegBinary, data, length);
}

LSTATUS RegKey::DeleteValue(const std::string& name) {
  if (!IsOpen()) return kErrorInvalidHandle;
  if (!writable_) return kErrorAccessDenied;
  cache_.reset();
  Store& s = TheStore();
  Lock lock(s.mutex);
  LSTATUS st = ReadyForWriteLocked(s);
  if (st != kErrorSuccess) return st;
  Query q(s, kDeleteValue);
  q.Bind(1, id_).Bind(2, name);
  const int rc = q.Step();
  if (rc != SQLITE_DONE) return MapSqlite(rc);
  return sqlite3_changes(s.db) ? kErrorSuccess : kErrorFileNotFound;
}

LSTATUS RegKey::EnumValue(uint32_t index, char* name, uint32_t* nameSize, uint32_t* type, void* data,
                          uint32_t* dataLength) const {
  if (!IsOpen()) return kErrorInvalidHandle;
  if ((name && !nameSize) || (data && !dataLength)) return kErrorInvalidParameter;
  Store& s = TheStore();
  Lock lock(s.mutex);
  LSTATUS st = EnsureOpenLocked(s);
  if (st != kErrorSuccess) return st;
  Query q(s, kEnumValue);
  q.Bind(1, id_).Bind(2, int64_t(index));
  const int rc = q.Step();
  if (rc == SQLITE_DONE) return kErrorNoMoreItems;
  if (rc != SQLITE_ROW) return MapSqlite(rc);
  const uint32_t nameLen = uint32_t(sqlite3_column_bytes(q.Get(), 0));
  const uint32_t size = uint32_t(sqlite3_column_bytes(q.Get(), 2));
  LSTATUS result = kErrorSuccess;
  if (name) {
    if (*nameSize < nameLen + 1) {
      result = kErrorMoreData;
    } else {
      std::memcpy(name, sqlite3_column_text(q.Get(), 0), nameLen);
      name[nameLen] = '\0';
      *nameSize = nameLen;
    }
  } else if (nameSize) {
    *nameSize = nameLen;
  }
  if (type) *type = uint32_t(sqlite3_column_int64(q.Get(), 1));
  if (data) {
    if (*dataLength < size) {
      result = kErrorMoreData;
    } else if (size) {
      std::memcpy(data, sqlite3_column_blob(q.Get(), 2), size);
    }
  }
  if (dataLength) *dataLength = size;
  return result;
}

LSTATUS RegKey::EnumKey(uint32_t index, char* name, uint32_t* nameSize) const {
  if (!IsOpen()) return kErrorInvalidHandle;
  if (!name || !nameSize) return kErrorInvalidParameter;
  if (index == 0 || !subkeys_) {
    Store& s = TheStore();
    Lock lock(s.mutex);
    LSTATUS st = EnsureOpenLocked(s);
    if (st != kErrorSuccess) return st;
    auto names = std::make_shared<std::vector<std::string>>();
    Query q(s, kEnumKeys);
    q.Bind(1, id_);
    int rc;
    while ((rc = q.Step()) == SQLITE_ROW) {
      names->emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(q.Get(), 0)),
                          size_t(sqlite3_column_bytes(q.Get(), 0)));
    }
    if (rc != SQLITE_DONE) return MapSqlite(rc);
    subkeys_ = std::move(names);
  }
  if (index >= subkeys_->size()) return kErrorNoMoreItems;
  const std::string& sub = (*subkeys_)[index];
  const uint32_t len = uint32_t(sub.size());
  if (*nameSize < len + 1) {
    *nameSize = len + 1;
    return kErrorMoreData;
  }
  std::memcpy(name, sub.data(), len);
  name[len] = '\0';
  *nameSize = len;
  return kErrorSuccess;
}

// Deletes the subkey at subPath below key `from`: only a leaf when
// `wholeTree` is false (1020 otherwise), else with everything below it.
static LSTATUS DeleteBelow(int64_t from, const std::string& subPath, bool wholeTree) {
  if (SplitPath(subPath).empty()) return kErrorInvalidParameter;
  Store& s = TheStore();
  Lock lock(s.mutex);
  LSTATUS st = ReadyForWriteLocked(s);
  if (st != kErrorSuccess) return st;
  int64_t id = 0;
  st = Walk(s, from, subPath, false, &id);
  if (st != kErrorSuccess) return st;
  if (!wholeTree) {
    Query q(s, kHasChild);
    q.Bind(1, id);
    const int rc = q.Step();
    if (rc == SQLITE_ROW) return kErrorKeyHasChildren;
    if (rc != SQLITE_DONE) return MapSqlite(rc);
  }
  AtomicStep step(s);
  if (!step.Ok()) return kErrorRegistryIoFailed;
  st = wholeTree ? DeleteTreeRows(s, id) : DeleteKeyRows(s, id);
  if (st == kErrorSuccess) step.Done();
  return st;
}

LSTATUS RegKey::DeleteSubKey(const std::string& subPath) {
  if (!IsOpen()) return kErrorInvalidHandle;
  if (!writable_) return kErrorAccessDenied;
  return DeleteBelow(id_, subPath, false);
}

LSTATUS RegKey::DeleteTree(const std::string& subPath) {
  if (!IsOpen()) return kErrorInvalidHandle;
  if (!writable_) return kErrorAccessDenied;
  return DeleteBelow(id_, subPath, true);
}

RegTransaction::RegTransaction(Mode mode) {
  Store& s = TheStore();
  s.mutex.lock();  // held for the scope: other threads wait outside it
  status_ = EnsureOpenLocked(s);
  if (status_ == kErrorSuccess && mode == Mode::kWrite && !s.writable) status_ = kErrorAccessDenied;
  if (status_ == kErrorSuccess && s.depth == 0) {
    status_ = Exec(s, mode == Mode::kWrite ? "BEGIN IMMEDIATE" : "BEGIN DEFERRED");
    // Pin the read snapshot now rather than at the first query.
    if (status_ == kErrorSuccess && mode == Mode::kRead) {
      status_ = Exec(s, "SELECT 1 FROM reg_key LIMIT 1");
      if (status_ != kErrorSuccess) Exec(s, "ROLLBACK");
    }
    s.doomed = false;
  }
  if (status_ == kErrorSuccess) {
    ++s.depth;
    active_ = true;
    changesAtStart_ = sqlite3_total_changes64(s.db);
  } else {
    s.mutex.unlock();
  }
}

RegTransaction::~RegTransaction() { Rollback(); }

LSTATUS RegTransaction::Commit() {
  if (!active_) return status_ ? status_ : kErrorInvalidHandle;
  Store& s = TheStore();
  active_ = false;
  LSTATUS result = kErrorSuccess;
  if (--s.depth == 0) {
    if (s.doomed || sqlite3_get_autocommit(s.db)) {
      Exec(s, "ROLLBACK");
      result = kErrorRegistryIoFailed;
    } else {
      result = Exec(s, "COMMIT");
      if (result != kErrorSuccess) Exec(s, "ROLLBACK");
    }
    s.doomed = false;
  }
  s.mutex.unlock();
  return result;
}

void RegTransaction::Rollback() {
  if (!active_) return;
  Store& s = TheStore();
  active_ = false;
  if (--s.depth == 0) {
    Exec(s, "ROLLBACK");
    s.doomed = false;
  } else if (sqlite3_total_changes64(s.db) != changesAtStart_) {
    s.doomed = true;
  }
  s.mutex.unlock();
}

void RegCloseStore() {
  Store& s = TheStore();
  Lock lock(s.mutex);
  CloseLocked(s);
}

bool RegNormalizePath(const std::string& in, std::string* out) {
  std::string path = in;
  while (!path.empty() && path.back() == '\\') path.pop_back();
  const auto startsWith = [&](const char* prefix) {
    const size_t n = std::strlen(prefix);
    return path.size() >= n && strncasecmp(path.c_str(), prefix, n) == 0 &&
           (path.size() == n || path[n] == '\\');
  };
  for (const char* root : {"HKEY_LOCAL_MACHINE", "HKLM"}) {
    if (startsWith(root)) {
      path.erase(0, std::strlen(root));
      while (!path.empty() && path.front() == '\\') path.erase(0, 1);
      *out = path;
      return true;
    }
  }
  // Any other root key is not this store's.
  if (strncasecmp(path.c_str(), "HKEY_", 5) == 0 || startsWith("HKCU") || startsWith("HKCR") ||
      startsWith("HKU") || startsWith("HKCC")) {
    return false;
  }
  while (!path.empty() && path.front() == '\\') path.erase(0, 1);
  *out = path;
  return true;
}

}  // namespace tarvik
