// The "Adding Servers" dialog: pages "IP Range", "Server Options" (the
// server options page, its address fields hidden, since every added server
// takes its own address from the range) and "Port Options". OK runs the
// checks in their order and stays open on the first that fails.
#pragma once
#include <QDialog>

#include "add_choices.h"
#include "free_com_list.h"

class CAddServerIP;
class CAddServersOpt2;
class CConfigSvrOpt;
class CPageTabCtrl;
class QPushButton;

class CAddServers : public QDialog {
  Q_OBJECT
 public:
  CAddServers(const AddServersChoices& defaults, const FreeComList& freeComs, uint32_t maxVcom,
              QWidget* parent = nullptr);

  // The choices taken on OK (texts trimmed).
  const AddServersChoices& Choices() const { return m_choices; }

  CAddServerIP* RangePage() const { return m_range; }
  CConfigSvrOpt* OptionsPage() const { return m_options; }
  CAddServersOpt2* PortPage() const { return m_ports; }
  CPageTabCtrl* Tabs() const { return m_tabs; }
  QPushButton* OkButton() const { return m_ok; }

 public slots:
  void accept() override;

 private:
  void OnTabChanged(int index);

  CPageTabCtrl* m_tabs;
  CAddServerIP* m_range;
  CConfigSvrOpt* m_options;
  CAddServersOpt2* m_ports;
  QPushButton* m_ok;
  int m_shownTab = 0;
  AddServersChoices m_choices;
};
