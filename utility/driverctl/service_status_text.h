// The service status text: one line that tells the administrator what state
// a service is in, as the Restart Driver dialog and the System Information
// dialog show it. No widgets, so every front end can use it.
#pragma once
#include <cstddef>
#include <cstdint>

// What a status text holds before anything has been asked.
extern const char kServiceStatusNotAvailable[];  // "N/A"

// The state value returned when the manager or the service cannot be opened
// (ERROR_SERVICE_DOES_NOT_EXIST), with the text "Service does not exist!".
constexpr uint32_t kServiceStatusNoService = 1060;

// The text of a state value (1..7 name the state, any other value is shown
// as "Unknown Status(0x%08x)!"), cut to fit text[size].
void FormatServiceStateText(uint32_t state, char* text, size_t size);

// Asks the service manager for the state of the service `name` (connect
// access to the manager, query-status access to the service; both handles
// are closed again) and fills text[size] (200 characters are enough).
// Returns the state (1..7 or whatever else the manager reported), 1060 when
// the manager or the service cannot be opened, or 0 when the service exists
// but its status cannot be read; the text then stays "N/A", since its state
// is not known.
uint32_t QueryServiceStatusText(const char* name, char* text, size_t size);
