// The search pane: the "Search" page of the main window. It searches the
// local networks for device servers through the discovery library, lists
// the ones of known models, and hands a picked device to the main window
// (the current device values and the add-servers request).
//
// The pane keeps no results of its own: a row only names a record of the
// library's result list, which every action reads again.
#pragma once
#include <functional>
#include <vector>

#include <QWidget>

#include "search_rows.h"

class QMenu;
class QAction;
class QTreeWidget;

class CPelmarSearchDlg : public QWidget {
  Q_OBJECT
 public:
  explicit CPelmarSearchDlg(QWidget* parent = nullptr);

  virtual bool CanSearch() const;
  // Runs one discovery search and fills the list; returns when it is over.
  virtual void Search();
  // Asks a running search to end at its next pass; Search() then returns
  // and searchEnded() follows.
  void StopSearch();
  virtual bool CanConfigureByUdp() const;
  // "Configure Server (UDP)": the selected rows' devices (at most 255) go
  // into a configuration table, the UDP configuration dialog edits it, and
  // after OK every device is sent its new settings. The list is not
  // refreshed: the devices show their new settings at the next search.
  virtual void ConfigureByUdp();

  // "Add Server(s)": the device of the search-list selection becomes the
  // current device and the main window is asked to add it.
  void AddServers();
  // "Get Alias Name(s)": the aliases of the selected devices go to the
  // configured servers of the same address and name.
  void GetAliasNames();

  // Mouse actions on the list, at a point of its viewport.
  void LeftClick();
  void RightClickAt(const QPoint& pos);
  void DoubleClickAt(const QPoint& pos);

  QTreeWidget* List() const { return m_list; }
  QMenu* ContextMenu() const { return m_menu; }
  QAction* MenuAction(int item) const;  // 0 Ping ... 4 Get Alias Name(s)
  const tarvik::app::SearchRowMap& Rows() const { return m_rows; }

 signals:
  // Emitted when Search() returns.
  void searchEnded();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Reads the record of a list row; false when the row names none.
  bool ReadRow(int row, tarvik::app::ModuleInfo* info) const;
  // Record indexes of the selected rows in list order (the search-list
  // selection's row when none is selected).
  std::vector<int> SelectedRecords() const;
  int AdmitRecord(int index);
  int RowAt(const QPoint& pos) const;
  void ShowSearchMessage(const char* format, int result);
  // "Ping Server" for each selected row, "Diagnostic" for the selection.
  void PingServers();
  void StartDiagnostic();

  QTreeWidget* m_list;
  QMenu* m_menu;
  QAction* m_actions[5] = {};
  tarvik::app::SearchRowMap m_rows;
  bool m_searching = false;
  bool m_stopRequested = false;
};
