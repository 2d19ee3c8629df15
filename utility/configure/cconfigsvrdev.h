// The "Device Information" page of the server configuration: what the
// device reports over its command port, and its address, sub-net mask and
// gateway, which can be changed here. The page owns its own command-port
// session; every action connects, asks and closes.
//
// While an action waits for the device the page is busy: its buttons are
// disabled and busyChanged() lets the dialog disable the rest, because the
// session keeps the UI running while it connects and a second click must
// not start another action on the same session.
#pragma once
#include <cstdint>
#include <string>

#include <QWidget>

#include "czorn3.h"
#include "server_device_view.h"
#include "server_network_set.h"

class QLabel;
class QLineEdit;
class QPushButton;

class CConfigSvrDev : public QWidget, public tarvik::device::ServerDeviceView {
  Q_OBJECT
 public:
  explicit CConfigSvrDev(QWidget* parent = nullptr);

  // The first visit: the address and command port to ask at, the page's
  // time-out and the saved password; every device field "N/A", the set
  // button off, status "Status: OK.".
  void Start(const QString& address, uint32_t port, uint32_t timeoutMs,
             const std::string& savedPassword);
  // Reads the device ("Refresh"). Ignored while the page is busy.
  void Refresh();
  // Sends the changed address, mask and gateway ("Set  IP_Mask_Gateway").
  // Ignored while the page is busy.
  void SetNetwork();

  // Network settings were offered to the device during this dialog.
  bool NetworkChanged() const { return m_networkChanged; }
  bool Busy() const { return m_busy; }
  QString AddressText() const;

  QLineEdit* Field(tarvik::device::DeviceField field) const {
    return m_fields[static_cast<int>(field)];
  }
  QLineEdit* AddressEdit() const { return m_address; }
  QLineEdit* PortEdit() const { return m_port; }
  QLabel* StatusLine() const { return m_status; }
  QPushButton* SetButton() const { return m_set; }
  QPushButton* RefreshButton() const { return m_refresh; }

  // ServerDeviceView
  void ShowField(tarvik::device::DeviceField field, const std::string& text) override;
  void ShowStatus(const std::string& text) override;
  void EnableSetNetwork(bool enabled) override;
  void Redraw() override;

 signals:
  void busyChanged(bool busy);

 private:
  bool BeginAction();
  void EndAction();
  tarvik::device::DeviceTarget Target() const;
  tarvik::device::NetworkTexts EnteredNetwork() const;

  QLineEdit* m_fields[static_cast<int>(tarvik::device::DeviceField::kCount)];
  QLineEdit* m_address = nullptr;
  QLineEdit* m_port = nullptr;
  QLabel* m_status;
  QPushButton* m_set;
  QPushButton* m_refresh;

  CZorn3 m_session;
  uint32_t m_timeoutMs = 3000;
  std::string m_savedPassword;
  tarvik::device::NetworkTexts m_lastRead;
  bool m_networkChanged = false;
  bool m_busy = false;
  bool m_setAllowed = false;  // what the last read said about the set button
};
