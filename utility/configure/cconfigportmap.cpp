#include "cconfigportmap.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>

#include "app_texts.h"
#include "tarvik/ui_hooks.h"

namespace dev = tarvik::device;

namespace {

const char kIntervalMessage[] = "Input a value between 10 to 500 ms for Auto-Flush Interval.";

QLabel* Note(const char* text, QWidget* parent) {
  auto* label = new QLabel(QString::fromLatin1(text), parent);
  label->setIndent(20);
  return label;
}

}  // namespace

CConfigPortMap::CConfigPortMap(const tarvik::app::ServerRecord& server, int entry, bool reassign,
                               const uint8_t* occupied, const uint8_t* own, uint32_t maxCom,
                               QWidget* parent)
    : QWidget(parent),
      m_slotted(server.Slotted == 1),
      m_shown(dev::ShownPortChoice(server, entry, reassign)) {
  m_com = new QComboBox(this);
  m_com->setObjectName(QStringLiteral("selectCom"));
  m_com->addItem(QStringLiteral("UnMap"));
  dev::BuildComInUse(occupied, own, m_shown.com, m_inUse);
  for (uint32_t com : dev::OfferedComNumbers(m_inUse, maxCom, m_shown.com)) {
    m_com->addItem(QString::fromLatin1(dev::ComListText(com).c_str()));
    if (com == m_shown.com) m_com->setCurrentIndex(m_com->count() - 1);
  }

  m_reassign = new QCheckBox(QStringLiteral("Re-assign COM number for all subsequent ports."), this);
  m_reassign->setChecked(m_shown.reassign);
  m_slots = new QCheckBox(QStringLiteral("Apply to all subsequent slots."), this);
  m_slots->setChecked(m_shown.applyToSlots);
  m_slots->setEnabled(m_shown.applyToSlots);
  m_fixed = new QCheckBox(QStringLiteral("Fixed baud rate, use server current settings."), this);
  m_fixed->setChecked(m_shown.fixedBaud);
  m_purge = new QCheckBox(QStringLiteral("Disable purge command (e.g. ModScan32)."), this);
  m_purge->setChecked(m_shown.disablePurge);
  m_writeBuffer =
      new QCheckBox(QStringLiteral("Enable Write-Buffer to collect small packets into big one."), this);
  m_writeBuffer->setChecked(m_shown.writeBuffer);
  m_interval = new QLineEdit(this);
  m_interval->setObjectName(QStringLiteral("flushInterval"));
  m_interval->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_interval));
  m_interval->setText(QString::number(m_shown.intervalMs));
  m_interval->setEnabled(m_shown.writeBuffer);

  auto* grid = new QGridLayout(this);
  int row = 0;
  grid->addWidget(new QLabel(QStringLiteral("Select COM :"), this), row, 0);
  grid->addWidget(m_com, row++, 1);
  grid->addWidget(m_reassign, row++, 0, 1, 3);
  grid->addWidget(m_slots, row++, 0, 1, 3);
  grid->addWidget(m_fixed, row++, 0, 1, 3);
  grid->addWidget(Note("Skip baud rate and data format changes from client program.", this), row++, 0, 1, 3);
  grid->addWidget(Note("(Less conflicts when sharing port to multiple clients.)", this), row++, 0, 1, 3);
  grid->addWidget(m_purge, row++, 0, 1, 3);
  grid->addWidget(Note("Don't clear TX/RX buffers.", this), row++, 0, 1, 3);
  grid->addWidget(m_writeBuffer, row++, 0, 1, 3);
  grid->addWidget(new QLabel(QStringLiteral("Auto-Flush Interval: "), this), row, 0);
  grid->addWidget(m_interval, row, 1);
  grid->addWidget(new QLabel(QStringLiteral("(ms, 10 ~ 500, default=50)"), this), row++, 2);
  grid->setRowStretch(row, 1);

  connect(m_reassign, &QCheckBox::clicked, this, &CConfigPortMap::OnReassignClicked);
  connect(m_writeBuffer, &QCheckBox::toggled, m_interval, &QWidget::setEnabled);
}

void CConfigPortMap::OnReassignClicked() {
  if (!m_slotted) return;
  const bool on = m_reassign->isChecked();
  m_slots->setChecked(on);
  m_slots->setEnabled(on);
}

bool CConfigPortMap::CheckInterval() {
  uint32_t ms = 0;
  if (dev::ParseFlushInterval(m_interval->text().toLatin1().constData(), &ms)) return true;
  tarvik::ShowMessageBox(kIntervalMessage, kAppCaption, tarvik::kMbOk | tarvik::kMbIconWarning);
  return false;
}

dev::PortMapChoice CConfigPortMap::Choice() const {
  dev::PortMapChoice choice;
  choice.com = dev::ComFromListText(m_com->currentText().toLatin1().constData());
  choice.reassign = m_reassign->isChecked();
  choice.applyToSlots = m_slots->isChecked();
  choice.fixedBaud = m_fixed->isChecked();
  choice.disablePurge = m_purge->isChecked();
  choice.writeBuffer = m_writeBuffer->isChecked();
  uint32_t ms = 0;
  choice.intervalMs = dev::ParseFlushInterval(m_interval->text().toLatin1().constData(), &ms) ? ms : 50;
  return choice;
}
