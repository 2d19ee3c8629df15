// The main window: menu bar, the left column of command buttons, the tab
// control with the servers and search panes, the status bar and the 500 ms
// timer. It runs start-up (InitDialog) and shutdown (done) in a fixed order,
// routes every command, imports and exports the configuration file and
// starts the companion programs.
#pragma once
#include <string>

#include <QDialog>

#include "pelmar_commands.h"

struct ConfigTransferHost;
class CIconButton;
class CPageTabCtrl;
class CPelmarMenu;
class CPelmarSearchDlg;
class CPelmarServerDlg;
class QKeyEvent;
class QLabel;
class QPushButton;
class QStatusBar;
class QTimer;

class CPelmarDlg : public QDialog {
  Q_OBJECT
 public:
  explicit CPelmarDlg(QWidget* parent = nullptr);
  ~CPelmarDlg() override;

  // The start-up sequence. The first show runs it; calling it again does
  // nothing.
  void InitDialog();
  // Runs the shutdown sequence once, then closes.
  void done(int result) override;

  void RunCommand(PelmarCommand command);
  void ImportConfiguration();
  void ExportConfiguration();
  void SearchServers();
  void RestartDriver();
  void DriverOptions();
  void OpenWeb();

  CPelmarMenu* Menu() const { return m_menu; }
  CPelmarServerDlg* ServerPane() const { return m_serverPane; }
  CPelmarSearchDlg* SearchPane() const { return m_searchPane; }
  CPageTabCtrl* Tabs() const { return m_tabs; }
  QTimer* Timer() const { return m_timer; }
  // True from Add Server(s) until its procedure has ended.
  bool Adding() const { return m_adding; }
  // The status bar's "Cancel", shown while a walk runs.
  QPushButton* CancelWalkButton() const { return m_cancelWalk; }
  // The button of a command: kAddServers, kRemoveServer, kWeb,
  // kSearchServers, kConfigureUdp or kExit; null for others.
  CIconButton* Button(PelmarCommand command) const;
  QString StatusText() const;
  void SetStatusText(const char* text);

 protected:
  // The panes; tests give their own.
  virtual CPelmarServerDlg* CreateServerPane(CPelmarMenu* menu);
  virtual CPelmarSearchDlg* CreateSearchPane();
  // The Restart Driver dialog: runs it modally, true when it ended with OK.
  // Tests give their own; with HasRestartDriverDialog() false, Tools >
  // "Restart Driver" stays grey and shutdown offers no restart.
  virtual bool HasRestartDriverDialog() const;
  virtual bool RunRestartDriverDialog();
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void OnTimerTick();
  void UpdateCommandStates();
  void OnTabChanged(int index);
  void LayoutControls();
  void RunAddServers();
  // Servers pane: store, or refuse with a message (add_store_step.h).
  bool StoreForAdding();
  // While a walk runs the window takes no other command: buttons, menu bar
  // and panes are off, and "Cancel" is shown in the status bar.
  void HoldForWalk(bool hold);
  void ForwardAccelerator(PelmarCommand command);
  void StartCompanion(const char* path, const char* arguments);
  void ShowAbout();
  void ShowSystemInfo();
  ConfigTransferHost TransferHost();
  void Shutdown();
  // True while the search pane's search loop runs (it pumps our events).
  bool Searching() const;
  // A close asked for during a search runs when the search has ended.
  void RunPendingClose();
  // Commands whose dialogs the program does not have yet stay grey.
  bool IsAvailable(PelmarCommand command) const;

  CPelmarMenu* m_menu;
  QWidget* m_body;
  QLabel* m_logo;
  CIconButton* m_add;
  CIconButton* m_remove;
  CIconButton* m_web;
  CIconButton* m_search;
  CIconButton* m_configUdp;
  CIconButton* m_exit;
  CPageTabCtrl* m_tabs;
  QStatusBar* m_statusBar = nullptr;
  QLabel* m_statusPane = nullptr;
  QPushButton* m_cancelWalk = nullptr;
  QTimer* m_timer;
  CPelmarServerDlg* m_serverPane = nullptr;
  CPelmarSearchDlg* m_searchPane = nullptr;
  std::string m_modbusRtuPath;
  std::string m_modbusTcpPath;
  bool m_initialised = false;
  bool m_shutDown = false;
  bool m_closePending = false;
  int m_pendingResult = 0;
  // The add-servers procedure runs. Every command waits for its end, and so
  // do the tick's requests and host queries: the walk pumps our events.
  bool m_adding = false;
  bool m_stopAdding = false;
};
