// Store contents for the main-window tests: servers written straight into
// the registry store of the test's state root, as the driver would read them.
#pragma once
#include <cstdint>
#include <string>

struct FixtureServer {
  const char* name;
  const char* alias;
  const char* host;
  uint32_t address;  // first octet in the low-order byte
  uint32_t ports;
  uint32_t firstCom;  // data port i maps COM firstCom + i - 1; 0 = none mapped
};

// Writes the servers as "Server1".. with the counts and Flags.
void WriteFixtureStore(const FixtureServer* servers, int count, uint32_t flags);

// A string or DWORD value of HKLM\...\Parameter[\subKey]; empty/0xFFFFFFFF
// when missing.
std::string StoredString(const char* subKey, const char* name);
uint32_t StoredDword(const char* subKey, const char* name);

constexpr uint32_t Ipv4(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
  return a | (b << 8) | (c << 16) | (d << 24);
}
