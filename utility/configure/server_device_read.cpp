#include "server_device_read.h"

#include "app_texts.h"
#include "device_words.h"
#include "tarvik/ui_hooks.h"

namespace tarvik::device {

namespace {

using Getter = uint32_t (CZorn3::*)(char*, size_t);
struct ReadStep {
  DeviceField field;
  Getter get;
};

// Until the share mode the device answers general questions; the button
// that changes its network comes alive only once they all came back.
const ReadStep kGeneralSteps[] = {
    {DeviceField::kServerName, &CZorn3::GetDeviceName},
    {DeviceField::kFirmwareVersion, &CZorn3::GetFirmwareVersion},
    {DeviceField::kOsVersion, &CZorn3::GetOsVersion},
    {DeviceField::kMaxSockets, &CZorn3::GetMaxSockets},
    {DeviceField::kSystemTimeout, &CZorn3::GetSystemTimeout},
    {DeviceField::kOperationMode, &CZorn3::GetShareMode},
};
const ReadStep kNetworkSteps[] = {
    {DeviceField::kGateway, &CZorn3::GetGateway},
    {DeviceField::kSubnetMask, &CZorn3::GetSubnetMask},
    {DeviceField::kMacAddress, &CZorn3::GetMacAddress},
};

constexpr size_t kResultSize = 200;

template <size_t N>
bool RunSteps(CZorn3& session, const ReadStep (&steps)[N], ServerDeviceView& view) {
  for (const ReadStep& step : steps) {
    char value[kResultSize];
    if ((session.*step.get)(value, sizeof value) != 0) return false;
    view.ShowField(step.field, step.field == DeviceField::kOperationMode ? ShareModeText(value)
                                                                         : std::string(value));
  }
  return true;
}

void ReadSequence(CZorn3& session, const DeviceTarget& target, ServerDeviceView& view) {
  view.EnableSetNetwork(false);
  if (!RunSteps(session, kGeneralSteps, view)) return;
  view.EnableSetNetwork(true);
  if (!RunSteps(session, kNetworkSteps, view)) return;
  view.ShowStatus("Status : OK");
  const std::string password = DecodeSavedPassword(target.savedPassword.c_str(),
                                                   target.savedPassword.size());
  if (session.Unlock(password.c_str()) != 0) {
    tarvik::ShowMessageBox(session.StatusText().c_str(), kAppCaption,
                           tarvik::kMbOk | tarvik::kMbIconWarning);
    view.ShowStatus(session.StatusText());
  }
  view.ShowField(DeviceField::kPasswordSetting, LockStateText(session.QueryLockStatus()));
}

}  // namespace

bool ReadServerDevice(CZorn3& session, const DeviceTarget& target, ServerDeviceView& view) {
  view.ShowStatus("Status: Initializing...");
  // The lock state of an earlier read says nothing about this one.
  for (int f = 0; f < static_cast<int>(DeviceField::kCount); ++f)
    view.ShowField(static_cast<DeviceField>(f), "N/A");

  tarvik::WaitCursor cursor;
  session.Address().SetText(target.address.c_str());
  session.SetPort(target.port);
  session.SetTimeout(target.timeoutMs);
  const bool connected = session.Connect() == 0;
  view.ShowStatus(session.StatusText());
  if (connected) {
    view.Redraw();
    ReadSequence(session, target, view);
  }
  session.Close();
  view.Redraw();
  return connected;
}

}  // namespace tarvik::device
