// The search pane: the "Search" page of the main window. It searches the
// local networks for device servers through the discovery library and lists
// what answers.
//
// This pane is the first step: the list and its columns. Searching and the
// UDP configuration are not part of it yet; CanSearch() and
// CanConfigureByUdp() say so, and the main window keeps the "Search Servers"
// and "Configuration (UDP)" buttons grey.
#pragma once
#include <QWidget>

class QTreeWidget;

class CPelmarSearchDlg : public QWidget {
  Q_OBJECT
 public:
  explicit CPelmarSearchDlg(QWidget* parent = nullptr);

  virtual bool CanSearch() const;
  // Runs one discovery search and fills the list; returns when it is over.
  virtual void Search();
  virtual bool CanConfigureByUdp() const;
  // Opens the UDP configuration for the selected rows.
  virtual void ConfigureByUdp();

  QTreeWidget* List() const { return m_list; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  QTreeWidget* m_list;
};
