// What the suite asks of the running system for its System Information
// report: the operating system's product name and version, the processor,
// and whether the program runs as a 32-bit process on a 64-bit kernel.
//
// How it works
// - On Windows these come from two registry keys that the system fills from
//   the live machine: the version key (kCurrentVersionKey) and the first
//   processor's key (kProcessorKey). Here they are not kept in the registry
//   store at all: QuerySystemValue answers exactly those keys and values
//   from the live system at the moment of the call, with the registry's
//   value types and buffer rules, so a stale copy can never be read.
// - Product name: PRETTY_NAME of os-release (/etc/os-release, else
//   /usr/lib/os-release), or NAME and VERSION when it has none. Version
//   text: the kernel release (uname). Major and minor numbers: the first two
//   numbers of that release. Processor name: the first processor's model
//   line of /proc/cpuinfo.
// - The parsers take text, so they can be tested and fuzzed without the
//   files. Every call may come from any thread.
#pragma once
#include <cstdint>
#include <string>

#include "tarvik/win_errors.h"

namespace tarvik {

extern const char kCurrentVersionKey[];  // SOFTWARE\Microsoft\Windows NT\CurrentVersion
extern const char kProcessorKey[];       // HARDWARE\DESCRIPTION\System\CentralProcessor\0

// One value of the live keys, shaped like RegKey::QueryValue: data may be
// null to learn type and length; a buffer too small gives 234 with *length
// the size needed. Strings are REG_SZ with their NUL counted, numbers
// REG_DWORD. 2 for another key, another value, or one the system does not
// give (no os-release, a kernel release without numbers, no model line).
// Key and value names compare without regard to case.
LSTATUS QuerySystemValue(const std::string& keyPath, const std::string& valueName,
                         uint32_t* type, void* data, uint32_t* length);

// The product name an os-release text gives, or "" when it names none.
std::string ProductNameFromOsRelease(const std::string& text);
// The first two numbers of a kernel release ("6.1.0-18-amd64" gives 6, 1).
// False when it does not begin with "<digits>.<digits>".
bool KernelVersionNumbers(const std::string& release, uint32_t* major, uint32_t* minor);
// The first processor's name in a /proc/cpuinfo text, or "" when it has
// none. Architectures name the line differently; the first known one of the
// first processor counts.
std::string ProcessorNameFromCpuInfo(const std::string& text);

// Processors online (at least 1).
uint32_t ProcessorCount();

// True when this process is a 32-bit program on a 64-bit kernel (the case
// in which Windows redirects a 32-bit program's system directory).
bool Runs32BitOn64BitKernel();
// The same decision from a kernel machine name (uname -m) and the program's
// pointer size in bytes.
bool Is32BitOn64BitMachine(const std::string& machine, unsigned pointerSize);

}  // namespace tarvik
