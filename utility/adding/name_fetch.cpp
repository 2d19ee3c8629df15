#include "name_fetch.h"

#include "czorn3.h"
#include "tarvik/text.h"
#include "tarvik/ui_hooks.h"

NameFetchResult FetchDeviceName(CZorn3& session, const std::string& address, uint32_t port,
                                uint32_t timeoutMs,
                                const std::function<void(const std::string&)>& status) {
  NameFetchResult result;
  auto show = [&](const std::string& text) {
    if (status) status(text);
  };
  session.Address().SetText(address.c_str());
  session.SetPort(port);
  session.SetTimeout(timeoutMs);
  show("Connecting to " + address);

  uint32_t connected;
  {
    tarvik::WaitCursor wait;
    connected = session.Connect();
  }
  if (connected != 0) {
    // Connect closed the socket already on every failing path.
    show("Error: " + session.StatusText());
    return result;
  }

  char name[50] = {};
  bool gotName;
  {
    tarvik::WaitCursor wait;
    gotName = session.GetDeviceName(name, sizeof name) == 0;
  }
  if (gotName) {
    result.name = name;
    show(result.name + " found!");
    char version[30] = {};
    bool gotVersion;
    {
      tarvik::WaitCursor wait;
      gotVersion = session.GetFirmwareVersion(version, sizeof version) == 0;
    }
    if (gotVersion) {
      char text[500];
      tarvik::FormatText(text, sizeof text, "%s:%u, %s, found!!", name, port, version);
      show(text);
      result.ok = true;
    }
  }
  session.Close();
  // A device that names itself but keeps its version to itself is not one
  // whose ports can be trusted to follow the name.
  if (!result.ok) result.name.clear();
  return result;
}
