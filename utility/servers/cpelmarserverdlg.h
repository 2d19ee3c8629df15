// The servers pane: the "Servers" page of the main window. A tree of the
// configured servers (and the expansion slots that carry ports) on the left,
// the ports of the selected server or slot on the right. It loads and stores
// the configuration set and carries out the Server and Port menu commands
// that the main window forwards; the menus double as its context menus.
#pragma once
#include <cstdint>

#include <QWidget>

#include "host_query.h"
#include "pelmar_commands.h"
#include "store_sync.h"

class CPelmarMenu;
class QMenu;
class QTreeWidget;
class QTreeWidgetItem;

class CPelmarServerDlg : public QWidget {
  Q_OBJECT
 public:
  explicit CPelmarServerDlg(CPelmarMenu* menu, QWidget* parent = nullptr);

  // Reads the configuration set from the store; a failure is shown here.
  // Returns the library's status.
  int Load();
  // Writes the configuration set to the store, or takes in another
  // process's newer list (store_sync.h); a failure is shown here.
  int Store();
  // Refills the tree and the port list from the configuration set; the last
  // server becomes the selection.
  void Rebuild();
  // Rebuilds and selects again the server item that was selected.
  void RefreshKeepingSelection();
  // Reads the sorting type once and puts the check mark on its menu item.
  void LoadSortType();
  // Index of the selected server in the configuration set, -1 for none.
  int SelectedServer() const;
  // One step of the periodic host-name query (called on every tick).
  void HostQueryStep();
  // COM numbers the configuration set uses now, into the application's own
  // COM map; returns how many.
  int BuildOwnComMap();
  // Adds one server and portDelta ports (its PortNo + 1) to the counts in
  // the store; a failure is shown here.
  int AddServerCount(uint32_t portDelta);

  // The forwarded Server and Port menu commands this pane carries out.
  virtual bool HandlesCommand(PelmarCommand command) const;
  virtual void OnCommand(PelmarCommand command);
  // Greys and enables the pane's menu items for the current selection.
  virtual void UpdateMenuState();

  int SortType() const { return m_sortType; }
  QTreeWidget* Tree() const { return m_tree; }
  QTreeWidget* PortList() const { return m_list; }
  tarvik::app::HostQuery& Query() { return m_query; }
  // Port entry index of the selected port row, -1 for none.
  int SelectedPortEntry() const;
  // Right-click on the tree or the list at a point of its viewport.
  void OpenTreeMenuAt(const QPoint& pos);
  void OpenListMenuAt(const QPoint& pos);

 signals:
  void selectionChanged();
  // A text for the main window's status bar.
  void statusMessage(const QString& text);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  CPelmarMenu* Menu() const { return m_menu; }

 private:
  void FillPortList();
  void SetSortType(int type);
  void RemoveServer();
  void RemoveAllServers();
  void EditAlias();
  void EditHost();
  void QueryIp(bool all);
  void EditQueryInterval();
  void OpenComPort();
  void OpenTcpPort();
  void ConfigureServer();
  void ConfigurePort();
  // The server a modal dialog was opened for (before: its record then),
  // found again after the dialog closed; -1, with a message, when it is
  // gone.
  int FindServerAfterDialog(int index, const tarvik::app::ServerRecord& before);
  // Rebuilds and selects server index (in the slot selected before) even
  // when a reload moved it.
  void RefreshSelecting(int index);
  void WriteServer(int index);
  // Shows the outcome of a store or a sync; returns 0 unless it failed.
  int AfterStore(tarvik::app::StoreResult result);
  void StartTerminal(const char* arguments);
  uint32_t SelectedSlot() const;

  CPelmarMenu* m_menu;
  QTreeWidget* m_tree;
  QTreeWidget* m_list;
  int m_sortType = -1;
  tarvik::app::HostQuery m_query;
};

// "a.b.c.d" of a 32-bit address whose first octet is the low-order byte.
void FormatIpv4(uint32_t address, char* text, size_t size);
