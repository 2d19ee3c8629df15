// "Port Configuration": the modal dialog for one port mapping of one server,
// with the pages "Port Mapping (PC)" and "Port Setting (Device)". On OK the
// opener takes Choice() and applies it; Cancel gives nothing back (settings
// already written to the device stay written).
//
// The dialog works on its own copy of the server record, taken when it
// opens: the main window's timer keeps running during the modal loop and
// may change or reorder the records. The opener finds its server again
// afterwards and compares Choice() with Shown() to learn what the user
// changed.
#pragma once
#include <QDialog>

#include "pane_config.h"
#include "port_map_choice.h"

class CConfigPortMap;
class CConfigPortSet;
class CPageTabCtrl;
class QLabel;
class QPushButton;

class CConfigPort : public QDialog {
  Q_OBJECT
 public:
  // server and entry index the application's configuration set; reassign
  // is the last re-assign choice. The COM lists come from the application's
  // COM maps, which the opener builds first.
  CConfigPort(int server, int entry, bool reassign, QWidget* parent = nullptr);

  tarvik::device::PortMapChoice Choice() const { return m_choice; }
  // What the mapping page showed when the dialog opened.
  const tarvik::device::PortMapChoice& Shown() const;
  // One flag per COM number (number - 1) in use when the dialog opened by
  // anything but this port.
  const uint8_t* InUse() const;

  QLabel* Title() const { return m_title; }
  CPageTabCtrl* Tabs() const { return m_tabs; }
  CConfigPortMap* MapPage() const { return m_map; }
  CConfigPortSet* SetPage() const { return m_set; }
  QPushButton* OkButton() const { return m_ok; }
  QPushButton* CancelButton() const { return m_cancel; }

  void accept() override;
  void reject() override;

 private:
  void OnTabChanged(int index);
  void OnBusy(bool busy);

  const tarvik::app::ServerRecord m_record;
  QLabel* m_title;
  CPageTabCtrl* m_tabs;
  CConfigPortMap* m_map;
  CConfigPortSet* m_set;
  QPushButton* m_ok;
  QPushButton* m_cancel;
  tarvik::device::PortMapChoice m_choice;
  bool m_turningBack = false;
};

// The title line: "Server: %s (%s), Port %d", "... Port I/O" for entry 0,
// "... Cmd Port" for entry 1.
std::string PortDialogTitle(const char* serverName, const char* address, int entry,
                            uint32_t devicePort);
