// The registry store: the key tree under HKEY_LOCAL_MACHINE, kept in one
// SQLite database (registry.db under the state root) and reached through
// calls shaped like the Windows registry calls the suite uses.
//
// How it works
// - Keys are addressed by backslash paths below HKEY_LOCAL_MACHINE
//   ("SYSTEM\CurrentControlSet\Services\Vonderil\Parameter"). Key and value
//   names are case-insensitive (ASCII) and case-preserving.
// - Values keep their Windows type numbers and bytes; strings are stored
//   with their terminating NUL counted in the length.
// - Results are Windows error codes (win_errors.h): 0 success, 2 not found,
//   5 access denied, 87 invalid parameter, 234 more data, 259 no more items,
//   1020 key has children, 1016 I/O failure of the store.
// - Each process holds one connection to the store of the current state
//   root. Other processes may use the same store at the same time; a busy
//   store is waited for (up to 10 s) before a call gives up with 1016.
// - A store file the process may not write (or that has no write permission
//   bits at all, which holds even for root) is opened read-only: every
//   write-access open then gives 5.
// - Calls are serialised by a process-wide lock, so any thread may call;
//   a RegTransaction belongs to the thread that made it.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tarvik/win_errors.h"

namespace tarvik {

enum class RegAccess { kRead, kFullAccess };

class RegKey {
 public:
  RegKey() = default;
  ~RegKey() { Close(); }
  RegKey(RegKey&& other) noexcept;
  RegKey& operator=(RegKey&& other) noexcept;
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;

  // Opens an existing key HKLM\path. 2 when missing, 5 when full access is
  // asked of a read-only store.
  LSTATUS Open(const std::string& path, RegAccess access);
  // Opens an existing subkey of an open key (path may hold backslashes).
  LSTATUS Open(const RegKey& parent, const std::string& subPath, RegAccess access);
  // Create-or-open with full access; missing keys on the way are created.
  LSTATUS Create(const std::string& path);
  LSTATUS Create(const RegKey& parent, const std::string& subPath);

  // Reads a value. data may be null to learn type and length. On entry
  // *length is the buffer size; on return the value's length. A buffer that
  // is too small gives 234 with *length set to the size needed.
  LSTATUS QueryValue(const std::string& name, uint32_t* type, void* data, uint32_t* length) const;
  // Reads every value of the key in one query; later QueryValue calls on
  // this handle are answered from that copy until the handle is closed or
  // a value is set or deleted through it. Meant for readers of many values
  // inside one read transaction, where the copy cannot go stale.
  LSTATUS Prefetch() const;

  // Convenience: a 4-byte value, whatever its type (as the suite reads them).
  LSTATUS QueryDword(const std::string& name, uint32_t* value) const;
  // Convenience: a string value into buf[size]; 234 when it does not fit.
  LSTATUS QueryString(const std::string& name, char* buf, uint32_t size) const;

  LSTATUS SetValue(const std::string& name, uint32_t type, const void* data, uint32_t length);
  LSTATUS SetDword(const std::string& name, uint32_t value);
  // Stores the text with its NUL (length strlen + 1).
  LSTATUS SetString(const std::string& name, const char* text, uint32_t type = kRegSz);
  LSTATUS SetBinary(const std::string& name, const void* data, uint32_t length);
  LSTATUS DeleteValue(const std::string& name);

  // Values in the order they were first set; 259 past the last. nameSize
  // is the name buffer size in characters (the name is NUL-terminated);
  // either buffer too small gives 234. Any out pointer may be null.
  LSTATUS EnumValue(uint32_t index, char* name, uint32_t* nameSize, uint32_t* type, void* data,
                    uint32_t* dataLength) const;
  // Subkeys in the order they were created; 259 past the last. Index 0
  // takes a snapshot of the names that the following indexes read, so a
  // walk over n subkeys costs one query, not n.
  LSTATUS EnumKey(uint32_t index, char* name, uint32_t* nameSize) const;

  // Deletes a subkey that has no subkeys of its own (1020 otherwise).
  LSTATUS DeleteSubKey(const std::string& subPath);
  // Deletes a subkey with everything below it.
  LSTATUS DeleteTree(const std::string& subPath);

  void Close();
  bool IsOpen() const { return id_ != 0; }
  const std::string& Path() const { return path_; }

 private:
  struct ValueCache;

  int64_t id_ = 0;
  bool writable_ = false;
  std::string path_;
  mutable std::shared_ptr<ValueCache> cache_;
  mutable std::shared_ptr<std::vector<std::string>> subkeys_;
};

// Groups writes into one atomic commit. kWrite takes the store's write lock
// at once (so no other writer can slip in between our reads and writes);
// kRead gives a consistent snapshot. A scope that is destroyed without
// Commit() rolls back. Scopes nest: only the outermost one commits; an inner
// scope that ends without Commit() after it changed something makes the
// outermost one fail (an inner scope that only read does not).
class RegTransaction {
 public:
  enum class Mode { kRead, kWrite };
  explicit RegTransaction(Mode mode = Mode::kWrite);
  ~RegTransaction();
  RegTransaction(const RegTransaction&) = delete;
  RegTransaction& operator=(const RegTransaction&) = delete;

  // 0 when the scope began; 1016 (or 5) when it could not.
  LSTATUS Status() const { return status_; }
  // Commits the outermost scope; inner scopes only mark themselves done.
  LSTATUS Commit();
  void Rollback();

 private:
  LSTATUS status_ = 0;
  bool active_ = false;
  int64_t changesAtStart_ = 0;
};

// Closes the process's connection, so the next call opens the store of the
// state root anew (tests that switch roots; before fork()).
void RegCloseStore();

// Full path text "HKEY_LOCAL_MACHINE\..." forms accepted by tools: strips a
// leading "HKEY_LOCAL_MACHINE\" or "HKLM\" and trailing backslashes.
// Returns false for another root.
bool RegNormalizePath(const std::string& in, std::string* out);

}  // namespace tarvik
