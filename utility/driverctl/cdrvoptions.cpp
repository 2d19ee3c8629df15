#include "cdrvoptions.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "app_texts.h"
#include "tarvik/text.h"
#include "tarvik/ui_hooks.h"

namespace {

// A whole decimal number with optional blanks around it and an optional
// sign; false for anything else or beyond the long range.
bool ParseWholeNumber(const QString& text, long* value) {
  bool ok = false;
  const long parsed = text.trimmed().toLong(&ok, 10);
  if (ok) *value = parsed;
  return ok;
}

QLabel* Note(const char* text, QWidget* parent) {
  auto* label = new QLabel(QString::fromLatin1(text), parent);
  label->setEnabled(false);  // drawn as a quiet hint beside its control
  return label;
}

}  // namespace

CDrvOptions::CDrvOptions(QWidget* parent)
    : QDialog(parent),
      m_fastOpen(new QCheckBox(QStringLiteral("Fast Open (Allow Always Open)"), this)),
      m_ignoreWrite(new QCheckBox(QStringLiteral("Ignore Writing Errors"), this)),
      m_delay(new QLineEdit(this)) {
  setWindowTitle(QStringLiteral("Driver Options"));
  m_delay->setMaxLength(10);
  auto* grid = new QGridLayout;
  grid->addWidget(m_fastOpen, 0, 0, 1, 2);
  grid->addWidget(Note("Ignore errors when opening COM ports.", this), 0, 2);
  grid->addWidget(m_ignoreWrite, 1, 0, 1, 2);
  grid->addWidget(Note("Ignore errors when writing COM ports, e.g.  disconnected.", this), 1, 2);
  grid->addWidget(new QLabel(QStringLiteral("Delay"), this), 2, 0);
  grid->addWidget(m_delay, 2, 1);
  grid->addWidget(Note("ms (0 to 1000) before closing COM port.", this), 2, 2);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &CDrvOptions::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CDrvOptions::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(buttons);
}

void CDrvOptions::SetOptions(const DriverOptions& options) {
  m_options = options;
  m_fastOpen->setChecked(options.fastOpen);
  m_ignoreWrite->setChecked(options.ignoreWriteErrors);
  m_delay->setText(QString::number(options.closeDelayMs));
}

void CDrvOptions::accept() {
  long delay = 0;
  const char* problem = nullptr;
  if (!ParseWholeNumber(m_delay->text(), &delay)) {
    problem = "Please enter an integer.";
  } else if (!IsValidCloseDelay(delay)) {
    problem = "Please enter an integer between 0 and 1000.";
  }
  if (problem) {
    tarvik::ShowMessageBox(problem, kAppCaption, tarvik::kMbOk | tarvik::kMbIconWarning);
    m_delay->setFocus(Qt::OtherFocusReason);
    m_delay->selectAll();
    return;
  }
  m_options.fastOpen = m_fastOpen->isChecked();
  m_options.ignoreWriteErrors = m_ignoreWrite->isChecked();
  m_options.closeDelayMs = static_cast<uint32_t>(delay);
  QDialog::accept();
}

bool RunDriverOptions(uint32_t* flags, QWidget* parent) {
  CDrvOptions dlg(parent);
  dlg.SetOptions(DriverOptionsFromWord(*flags));
  if (dlg.exec() != QDialog::Accepted) return false;
  return ApplyDriverOptions(dlg.Options(), flags);
}
