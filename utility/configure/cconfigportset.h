// "Port Setting (Device)": the serial settings of the device's own port,
// read on the first visit (and on later ones until a baud rate was read)
// and written with "Set to EEPROM/Flash (Device)". The device work is
// PortDeviceSettings'; this page shows it. For a server whose data ports
// speak RFC 2217 the settings go on the port's data connection instead of
// the command port (see PortDeviceSettings).
#pragma once
#include <cstdint>

#include <QWidget>

#include "czorn3.h"
#include "pane_config.h"
#include "port_device_settings.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class CConfigPortSet : public QWidget {
  Q_OBJECT
 public:
  // rfc2217: the server's DataProtocol is RFC 2217.
  CConfigPortSet(const tarvik::app::ServerRecord& server, int entry, bool rfc2217,
                 QWidget* parent = nullptr);

  // The page was shown: reads the device when that is still to do. The
  // "Port I/O" entry only says it has nothing to configure.
  void Visit();
  // "Set to EEPROM/Flash (Device)".
  void SetToDevice();
  // True when the edit or the lists differ from what the device reported.
  bool Changed() const;

  bool Busy() const { return m_busy; }
  tarvik::device::PortDeviceSettings& Device() { return m_device; }
  CZorn3& Session() { return m_session; }
  QLineEdit* Baud() const { return m_baud; }
  QComboBox* DataBits() const { return m_dataBits; }
  QComboBox* Parity() const { return m_parity; }
  QComboBox* StopBits() const { return m_stopBits; }
  QLabel* StatusLine() const { return m_status; }
  QPushButton* SetButton() const { return m_set; }

 signals:
  // A device action starts (true) or ends (false); the dialog locks its
  // tabs and buttons meanwhile, since a connect keeps events flowing.
  void busyChanged(bool busy);

 private:
  void SetBusy(bool busy);
  void ShowValues(const tarvik::device::PortPageValues& values);
  tarvik::device::PortPageValues Lists() const;

  const tarvik::app::ServerRecord& m_server;
  int m_entry;
  CZorn3 m_session;
  tarvik::device::PortDeviceSettings m_device;
  bool m_busy = false;
  QLineEdit* m_baud;
  QComboBox* m_dataBits;
  QComboBox* m_parity;
  QComboBox* m_stopBits;
  QLabel* m_status;
  QPushButton* m_set;
};
