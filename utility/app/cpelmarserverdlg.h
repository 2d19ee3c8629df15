// The servers pane: the "Servers" page of the main window. It loads and
// stores the configuration set, lists the configured servers and carries out
// the Server and Port menu commands that the main window forwards.
//
// This pane is the first step: it loads, stores, builds the COM map, keeps
// the count of an added server and shows the servers in a tree. The commands
// that change or query servers are not part of it yet; HandlesCommand()
// reports none of them, and the main window keeps their items grey.
#pragma once
#include <cstdint>

#include <QWidget>

#include "pelmar_commands.h"

class CPelmarMenu;
class QTreeWidget;

class CPelmarServerDlg : public QWidget {
  Q_OBJECT
 public:
  explicit CPelmarServerDlg(CPelmarMenu* menu, QWidget* parent = nullptr);

  // Reads the configuration set from the store; a failure is shown here.
  // Returns the library's status.
  int Load();
  // Writes the configuration set to the store; a failure is shown here.
  int Store();
  // Refills the view from the configuration set.
  void Rebuild();
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

 signals:
  void selectionChanged();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  CPelmarMenu* Menu() const { return m_menu; }

 private:
  CPelmarMenu* m_menu;
  QTreeWidget* m_tree;
  int m_sortType = -1;
};

// "a.b.c.d" of a 32-bit address whose first octet is the low-order byte.
void FormatIpv4(uint32_t address, char* text, size_t size);
