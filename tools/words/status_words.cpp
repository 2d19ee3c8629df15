#include "status_words.h"

#include <cstdio>

namespace tarvik::words {
namespace {

template <typename Code>
struct Row {
  Code code;
  const char* words;
};

// Configuration library (tarvikcfg): store, files, driver service.
constexpr Row<uint32_t> kConfigStatus[] = {
    {0, "success"},
    {1, "the driver's service could not be opened"},
    {2, "the store holds no server, so there is nothing to export"},
    {4, "the service manager could not be opened"},
    {5, "the driver's start request failed"},
    {6, "the driver's stop request failed"},
    {7, "the driver did not reach the wanted state within 15 seconds"},
    {8, "the driver's Parameter key cannot be opened or written"},
    {9, "a server key lacks IPAddress, ServerName or PortNo"},
    {10, "a server key cannot be created"},
    {11, "the file cannot be opened or created"},
    {12, "the file cannot be read, or a line is too long"},
    {13, "a server in the file has no usable IP address"},
    {14, "syntax error in the text configuration file"},
    {15, "a COM number in the file is taken by another serial port of the computer"},
    {16, "a COM number is used twice in the file"},
    {17, "the file defines no server"},
    {18, "the system's serial-port list cannot be read"},
    {20, "the text file's VERSION line is missing, misplaced or not 1.1"},
    {22, "unknown OPTIONS key in the text file"},
    {23, "bad number, octet or model token in the text file"},
    {24, "wrong record or set size"},
    {25, "unknown device name, or too many ports for one server"},
    {26, "the file is not a configuration file (it holds NUL bytes, e.g. a 16-bit encoding)"},
    {27, "the XML document is not well formed"},
    {28, "a port name the server's port layout does not have"},
};

// Discovery library (findra).
constexpr Row<int> kDiscoveryCodes[] = {
    {0, "success"},
    {-2, "the discovery library is not initialised, or its socket could not be made"},
    {-3, "the listen port is in use"},
    {-4, "no usable local IPv4 address"},
    {-5, "no device at that index"},
    {-6, "the device did not confirm within 1 second"},
    {-7, "the receiver thread could not be started"},
    {-9, "nothing to change"},
    {-14, "the device refused the configuration"},
    {-15, "a text to send holds ',', '=' or a control character; nothing was sent"},
};

// Platform (registry store, service manager): Windows error numbers.
constexpr Row<uint32_t> kErrorCodes[] = {
    {0, "success"},
    {2, "not found"},
    {3, "path not found"},
    {5, "access denied: the registry store may not be written (run as root)"},
    {6, "handle not open"},
    {8, "not enough memory"},
    {13, "invalid data"},
    {87, "invalid argument"},
    {122, "buffer too small"},
    {123, "invalid service name"},
    {161, "bad key path"},
    {170, "the store is busy"},
    {193, "the service's program is not a program"},
    {234, "more data than the buffer holds"},
    {259, "no more items"},
    {1015, "the registry store is damaged"},
    {1016, "the registry store cannot be read or written"},
    {1018, "the key was deleted"},
    {1020, "the key has subkeys"},
    {1053, "the service did not answer in time"},
    {1056, "the service is already running"},
    {1058, "the service is disabled"},
    {1060, "the service does not exist"},
    {1061, "the service cannot take that request now"},
    {1062, "the service is not running"},
    {1067, "the service's program ended unexpectedly"},
    {1073, "the service exists already"},
};

template <typename Code, size_t N>
const char* Find(const Row<Code> (&table)[N], Code code) {
  for (const auto& row : table) {
    if (row.code == code) return row.words;
  }
  return nullptr;
}

template <typename Code, size_t N>
std::string Table(const Row<Code> (&table)[N]) {
  std::string out;
  for (const auto& row : table) {
    out += std::to_string(row.code) + "\t" + row.words + "\n";
  }
  return out;
}

std::string Line(const char* space, long long code, const char* words) {
  return std::string(space) + " " + std::to_string(code) + ": " + (words ? words : "unknown code");
}

}  // namespace

const char* ConfigStatusWords(uint32_t status) { return Find(kConfigStatus, status); }
const char* DiscoveryCodeWords(int code) { return Find(kDiscoveryCodes, code); }
const char* ErrorCodeWords(uint32_t error) { return Find(kErrorCodes, error); }

std::string ConfigStatus(uint32_t status) { return Line("status", status, ConfigStatusWords(status)); }
std::string DiscoveryCode(int code) { return Line("discovery code", code, DiscoveryCodeWords(code)); }
std::string ErrorCode(uint32_t error) { return Line("error", error, ErrorCodeWords(error)); }

std::string ConfigStatusTable() { return Table(kConfigStatus); }
std::string DiscoveryCodeTable() { return Table(kDiscoveryCodes); }
std::string ErrorCodeTable() { return Table(kErrorCodes); }

}  // namespace tarvik::words
