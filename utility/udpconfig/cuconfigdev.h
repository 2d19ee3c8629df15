// "Configure Server (UDP)": edits the network settings (DHCP, alias, IP
// address, mask, gateway) of one or several devices of the last search.
// It only edits the caller's configuration table; the caller sends it after
// OK. With several devices a preview list shows one row per device, whose
// cells can be edited in place or filled by "Copy Settings".
#pragma once
#include <QDialog>
#include <vector>

#include "copy_settings.h"
#include "network_values.h"
#include "udp_config_table.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

class CUConfigDev : public QDialog {
  Q_OBJECT
 public:
  // Preview columns.
  enum Column { kDhcp, kName, kAlias, kIp, kMask, kGateway, kMac, kColumnCount };

  // table: filled with module indexes by the caller; it must outlive the
  // dialog. reader: the device records (the discovery library's by
  // default). taken: addresses Copy Settings must not hand out.
  CUConfigDev(tarvik::app::UdpConfigTable* table, QWidget* parent = nullptr,
              tarvik::app::ModuleReader reader = tarvik::app::ReadDiscoveryModule,
              tarvik::app::TakenAddresses taken = {});

  bool SeveralDevices() const { return m_several; }
  // The rows as the preview list shows them.
  std::vector<tarvik::app::PreviewRow> PreviewRows() const;

  QComboBox* DhcpChoice() const { return m_dhcp; }
  QLineEdit* IpEdit() const { return m_ip; }
  QLineEdit* MaskEdit() const { return m_mask; }
  QLineEdit* GatewayEdit() const { return m_gateway; }
  QLineEdit* AliasEdit() const { return m_alias; }
  QLineEdit* MacEdit() const { return m_mac; }
  QLabel* DeviceName() const { return m_deviceName; }
  QTreeWidget* Preview() const { return m_preview; }
  QLineEdit* CellEditor() const { return m_cellEditor; }
  QPushButton* CopyButton() const { return m_copy; }
  QPushButton* OkButton() const { return m_ok; }
  QPushButton* CancelButton() const { return m_cancel; }
  int EditedRow() const { return m_editRow; }
  int EditedColumn() const { return m_editColumn; }

  void CopySettings();
  void accept() override;
  // A click on a preview cell: opens the cell editor where editing is allowed.
  void CellClicked(QTreeWidgetItem* item, int column);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  void FillFromTable();
  void ApplyDhcpRule();
  void ShortenForOneDevice();
  tarvik::app::NetworkValues Values() const;
  void ShowMessage(const std::string& text);
  void WriteCell();
  void CancelCellEdit();
  void CheckStateChanged(QTreeWidgetItem* item, int column);
  void ShowDeviceAddresses(int row, bool checked);

  tarvik::app::UdpConfigTable* m_table;
  tarvik::app::ModuleReader m_reader;
  tarvik::app::TakenAddresses m_taken;
  bool m_several = false;
  // Set while the dialog itself writes the list, so that only the user's
  // check-box clicks count as check-box changes.
  bool m_filling = false;
  std::vector<bool> m_checked;  // each row's check box as last seen

  QLabel* m_deviceName;
  QComboBox* m_dhcp;
  QLineEdit* m_ip;
  QLineEdit* m_mask;
  QLineEdit* m_gateway;
  QLineEdit* m_mac;
  QLineEdit* m_alias;
  QPushButton* m_ok;
  QPushButton* m_cancel;
  QPushButton* m_copy;
  QLabel* m_previewCaption;
  QTreeWidget* m_preview;
  QLineEdit* m_cellEditor;
  int m_editRow = -1;
  int m_editColumn = -1;
};
