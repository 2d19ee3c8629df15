// tarvik-devsim: plays any number of device servers for tests and manual
// tries, inside a private network namespace only.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "command_port_config.h"
#include "command_port_service.h"
#include "data_port_service.h"
#include "device_file.h"
#include "event_loop.h"
#include "netns_check.h"
#include "sim_device.h"
#include "udp_discovery.h"

namespace {

const char kHelp[] =
    "usage: tarvik-devsim [options] DEVICE-FILE\n"
    "\n"
    "Simulates the device servers listed in DEVICE-FILE: each answers the UDP\n"
    "discovery request and applies UDP configuration commands sent to its MAC.\n"
    "Runs only in a network namespace whose one interface is lo (see\n"
    "tests/netns/run-in-netns.sh); it refuses to start anywhere else.\n"
    "\n"
    "options:\n"
    "  --log FILE        append every datagram received and every change made\n"
    "  --ready-file FILE create FILE once the sockets are bound\n"
    "  --udp-port N      discovery port to listen on (default 57188)\n"
    "  --reply-port N    port replies and confirmations go to (default 54321)\n"
    "  --help            this text\n"
    "\n"
    "DEVICE-FILE: lines \"key = value\", \"#\" comment lines, and \"[device]\"\n"
    "starting each device's section. Keys of a device:\n"
    "  name      model name sent as NAME=       (e.g. Q410X-2)\n"
    "  alias     ALIAS=                         (default empty)\n"
    "  mac       MAC= and the address of configuration commands (required)\n"
    "  ip, mask, gateway  IP=, MASK=, GATEWAY=  (defaults 10.77.0.1,\n"
    "            255.255.255.0, 0.0.0.0)\n"
    "  dhcp      DHCP= (0 or 1; default 0)\n"
    "  fault     comma list of: none, silent (never answers a search), late\n"
    "            (answers after delay ms, default 1500), duplicate (answers\n"
    "            twice), malformed (answers \"KORVAXQ410X,8\"), nook (confirms a\n"
    "            configuration with \"KORVAXQ410X,81,ER\"), noconfirm (applies a\n"
    "            configuration without confirming)\n"
    "  delay     milliseconds before answering a search (default 0)\n"
    "  reply     exact discovery reply instead of the built one; escapes \\r\n"
    "            \\n \\t \\\\ \\xHH\n"
    "  hostile   comma list of texts the device forges (or all): name (NAME=\n"
    "            and the command port's name: the real name, then a line feed\n"
    "            and a forged \"added ...\" line, a terminal sequence, a quote,\n"
    "            markup, past 99 characters), alias (ALIAS= with '=', a quote,\n"
    "            a terminal sequence and markup, past 19), address (IP=, MASK=,\n"
    "            GATEWAY= with control characters and '=', past 15), mac (MAC=\n"
    "            likewise), replies (the command port's firmware, OS version,\n"
    "            share mode, gateway, mask and MAC answers). The device is still\n"
    "            found, configured and reached at its real ip and mac.\n"
    "All devices answer discovery from the one socket on the namespace's\n"
    "address; the IP they report is their ip key.\n"
    "\n"
    "Each device also has a TCP command port on its own ip (which must be an\n"
    "address of lo) and port cmd_port. Its keys:\n"
    "  cmd_port  TCP port (default 10000)\n"
    "  firmware, os_version  answers to codes 01 and 22\n"
    "  max_sockets, system_timeout, share_mode  answers to 25N, 25S, 25M\n"
    "  password  device password, at most 30 characters (default none:\n"
    "            unlocked); a locked device refuses 26ISAVE until the password\n"
    "            is proved on that connection\n"
    "  lock      yes/no: the device knows the lock commands (default yes)\n"
    "  key_text  key text handed out by 25pubkey (default a fresh one each time)\n"
    "  echo      yes/no: replies repeat the command code (default yes)\n"
    "  ports     serial ports, 1..68 (default 2); port.N = \"BAUD FORMAT\",\n"
    "            e.g. \"115200 7E2\" (default \"9600 8N1\")\n"
    "  cmd_fault comma list of noreply[:PREFIX], error[:PREFIX], split[:PREFIX]\n"
    "            (for commands beginning with PREFIX, else all), slowaccept\n"
    "            (connections wait accept_delay ms, default 1500), refuse\n"
    "Data ports: each serial port N listens on ip, port cmd_port + N, and the\n"
    "I/O port on io_port (default 9999). Keys:\n"
    "  data_mode  echo (default), sink (count and drop) or scripted\n"
    "  data_script \"REQUEST=>REPLY\" rules separated by \";\" (escapes as reply)\n"
    "  data_fault comma list of drop:N (drop a connection after N bytes) and\n"
    "             refuse:MS (refuse connections MS ms at start and after a drop)\n"
    "  data_protocol raw (default) or rfc2217: the data ports speak the Telnet\n"
    "             Com Port Control Option (RFC 2217); data_mode then applies to\n"
    "             the data inside the Telnet stream\n"
    "  rfc2217_mode ack (default: accepts the option and answers every request\n"
    "             with the value set), refuse (refuses the option, carries data\n"
    "             only) or noack (accepts it, takes settings, never answers)\n"
    "Baud rates and formats set with codes 06 and 07 show in the data log\n"
    "lines: \"data open IP:PORT port N BAUD FORMAT\", \"data close|drop IP:PORT\n"
    "in=N out=M port N BAUD FORMAT\", \"data refuse IP for MS ms ...\", and for\n"
    "RFC 2217 \"data rfc2217 IP:PORT port N baud=B|datasize=D|parity=P|\n"
    "stopsize=S|control=C|purge=W\" for each setting a client takes.\n"
    "Network settings sent with 26ISAVE take effect at 33RESET, which also\n"
    "drops the device's connections.\n"
    "\n"
    "Log lines: \"recv ADDR:PORT TEXT\" (escaped as above, hex digits in\n"
    "lower case), \"config MAC KEY=value...\", \"state mac=... name=...\n"
    "alias=... ip=... mask=... gateway=... dhcp=...\" after each change;\n"
    "\"cmd recv IP:PORT TEXT\" for bytes a device's command port received,\n"
    "\"cmd restart state ...\" after 33RESET.\n"
    "\n"
    "Example:\n"
    "  [device]\n"
    "  name = Q410X-2\n"
    "  alias = lab\n"
    "  mac = 02:4E:A7:00:00:01\n"
    "  ip = 10.77.0.21\n"
    "  [device]\n"
    "  name = Q410X-4\n"
    "  mac = 02:4E:A7:00:00:02\n"
    "  fault = duplicate,late\n"
    "  delay = 300\n";

int Usage(const char* error) {
  fprintf(stderr, "tarvik-devsim: %s (see --help)\n", error);
  return 2;
}

bool PortValue(const char* text, int* out) {
  char* end = nullptr;
  long v = strtol(text, &end, 10);
  if (*end != '\0' || v < 1 || v > 65535) return false;
  *out = static_cast<int>(v);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string logPath, readyPath, devicePath;
  int udpPort = 57188, replyPort = 54321;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    bool hasValue = i + 1 < argc;
    if (arg == "--help" || arg == "-h") {
      fputs(kHelp, stdout);
      return 0;
    } else if (arg == "--log" && hasValue) {
      logPath = argv[++i];
    } else if (arg == "--ready-file" && hasValue) {
      readyPath = argv[++i];
    } else if (arg == "--udp-port" && hasValue) {
      if (!PortValue(argv[++i], &udpPort)) return Usage("bad --udp-port");
    } else if (arg == "--reply-port" && hasValue) {
      if (!PortValue(argv[++i], &replyPort)) return Usage("bad --reply-port");
    } else if (arg[0] == '-' || !devicePath.empty()) {
      return Usage(("unexpected argument " + arg).c_str());
    } else {
      devicePath = arg;
    }
  }
  if (devicePath.empty()) return Usage("no device file");

