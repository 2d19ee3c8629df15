// The About box: the program's icon and title line, a fixed second line, OK,
// and a hidden line that Ctrl+F6 (the accelerator the main window also
// holds) fills with the build description and shows.
#pragma once
#include <QDialog>

class QLabel;

class CAboutDlg : public QDialog {
  Q_OBJECT
 public:
  explicit CAboutDlg(QWidget* parent = nullptr);

  QLabel* TitleLine() const { return m_title; }
  QLabel* HiddenLine() const { return m_hidden; }

 private:
  void RevealHiddenLine();

  QLabel* m_title;
  QLabel* m_hidden;
};
