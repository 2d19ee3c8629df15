// The main window's menu bar: File, Server, Port, Tools and Help. The Server
// and Port menus double as the servers pane's context menus, so the pane
// reaches their items here to grey, enable and check them.
#pragma once
#include <QObject>

#include "pelmar_commands.h"

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

class CPelmarMenu : public QObject {
  Q_OBJECT
 public:
  explicit CPelmarMenu(QWidget* owner);

  QMenuBar* Bar() const { return m_bar; }
  QMenu* ServerMenu() const { return m_server; }
  QMenu* PortMenu() const { return m_port; }
  // The item of a menu command; null for the commands that are buttons only.
  QAction* Action(PelmarCommand command) const;
  void Enable(PelmarCommand command, bool enabled);
  bool IsEnabled(PelmarCommand command) const;
  void Check(PelmarCommand command, bool checked);

 signals:
  void commandTriggered(PelmarCommand command);

 private:
  QAction* Add(QMenu* menu, PelmarCommand command, const char* text);

  QMenuBar* m_bar;
  QMenu* m_server = nullptr;
  QMenu* m_port = nullptr;
  QAction* m_actions[kPelmarCommandCount] = {};
};
