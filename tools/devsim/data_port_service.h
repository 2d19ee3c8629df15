// Joins one simulated device's data ports and I/O port to the simulator's
// event loop: a listener per port on the device's address, connections
// served by DataSession, the refuse-for-a-while fault played by closing
// the listeners. Log lines: "data open IP:PORT port N BAUD FORMAT",
// "data close IP:PORT in=N out=M", "data drop ..." / "data refuse ...", and
// for an RFC 2217 port "data rfc2217 IP:PORT port N baud=57600" (one per
// setting a client takes).
#pragma once
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "data_port.h"
#include "event_loop.h"
#include "tarvik/unique_fd.h"
#include "udp_discovery.h"

namespace devsim {

class DataPortService {
 public:
  // Settings of device port n (1..) as "BAUD FORMAT", as the command port
  // has them now; the I/O port is port 0.
  using PortSettingsText = std::function<std::string(int port)>;

  DataPortService(EventLoop* loop, Log* log, DataPortSettings settings, PortSettingsText describe);
  DataPortService(const DataPortService&) = delete;
  DataPortService& operator=(const DataPortService&) = delete;

  // Listens on ip at cmdPort + 1 .. cmdPort + ports and at the I/O port.
  // False with a reason when a port cannot be opened.
  bool Start(const std::string& ip, uint16_t cmdPort, int ports, std::string* error);

 private:
  struct Listener {
    int devicePort = 0;
    uint16_t tcpPort = 0;
    tarvik::UniqueFd fd;
  };
  struct Connection {
    int devicePort = 0;
    std::string where;
    tarvik::UniqueFd fd;
    std::unique_ptr<DataSession> session;
    uint64_t sent = 0;
  };

  bool OpenListener(Listener* l, std::string* error);
  void OpenAll();
  void CloseListeners();
  void Refuse(const std::string& why);
  void Accept(Listener* l);
  void Read(std::list<Connection>::iterator c);
  void Drop(std::list<Connection>::iterator c, const char* how);

  EventLoop* loop_;
  Log* log_;
  DataPortSettings settings_;
  PortSettingsText describe_;
  std::string ip_;
  std::list<Listener> listeners_;
  std::list<Connection> connections_;
  bool refusing_ = false;
};

}  // namespace devsim
