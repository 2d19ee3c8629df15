// The Restart Driver dialog: shows the driver's state and, on "Restart
// Driver", runs the restart procedure with its status line, progress bar and
// the Cancel button relabelled "Skip". It ends with OK when the driver was
// restarted or left stopped because nothing is mapped, else with Cancel.
#pragma once
#include <cstdint>

#include <QColor>
#include <QDialog>

#include "tarvikcfg.h"

class QLabel;
class QProgressBar;
class QPushButton;

class CRestartDrv : public QDialog {
  Q_OBJECT
 public:
  // set: the configuration set, already stored; it must outlive the dialog.
  explicit CRestartDrv(const TkcConfigSet* set, QWidget* parent = nullptr);
  ~CRestartDrv() override;

  // The "Restart Driver" button's handler.
  void Restart();

  QPushButton* RestartButton() const { return m_restart; }
  QPushButton* CancelButton() const { return m_cancel; }
  QLabel* StatusLine() const { return m_status; }
  QProgressBar* Progress() const { return m_progress; }
  uint32_t LastState() const { return m_lastState; }
  // Blue while the driver was last seen running, red otherwise.
  QColor StatusColor() const;
  bool IsRestarting() const { return m_restarting; }

  // Cancel, Skip, Esc and the close box all come here: the press counts for
  // a wait that is running, and the dialog ends with Cancel (which a
  // restart that still succeeds replaces with OK).
  void reject() override;

 private:
  friend class CRestartDrvFront;
  void SetStatusText(const char* text);
  void SetLastState(uint32_t state);

  const TkcConfigSet* m_set;
  QLabel* m_status;
  QProgressBar* m_progress;
  QPushButton* m_restart;
  QPushButton* m_cancel;
  uint32_t m_lastState = 0;
  bool m_restarting = false;
};