  std::string why;
  if (!tarvik::OnlyLoopbackNetwork(&why)) {
    fprintf(stderr, "tarvik-devsim: %s\n", why.c_str());
    return 3;
  }

  devsim::DeviceFile file;
  std::string error;
  if (!devsim::ReadDeviceFile(devicePath, &file, &error)) {
    fprintf(stderr, "tarvik-devsim: %s\n", error.c_str());
    return 2;
  }
  std::vector<std::unique_ptr<devsim::SimDevice>> devices;
  for (size_t i = 0; i < file.devices.size(); ++i) {
    auto device = std::make_unique<devsim::SimDevice>();
    if (!device->Configure(file.devices[i], &error)) {
      fprintf(stderr, "tarvik-devsim: %s: device %zu: %s\n", devicePath.c_str(), i + 1,
              error.c_str());
      return 2;
    }
    devices.push_back(std::move(device));
  }

  FILE* logFile = nullptr;
  if (!logPath.empty() && !(logFile = fopen(logPath.c_str(), "a"))) {
    fprintf(stderr, "tarvik-devsim: cannot open log %s\n", logPath.c_str());
    return 2;
  }
  devsim::Log log(logFile);
  devsim::EventLoop loop;
  if (!loop.Valid()) {
    fprintf(stderr, "tarvik-devsim: cannot set up the event loop\n");
    return 1;
  }
  devsim::UdpDiscovery udp(&loop, &devices, &log, replyPort);
  if (!udp.Start(udpPort, &error)) {
    fprintf(stderr, "tarvik-devsim: %s\n", error.c_str());
    return 1;
  }
  std::vector<std::unique_ptr<devsim::CommandPortService>> commandPorts;
  std::vector<std::unique_ptr<devsim::DataPortService>> dataPorts;
  for (size_t i = 0; i < devices.size(); ++i) {
    devsim::CommandPortSettings settings;
    if (!devsim::ConfigureCommandPort(file.devices[i], &settings, &error)) {
      fprintf(stderr, "tarvik-devsim: %s: device %zu: %s\n", devicePath.c_str(), i + 1,
              error.c_str());
      return 2;
    }
    commandPorts.push_back(std::make_unique<devsim::CommandPortService>(
        &loop, devices[i].get(), &log, std::move(settings)));
    // A device whose address is not on lo (or taken by another device's
    // port) simply has no command port until that changes.
    if (!commandPorts.back()->Start(&error)) {
      log.Line("cmd unavailable " + devices[i]->Describe() + ": " + error);
    }
    devsim::DataPortSettings data;
    if (!devsim::ConfigureDataPorts(file.devices[i], &data, &error)) {
      fprintf(stderr, "tarvik-devsim: %s: device %zu: %s\n", devicePath.c_str(), i + 1,
              error.c_str());
      return 2;
    }
    const devsim::CommandPortService* command = commandPorts.back().get();
    dataPorts.push_back(std::make_unique<devsim::DataPortService>(
        &loop, &log, std::move(data), [command](int port) -> std::string {
          const auto& ports = command->Settings().ports;
          if (port < 1 || static_cast<size_t>(port) > ports.size()) return "-";
          return ports[static_cast<size_t>(port - 1)].baud + " " +
                 ports[static_cast<size_t>(port - 1)].format;
        }));
    const devsim::CommandPortSettings& cs = command->Settings();
    if (!dataPorts.back()->Start(cs.ip, cs.tcpPortCmd, static_cast<int>(cs.ports.size()), &error)) {
      log.Line("data unavailable " + devices[i]->Describe() + ": " + error);
    }
  }
  if (!readyPath.empty()) {
    FILE* ready = fopen(readyPath.c_str(), "w");
    if (ready) fclose(ready);
  }
  printf("tarvik-devsim: %zu devices on UDP %d\n", devices.size(), udpPort);
  fflush(stdout);
  int rc = loop.Run();
  if (logFile) fclose(logFile);
  return rc;
}
