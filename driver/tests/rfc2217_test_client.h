// A small blocking client loop for tests: one TCP connection with the RFC
// 2217 filter stacked on it, standing where the driver's session will. It
// sends what the filter gives for the network at once and keeps what it
// gives the application and its events.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "rfc2217_filter.h"

namespace tarvik::testing {

class Rfc2217TestClient {
 public:
  // Connects to address (dotted IPv4) and port; see Connected().
  Rfc2217TestClient(const std::string& address, uint16_t port);
  ~Rfc2217TestClient();
  Rfc2217TestClient(const Rfc2217TestClient&) = delete;
  Rfc2217TestClient& operator=(const Rfc2217TestClient&) = delete;
  bool Connected() const { return connected_; }

  // Starts the filter and sends its offers.
  bool Start();
  // Gives the application's bytes to the filter and sends what it makes.
  bool Send(const std::string& bytes);
  // Sends what the filter has made for the network (after a request).
  bool Flush();
  // Reads from the server until done() holds. False when the connection
  // ends first, or when a step limit (10 s) passes, so that a peer that
  // stays silent fails the test instead of hanging it; nothing is timed.
  bool Until(const std::function<bool()>& done);
  bool Acknowledged(tarvik::device::ComPortCommand command, uint32_t value) const;
  bool Saw(tarvik::device::Rfc2217Event::Kind kind) const;

  tarvik::device::Rfc2217Filter filter;
  tarvik::device::Rfc2217Output out;      // what the filter made since the last Flush
  std::string application;          // everything it gave the application
  std::vector<tarvik::device::Rfc2217Event> events;

 private:
  int socket_ = -1;
  bool connected_ = false;
};

// Writes all of bytes to fd, waiting while it is full.
bool WriteAll(int fd, const std::string& bytes);

// Every byte value, twice over.
std::string AllByteValuesTwice();

}  // namespace tarvik::testing
