// The Driver Options dialog: fast open, ignore writing errors and the close
// delay of the driver options word. OK checks the delay for 0..1000 ms and
// keeps the dialog open when it is outside.
#pragma once
#include <cstdint>

#include <QDialog>

#include "driver_options_word.h"

class QCheckBox;
class QLineEdit;

class CDrvOptions : public QDialog {
  Q_OBJECT
 public:
  explicit CDrvOptions(QWidget* parent = nullptr);

  void SetOptions(const DriverOptions& options);
  // What the controls hold; valid after OK.
  DriverOptions Options() const { return m_options; }

  QCheckBox* FastOpen() const { return m_fastOpen; }
  QCheckBox* IgnoreWriteErrors() const { return m_ignoreWrite; }
  QLineEdit* Delay() const { return m_delay; }

  void accept() override;

 private:
  QCheckBox* m_fastOpen;
  QCheckBox* m_ignoreWrite;
  QLineEdit* m_delay;
  DriverOptions m_options;
};

// The Driver Options procedure: shows the options of *flags and, on OK,
// puts the changed ones back. Returns true when the word changed, so the
// caller can mark that the driver needs a restart; Cancel changes nothing.
bool RunDriverOptions(uint32_t* flags, QWidget* parent);
