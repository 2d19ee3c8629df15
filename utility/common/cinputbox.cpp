#include "cinputbox.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <climits>

#include "dialog_units.h"
#include "tarvik/text.h"

CInputBox::CInputBox(QWidget* parent)
    : QDialog(parent), m_prompt(new QLabel(this)), m_edit(new QLineEdit(this)) {
  setWindowTitle(QStringLiteral("Input"));
  m_prompt->setWordWrap(true);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_prompt);
  layout->addWidget(m_edit);
  layout->addWidget(buttons);
  resize(DialogUnitsToPixels(this, QSize(290, 65)));
}

int CInputBox::InputText(const char* prompt, char* text, size_t size) {
  if (size == 0) return -1;
  m_prompt->setText(QString::fromLatin1(prompt));
  m_edit->setValidator(nullptr);
  m_edit->setMaxLength(static_cast<int>(size - 1));
  m_edit->setText(QString::fromLatin1(text));
  if (exec() != QDialog::Accepted) return -1;
  tarvik::CopyText(text, size, m_edit->text().toLatin1().constData());
  return 0;
}

int CInputBox::InputNumber(const char* prompt, int32_t* number) {
  char digits[16];
  tarvik::FormatText(digits, sizeof digits, "%d", *number);
  m_prompt->setText(QString::fromLatin1(prompt));
  m_edit->setMaxLength(32767);
  m_edit->setText(QString::fromLatin1(digits));
  if (exec() != QDialog::Accepted) return -1;
  *number = ParseLeadingInt(m_edit->text().toLatin1().constData());
  return 0;
}

void CInputBox::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // The user can type at once; the content is selected so typing replaces it.
  m_edit->setFocus(Qt::OtherFocusReason);
  m_edit->selectAll();
}

int32_t ParseLeadingInt(const char* text) {
  const char* p = text;
  while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\v' || *p == '\f') ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  int64_t value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    value = value * 10 + (*p - '0');
    if (value > static_cast<int64_t>(INT32_MAX) + 1) value = static_cast<int64_t>(INT32_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT32_MAX) value = INT32_MAX;
  return static_cast<int32_t>(value);
}
