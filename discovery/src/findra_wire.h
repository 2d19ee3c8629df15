// The discovery library's datagrams: reading a device's discovery reply or
// a captured BOOTP request into a module record, building a configuration
// command, and recognising its confirmation. Pure functions over buffers, so
// they can be tested and fuzzed without a network.
#pragma once
#include <cstddef>
#include <cstdint>

namespace findra {

// One device server found by a search. Zero-filled on creation: a field
// whose key is missing from the reply stays empty text, DHCP 0.
struct ModuleRecord {
  char name[20];
  char ip[16];
  char mask[16];
  char gateway[16];
  char mac[18];
  char alias[20];
  int32_t dhcp;
};

constexpr char kRequestText[] = "KORVAXQ410X,00\r";
constexpr char kReplyPrefix[] = "KORVAXQ410X,80";
constexpr size_t kReplyPrefixLength = 14;
constexpr char kConfirmPrefix[] = "KORVAXQ410X,81";
constexpr size_t kReceiveBufferSize = 2048;
constexpr size_t kCommandSize = 512;
constexpr size_t kMinBootpLength = 34;

// Result codes shared with the exports.
constexpr int kParsed = 0;
constexpr int kDropped = -14;

// True when the first 14 bytes of data[0..length) are the reply prefix.
bool IsDiscoveryReply(const char* data, size_t length);

// Reads a discovery reply. text holds length bytes (length >= 1) followed by
// room for a NUL at text[length]; the last byte is the reply's terminator
// and is overwritten. Keys are found anywhere in the text; a value runs to
// the next ','. Returns kParsed with *out filled, or kDropped when not even
// the prefix key is present (never for a text that passed IsDiscoveryReply).
int ParseDiscoveryReply(char* text, size_t length, ModuleRecord* out);

// Reads a captured BOOTP request: true with *out filled ("BOOTP", "Tiny",
// addresses "0.0.0.0", MAC from the client hardware address) when the
// datagram is long enough to hold that address and it starts with the
// device servers' vendor prefix 02 4E A7.
bool ParseBootpRequest(const uint8_t* data, size_t length, ModuleRecord* out);

// What a configuration command should change; null texts are left out.
struct ConfigRequest {
  const char* ip = nullptr;
  const char* mask = nullptr;
  const char* gateway = nullptr;
  const char* mac = nullptr;
  const char* alias = nullptr;
  int dhcp = 0;
};

// Builds the command that sends the changes in request to the device of
// record into out[kCommandSize]. The alias goes whenever it is given; IP,
// mask, gateway and MAC only when they differ from the record ignoring
// case; DHCP only when it differs. Returns the command length, or 0 when
// nothing is to change (out then holds nothing worth sending).
size_t BuildConfigCommand(const ModuleRecord& record, const ConfigRequest& request,
                          char (&out)[kCommandSize]);

// Whether the command for request would carry only the fields it names.
// Every included value (and the record's MAC, the command's target) goes
// in as ",KEY=value"; a ',' or '=' in a value would read as a field of its
// own (",IP=...", ",DHCP=1") to a device that finds keys anywhere in the
// text, and a control character (a '\r') could end the command early.
// Values the command leaves out are not looked at.
bool IsSafeConfigRequest(const ModuleRecord& record, const ConfigRequest& request);

// Confirmation test for a datagram on the listen port: 1 = confirmed with
// "OK", 0 = confirmation without "OK", -1 = not a confirmation.
int ClassifyConfirmation(const char* data, size_t length);

}  // namespace findra
