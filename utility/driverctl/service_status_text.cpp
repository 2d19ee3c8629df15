#include "service_status_text.h"

#include "tarvik/service_manager.h"
#include "tarvik/text.h"

const char kServiceStatusNotAvailable[] = "N/A";

namespace {

const char* const kStateTexts[] = {
    "Driver is not running.",      // stopped
    "Driver is starting.",         // start pending
    "Driver is stopping.",         // stop pending
    "Driver is running.",          // running
    "Driver continue is pending.", // continue pending
    "Driver pause is pending.",    // pause pending
    "Driver is paused.",           // paused
};

}  // namespace

void FormatServiceStateText(uint32_t state, char* text, size_t size) {
  if (state >= tarvik::kServiceStopped && state <= tarvik::kServicePaused) {
    tarvik::CopyText(text, size, kStateTexts[state - 1]);
  } else {
    tarvik::FormatText(text, size, "Unknown Status(0x%08x)!", state);
  }
}

uint32_t QueryServiceStatusText(const char* name, char* text, size_t size) {
  tarvik::CopyText(text, size, kServiceStatusNotAvailable);
  tarvik::ScManager manager;
  tarvik::ServiceHandle service;
  if (manager.Open(tarvik::kScManagerConnect) != tarvik::kErrorSuccess ||
      service.Open(manager, name, tarvik::kServiceQueryStatus) != tarvik::kErrorSuccess) {
    tarvik::CopyText(text, size, "Service does not exist!");
    return kServiceStatusNoService;
  }
  tarvik::ServiceStatus status;
  if (service.QueryStatus(&status) != tarvik::kErrorSuccess) return 0;
  FormatServiceStateText(status.currentState, text, size);
  return status.currentState;
}
