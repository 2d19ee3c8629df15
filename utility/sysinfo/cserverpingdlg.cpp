#include "cserverpingdlg.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "dialog_units.h"
#include "launchers.h"
#include "tarvik/text.h"

CServerPingDlg::CServerPingDlg(QWidget* parent) : QDialog(parent), m_edit(new QLineEdit(this)) {
  setWindowTitle(QStringLiteral("Ping "));
  auto* prompt = new QLabel(QStringLiteral("IP Address or Host Name to ping : "), this);
  m_edit->setMaxLength(static_cast<int>(kPingTargetMax));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(prompt);
  layout->addWidget(m_edit);
  layout->addWidget(buttons);
  resize(DialogUnitsToPixels(this, QSize(180, 60)));
}

bool CServerPingDlg::AskTarget(char* target, size_t size) {
  if (size == 0) return false;
  m_edit->setText(QString::fromLatin1(target));
  if (exec() != QDialog::Accepted) return false;
  tarvik::CopyText(target, size, m_edit->text().toLatin1().constData());
  return true;
}

void CServerPingDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  m_edit->setFocus(Qt::OtherFocusReason);
  m_edit->selectAll();
}
