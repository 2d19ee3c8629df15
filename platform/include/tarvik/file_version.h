// Version information of a program file, readable without running it, with
// calls shaped like the Windows version-resource calls.
//
// How it works
// - A program carries its version block in the ELF section ".tarvik_version",
//   put there by TARVIK_VERSION_RESOURCE in one of its source files. The
//   block is: the magic "TVI1", one translation (16-bit language, 16-bit code
//   page, little-endian), then NUL-terminated name / value text pairs ended
//   by an empty name.
// - GetFileVersionInfoSize / GetFileVersionInfo copy that block out of the
//   file (read from disk, never executed); VerQueryValue looks into a copy:
//   "\VarFileInfo\Translation" gives the 4 translation bytes and
//   "\StringFileInfo\<llllcccc>\<Name>" (language and code page as 8 hex
//   digits) gives a value text.
// - The reader checks every offset against the file, so a damaged or hostile
//   file gives "no version information", never a read out of bounds.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "tarvik/win_errors.h"

// Use once in a program's sources, with the pairs as adjacent literals:
//   TARVIK_VERSION_RESOURCE("ProductVersion\0" "2.14.03\0")
// The translation is U.S. English (0x0409), Unicode code page (0x04b0).
#define TARVIK_VERSION_RESOURCE(pairs)                                           \
  extern "C" __attribute__((section(".tarvik_version"), used, aligned(4)))       \
  const char tarvik_version_resource[] = "TVI1" "\x09\x04" "\xb0\x04" pairs "\0";

namespace tarvik {

constexpr LSTATUS kErrorResourceDataNotFound = 1812;  // ERROR_RESOURCE_DATA_NOT_FOUND
constexpr LSTATUS kErrorResourceTypeNotFound = 1813;  // ERROR_RESOURCE_TYPE_NOT_FOUND

// Size of the file's version block, or 0 (then *error, when given, says why:
// 2 no such file, 5 not readable, 1812 not a program file, 1813 no version
// block).
uint32_t GetFileVersionInfoSize(const std::string& path, LSTATUS* error = nullptr);

// Copies the version block (at most size bytes) into data. False when the
// file has none or size is too small.
bool GetFileVersionInfo(const std::string& path, uint32_t size, void* data);

// Finds subBlock in a block copied by GetFileVersionInfo (blockSize its
// size). *value points into the block; *length is the byte count for the
// translation and the text length with its NUL for a text. False when the
// block holds no such entry.
bool VerQueryValue(const void* block, uint32_t blockSize, const std::string& subBlock,
                   const void** value, uint32_t* length);

// Convenience: the text value name of the file's first translation
// ("ProductVersion") into buf[size], cut to fit. 0, or the code of
// GetFileVersionInfoSize, or 1813 when the block has no such value.
LSTATUS ReadFileVersionString(const std::string& path, const char* name, char* buf, size_t size);

}  // namespace tarvik
