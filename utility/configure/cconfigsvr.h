// The "Server Configuration" dialog for one configured server. Its tab
// control holds the PC-side options (CConfigSvrOpt) and what the device
// itself reports (CConfigSvrDev), where the device's network settings can
// be changed. The device is read the first time its page is shown; leaving
// the options page is refused while they do not pass their checks.
//
// The dialog changes nothing on the PC side itself: after OK the opener
// merges Options() into the server record as it is then
// (MergeOptionsIntoRecord, over OptionsFromRecord of the record the dialog
// was given). Network settings sent to the device stay sent whatever the
// dialog ends with; if they were sent, OK takes the device's new address as
// the primary one.
#pragma once
#include <QDialog>

#include "server_options.h"
#include "tarvikcfg.h"

class CConfigSvrDev;
class CConfigSvrOpt;
class CPageTabCtrl;
class QDialogButtonBox;
class QLabel;

class CConfigSvr : public QDialog {
  Q_OBJECT
 public:
  enum Page { kOptionsPage = 0, kDevicePage = 1 };

  explicit CConfigSvr(QWidget* parent = nullptr);

  // The server to configure: its index in the configuration set, the one
  // line that describes it, and its record (options, command port,
  // connect time-out and saved password).
  void SetServer(int index, const QString& description, const TkcServerRecord& record);
  int ServerIndex() const { return m_index; }

  // The options as accepted by OK.
  const tarvik::device::ServerOptions& Options() const;

  CConfigSvrOpt* OptionsPage() const { return m_options; }
  CConfigSvrDev* DevicePage() const { return m_device; }
  CPageTabCtrl* Tabs() const { return m_tabs; }
  QLabel* Description() const { return m_description; }

  void accept() override;
  void reject() override;

 private:
  void OnTabChanged(int index);
  void OnBusyChanged(bool busy);

  QLabel* m_description;
  CPageTabCtrl* m_tabs;
  CConfigSvrOpt* m_options;
  CConfigSvrDev* m_device;
  QDialogButtonBox* m_buttons;
  int m_index = -1;
  TkcServerRecord m_record{};
  bool m_deviceRead = false;
  bool m_revertingTab = false;
};
