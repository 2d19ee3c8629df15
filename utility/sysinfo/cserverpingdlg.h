// The ping target dialog: an address or host name of at most 15 characters.
#pragma once
#include <cstddef>

#include <QDialog>

class QLineEdit;

class CServerPingDlg : public QDialog {
  Q_OBJECT
 public:
  explicit CServerPingDlg(QWidget* parent = nullptr);

  // Runs the dialog with target in the edit. OK: target becomes the text
  // entered (cut to target[size]) and the result is true; Cancel: false,
  // target unchanged.
  bool AskTarget(char* target, size_t size);

  QLineEdit* Edit() const { return m_edit; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QLineEdit* m_edit;
};
