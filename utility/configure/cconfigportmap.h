// "Port Mapping (PC)": which COM number the PC gives the port and how the
// driver treats it. Nothing here reaches the store; the opener applies the
// choice it hands back.
#pragma once
#include <cstdint>

#include <QWidget>

#include "pane_config.h"
#include "port_map_choice.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

class CConfigPortMap : public QWidget {
  Q_OBJECT
 public:
  // occupied and own are the machine's and the configuration's COM maps;
  // maxCom the highest number offered.
  CConfigPortMap(const tarvik::app::ServerRecord& server, int entry, bool reassign,
                 const uint8_t* occupied, const uint8_t* own, uint32_t maxCom,
                 QWidget* parent = nullptr);

  // True when the interval text is a number from 10 to 500; otherwise the
  // message is shown and false returned.
  bool CheckInterval();
  // The choices as they stand (call CheckInterval first).
  tarvik::device::PortMapChoice Choice() const;
  // The choices as the page showed them before anyone touched it.
  const tarvik::device::PortMapChoice& Shown() const { return m_shown; }
  // One flag per COM number (index number - 1): in use by anything but
  // this port.
  const uint8_t* InUse() const { return m_inUse; }

  QComboBox* ComList() const { return m_com; }
  QCheckBox* Reassign() const { return m_reassign; }
  QCheckBox* ApplyToSlots() const { return m_slots; }
  QCheckBox* FixedBaud() const { return m_fixed; }
  QCheckBox* DisablePurge() const { return m_purge; }
  QCheckBox* WriteBuffer() const { return m_writeBuffer; }
  QLineEdit* Interval() const { return m_interval; }

 private:
  void OnReassignClicked();

  bool m_slotted;
  tarvik::device::PortMapChoice m_shown;
  QComboBox* m_com;
  QCheckBox* m_reassign;
  QCheckBox* m_slots;
  QCheckBox* m_fixed;
  QCheckBox* m_purge;
  QCheckBox* m_writeBuffer;
  QLineEdit* m_interval;
  uint8_t m_inUse[tarvik::device::kComNumbers];
};
