// The page of PC-side options for one server: keep-alive, connection-broken
// and connect time-outs in seconds, the command and virtual I/O TCP ports,
// and the primary and redundant addresses. Nothing on it goes to the
// device. Two dialogs place it in their tab controls: the server
// configuration dialog and the add-servers dialog, which hides the address
// fields because every added server gets its own address.
//
// Use: Fill() with the record's values, show; before accepting a tab change
// or OK call Validate(), which takes the values from the controls and shows
// the message of the first failing check; then read Values().
#pragma once
#include <QWidget>

#include "server_options.h"

class QCheckBox;
class QLabel;
class QLineEdit;

class CConfigSvrOpt : public QWidget {
  Q_OBJECT
 public:
  explicit CConfigSvrOpt(QWidget* parent = nullptr);

  // Shows or hides the two address fields with their labels.
  void SetAddressFieldsVisible(bool visible);
  bool AddressFieldsVisible() const { return m_addressShown; }

  // Puts the values into the controls.
  void Fill(const tarvik::device::ServerOptions& options);
  // Takes the values from the controls and checks the five numbers in
  // order; on the first failure shows its message (exclamation icon,
  // caption "Tarvik Utility"), puts the focus on that field and returns
  // false. The address fields are not checked here.
  bool Validate();
  // The values last taken from the controls (by Validate or TakeValues).
  const tarvik::device::ServerOptions& Values() const { return m_values; }
  // Takes the values without checking: the address texts, and the numbers
  // that read as numbers (the others keep their last value).
  void TakeValues();

  // Replaces the primary address text (the device got a new address).
  void SetPrimaryAddress(const QString& text);
  // Sets the RFC 2217 box, which the opener fills from beside the record
  // after Fill.
  void SetRfc2217(bool on);

  QLineEdit* NumberEdit(tarvik::device::ServerOptionNumber which) const {
    return m_numbers[which];
  }
  QCheckBox* Rfc2217Box() const { return m_rfc2217; }
  QLineEdit* AddressEdit() const { return m_address; }
  QLineEdit* Address2Edit() const { return m_address2; }
  QLabel* Note() const { return m_note; }

 private:
  QLabel* m_note;
  QLineEdit* m_numbers[tarvik::device::kServerOptionNumbers];
  QLabel* m_addressLabel;
  QLabel* m_address2Label;
  QLineEdit* m_address;
  QLineEdit* m_address2;
  QCheckBox* m_rfc2217;
  bool m_addressShown = true;
  tarvik::device::ServerOptions m_values;
};
