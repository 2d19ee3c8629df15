// The discovery library's process-wide state: the listen and BOOTP sockets,
// the stop signal, the local addresses and destination of the last search,
// the options, the result list and the receiver thread. The exports are thin
// wrappers over one Engine; callers use it from one thread, and the
// receiver thread shares with them only atomics and the result list.
#pragma once
#include <netinet/in.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "findra_wire.h"
#include "result_list.h"
#include "tarvik/unique_fd.h"

namespace findra {

// Result codes of the exports.
enum : int {
  kOk = 0,
  kErrVersion = -1,
  kErrSocket = -2,  // a socket could not be created, or the library is not initialised
  kErrBind = -3,
  kErrNoAddress = -4,
  kErrNoRecord = -5,
  kErrNoConfirmation = -6,
  kErrThread = -7,
  kErrNothingToChange = -9,
  kErrRefused = -14,
  kErrUnsafeField = -15,  // a value would make a field of its own; nothing sent
};

constexpr int kDefaultListenPort = 54321;
constexpr int kDefaultDestinationPort = 57188;
constexpr int kBootpPort = 67;
constexpr uint32_t kMinSearchTimeMs = 1000;
constexpr int kDefaultModuleLimit = 1000;
constexpr uint32_t kConfirmationTimeMs = 1000;

class Engine {
 public:
  Engine() = default;
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  int Init(int listenPort);
  void Close();
  int BroadcastStart(const char* address, int port, const char* request);
  int BroadcastStop();
  int GetModuleInfo(int index, char* name, char* alias, char* ip, char* mask, char* gateway,
                    char* mac, int32_t* dhcp) const;
  int GetState() const { return running_.load(std::memory_order_acquire) ? 1 : 0; }
  int GetCount() const { return results_.Count(); }
  int ConfigModule(int index, const ConfigRequest& request);
  int SetOptions(uint32_t searchTimeMs, int moduleLimit);
  int GetLocalIPCount() const { return static_cast<int>(local_.size()); }
  int EnableBootp(int on);

 private:
  enum class SendFailure { kNone, kSocket, kBind };
  // Sends text once from each local address to the destination, waiting
  // 10 ms before and afterMs after each send.
  void SendFromEachAddress(const char* text, size_t length, uint32_t afterMs);
  void ReceiverThread();
  enum class Take { kNothing, kDropped, kTaken, kLimit };
  // Handles one datagram waiting on the listen or BOOTP socket.
  Take TakeReply(char* buffer);
  Take TakeBootpRequest(char* buffer);
  // Takes up to a batch of waiting datagrams with take. True when the
  // module limit is reached.
  bool TakeBatch(Take (Engine::*take)(char*), char* buffer);
  bool LimitReached() const;
  // Stops a running search and waits for its thread; also collects the
  // thread of a search that ended on its own.
  void StopAndJoin();
  void SignalStop();
  void ResetStop();
  void DrainListenSocket();

  tarvik::UniqueFd listen_;
  tarvik::UniqueFd bootp_;
  tarvik::UniqueFd stop_;  // eventfd: readable while the stop signal is set
  bool initialised_ = false;

  std::vector<uint32_t> local_;
  sockaddr_in destination_{};

  std::atomic<uint32_t> searchTimeMs_{kMinSearchTimeMs};
  std::atomic<int> moduleLimit_{kDefaultModuleLimit};
  std::atomic<bool> bootpCapture_{false};

  std::thread thread_;
  std::atomic<bool> running_{false};
  // The search time counts from the end of the sending; the receiver
  // thread reads replies already while the requests are being paced.
  std::atomic<bool> timing_{false};
  std::atomic<uint32_t> startTime_{0};

  ResultList results_;
};

}  // namespace findra
