// The System Information dialog: the operating system, the processor and
// the driver's file and service, filled when the dialog starts from
// BuildSysInfoReport. Blue for what is there; the file size red when it is
// 0, the status red unless the driver runs.
#pragma once
#include <QDialog>

#include "sysinfo_report.h"

class QLabel;

class CSysInfo : public QDialog {
  Q_OBJECT
 public:
  explicit CSysInfo(QWidget* parent = nullptr, SysInfoSources sources = SysInfoSources::Live());

  // The field shown for a label text (" System Information " rows and
  // " Driver Information " rows), or the bottom line for "".
  QLabel* Field(const char* label) const;
  const SysInfoReport& Report() const { return m_report; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void Fill();

  SysInfoSources m_sources;
  SysInfoReport m_report{};
  bool m_filled = false;
  QLabel* m_fields[9] = {};
};
