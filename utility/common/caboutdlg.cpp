#include "caboutdlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QShortcut>

#include "app_icons.h"
#include "app_texts.h"
#include "build_info.h"

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent), m_title(new QLabel(this)), m_hidden(new QLabel(this)) {
  setWindowTitle(QStringLiteral("About Tarvik Utility"));
  auto* icon = new QLabel(this);
  icon->setPixmap(ProgramIcon().pixmap(48, 48));
  m_title->setText(QString::fromLatin1(kAppTitle));
  auto* second = new QLabel(
      QStringLiteral("Virtual COM ports over TCP for network device servers."), this);
  m_hidden->setTextInteractionFlags(Qt::TextSelectableByMouse);
  m_hidden->hide();
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  auto* layout = new QGridLayout(this);
  layout->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
  layout->addWidget(m_title, 0, 1);
  layout->addWidget(second, 1, 1);
  layout->addWidget(buttons, 0, 2, 2, 1, Qt::AlignTop);
  layout->addWidget(m_hidden, 2, 0, 1, 3);

  auto* reveal = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F6), this);
  connect(reveal, &QShortcut::activated, this, &CAboutDlg::RevealHiddenLine);
}

void CAboutDlg::RevealHiddenLine() {
  m_hidden->setText(QString::fromLatin1(BuildInformation().c_str()));
  m_hidden->show();
}
