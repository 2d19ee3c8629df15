#include "server_network_set.h"

#include "app_texts.h"
#include "cmip.h"
#include "device_words.h"
#include "tarvik/ui_hooks.h"

namespace tarvik::device {

namespace {

// The blanks after "configuration!" are part of the text as shown.
const char kCautionHead[] =
    "Caution!!\n\nThe wrong network setting (";
const char kCautionTail[] =
    ") may cause the device or\nyour network doesn't work correctly! Please contact your Network "
    "Administrator\nfirst if you don't know or don't have a valid configuration!"
    "                                   "
    "\n\nNote: After changing, the device will be rebooted automatically.\n\nAre you sure you "
    "want to continue the setting?\n\n";

void Warn(const char* text) {
  tarvik::ShowMessageBox(text, kAppCaption, tarvik::kMbOk | tarvik::kMbIconWarning);
}

bool IsAddress(const std::string& text) {
  CMIP ip;
  return ip.IsValidText(text.c_str());
}

}  // namespace

const char* CheckNetworkChange(const NetworkTexts& entered, const NetworkTexts& lastRead) {
  if (entered.address == lastRead.address && entered.mask == lastRead.mask &&
      entered.gateway == lastRead.gateway)
    return "Nothing changed!";
  if (!IsAddress(entered.address)) return "Invalid IP format!";
  if (entered.mask != lastRead.mask && !IsAddress(entered.mask))
    return "Invalid Sub-net Mask format!";
  if (entered.gateway != lastRead.gateway && entered.gateway != "0.0.0.0" &&
      !IsAddress(entered.gateway))
    return "Invalid Gateway format!";
  return nullptr;
}

NetworkTexts ChangedNetworkItems(const NetworkTexts& entered, const NetworkTexts& lastRead) {
  NetworkTexts items;
  if (entered.address != lastRead.address) items.address = entered.address;
  if (entered.mask != lastRead.mask) items.mask = entered.mask;
  if (entered.gateway != lastRead.gateway) items.gateway = entered.gateway;
  return items;
}

std::string CautionText(const char* what) {
  return std::string(kCautionHead) + what + kCautionTail;
}

NetworkSetResult SetServerNetwork(CZorn3& session, const NetworkTexts& entered,
                                  const NetworkTexts& lastRead, const DeviceTarget& target,
                                  ServerDeviceView& view, bool* networkChanged) {
  if (const char* refusal = CheckNetworkChange(entered, lastRead)) {
    Warn(refusal);
    return NetworkSetResult::kRefusedBeforeSending;
  }
  if (tarvik::ShowMessageBox(CautionText("IP /Mask /Gateway").c_str(), kAppCaption,
                             tarvik::kMbYesNo | tarvik::kMbIconWarning) != tarvik::kIdYes)
    return NetworkSetResult::kRefusedBeforeSending;

  tarvik::WaitCursor cursor;
  // Until it reboots the device is reachable only where it was read.
  session.Address().SetText(lastRead.address.c_str());
  session.SetPort(target.port);
  session.SetTimeout(target.timeoutMs);
  if (session.Connect() != 0) {
    view.ShowStatus("Connecting failure!");
    view.Redraw();
    session.Close();
    return NetworkSetResult::kConnectFailed;
  }
  const std::string password =
      DecodeSavedPassword(target.savedPassword.c_str(), target.savedPassword.size());
  if (session.Unlock(password.c_str()) != 0) Warn(session.StatusText().c_str());
  *networkChanged = true;

  const NetworkTexts items = ChangedNetworkItems(entered, lastRead);
  NetworkSetResult result = NetworkSetResult::kRestarted;
  if (session.SetNetwork(items.address.c_str(), items.mask.c_str(), items.gateway.c_str()) == 0) {
    session.Restart();
  } else {
    result = NetworkSetResult::kNotAccepted;
  }
  // "Restarting ..." after a restart, the failure text otherwise.
  view.ShowStatus(session.StatusText());
  session.Close();
  view.Redraw();
  return result;
}

}  // namespace tarvik::device
