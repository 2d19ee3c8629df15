#include "csysinfo.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>
#include <cstring>

#include "dialog_units.h"

namespace {

const QColor kBlue(50, 50, 200);
const QColor kRed(200, 50, 50);

// The rows in order: the first four in " System Information ", the next
// four in " Driver Information ", then the bottom line.
const char* const kLabels[] = {"OS : ",        "System Dir : ", "CPU(s) : ",  "CPU Type : ",
                               "File Size : ", "File Time : ",  "File Ver : ", "Status : ", ""};

void Show(QLabel* label, const char* text, const QColor& colour) {
  label->setText(QString::fromLatin1(text));
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, colour);
  label->setPalette(palette);
}

}  // namespace

CSysInfo::CSysInfo(QWidget* parent, SysInfoSources sources)
    : QDialog(parent), m_sources(std::move(sources)) {
  setWindowTitle(QStringLiteral("System Information"));
  auto* layout = new QVBoxLayout(this);
  QFormLayout* forms[2] = {};
  const char* groups[] = {" System Information ", " Driver Information "};
  for (int g = 0; g < 2; ++g) {
    auto* box = new QGroupBox(QString::fromLatin1(groups[g]), this);
    forms[g] = new QFormLayout(box);
    forms[g]->setLabelAlignment(Qt::AlignRight);
    layout->addWidget(box);
  }
  for (int i = 0; i < 9; ++i) {
    m_fields[i] = new QLabel(this);
    m_fields[i]->setTextFormat(Qt::PlainText);
    m_fields[i]->setTextInteractionFlags(Qt::TextSelectableByMouse);
    if (i < 8)
      forms[i / 4]->addRow(QString::fromLatin1(kLabels[i]), m_fields[i]);
    else
      layout->addWidget(m_fields[i], 0, Qt::AlignHCenter);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  layout->addWidget(buttons);
  setMinimumWidth(DialogUnitsX(this, 280));
}

QLabel* CSysInfo::Field(const char* label) const {
  for (int i = 0; i < 9; ++i)
    if (std::strcmp(kLabels[i], label) == 0) return m_fields[i];
  return nullptr;
}

void CSysInfo::showEvent(QShowEvent* event) {
  Fill();
  QDialog::showEvent(event);
}

void CSysInfo::Fill() {
  if (m_filled) return;
  m_filled = true;
  BuildSysInfoReport(m_sources, &m_report);
  const SysInfoReport& r = m_report;
  const char* texts[] = {r.os,       r.systemDirectory, r.processorCount, r.processorName,
                         r.fileSize, r.fileTime,        r.fileVersion,    r.status,
                         r.reportTime};
  for (int i = 0; i < 9; ++i) Show(m_fields[i], texts[i], kBlue);
  Show(m_fields[4], r.fileSize, r.fileSizeIsZero ? kRed : kBlue);
  Show(m_fields[7], r.status, r.serviceRunning ? kBlue : kRed);
}
