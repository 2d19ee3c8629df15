// The .reg text files of the Windows registry editor, read into a list of
// changes. Reading touches no store, so a file is known good before any
// change is made.
//
// Accepted: a first line "Windows Registry Editor Version 5.00" or
// "REGEDIT4"; "[HKEY_LOCAL_MACHINE\path]" (create or open) and
// "[-HKEY_LOCAL_MACHINE\path]" (delete with subkeys); "; comments";
// value lines "Name"=... or @=... (the default value) with
//   "text"               REG_SZ; \\ and \" escape a backslash and a quote
//   dword:0000000a       REG_DWORD, 1 to 8 hex digits
//   hex:01,02            REG_BINARY
//   hex(N):01,02         type N (hex), the value's bytes as stored
//   -                    deletes the value
// Hex lists may go on over lines that end with a backslash. Lines may end in
// CR LF or LF. Texts are 8-bit: the bytes of the file are the bytes stored.
// A file in UTF-16LE with a byte-order mark (what the Windows registry
// editor saves) is read too: every character must fit in 8 bits, and the
// hex lists of text types (hex(1), hex(2), hex(7)), which that editor writes
// as UTF-16, are narrowed the same way.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace tarvikreg {

struct RegFileEntry {
  enum class Kind { kKey, kDeleteKey, kValue, kDeleteValue };
  Kind kind;
  int line;          // line of the file where the entry starts (from 1)
  std::string key;   // path below HKEY_LOCAL_MACHINE (values: their key)
  std::string name;  // value name; "" is the default value
  uint32_t type = 0;
  std::string data;  // the value's bytes
};

struct RegFileError {
  int line = 0;
  std::string message;
};

// Reads the whole text. On a fault returns false with the line and what is
// wrong with it, and entries are left unspecified.
bool ParseRegFile(const std::string& text, std::vector<RegFileEntry>* entries,
                  RegFileError* error);

}  // namespace tarvikreg
