#include "cconfigsvropt.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "app_texts.h"
#include "tarvik/ui_hooks.h"

using tarvik::device::kServerOptionNumbers;
using tarvik::device::ServerOptionNumber;

namespace {

// In the order of ServerOptionNumber.
const char* const kNumberLabels[kServerOptionNumbers] = {
    "Keep Alive Time (Seconds) :", "Connection Broken (Seconds) :",
    "Connect Timeout (Seconds) :",  "Command Port (TCP): ",
    "Virtual I/O Port (TCP): ",
};
const char* const kNumberNames[kServerOptionNumbers] = {
    "keepAliveTime", "connectionBroken", "connectTimeout", "tcpPortCmd", "tcpPort7000",
};

constexpr int kAddressLength = 16;
const QColor kNoteColor(200, 50, 50);

QLabel* Label(const char* text, QWidget* parent) {
  return new QLabel(QString::fromLatin1(text), parent);
}

}  // namespace

CConfigSvrOpt::CConfigSvrOpt(QWidget* parent)
    : QWidget(parent),
      m_note(Label("The following items are all PC side settings, not device settings.", this)),
      m_addressLabel(Label("IP Address (Primary) : ", this)),
      m_address2Label(Label("Redundant IP (Secondary) : ", this)),
      m_address(new QLineEdit(this)),
      m_address2(new QLineEdit(this)),
      m_rfc2217(new QCheckBox(QStringLiteral("Data ports use RFC 2217 (Telnet Com Port Control)"),
                              this)) {
  QPalette notePalette = m_note->palette();
  notePalette.setColor(QPalette::WindowText, kNoteColor);
  m_note->setPalette(notePalette);
  m_note->setObjectName(QStringLiteral("note"));

  auto* grid = new QGridLayout;
  for (int i = 0; i < kServerOptionNumbers; ++i) {
    m_numbers[i] = new QLineEdit(this);
    m_numbers[i]->setObjectName(QString::fromLatin1(kNumberNames[i]));
    grid->addWidget(Label(kNumberLabels[i], this), i, 0);
    grid->addWidget(m_numbers[i], i, 1);
  }
  m_address->setObjectName(QStringLiteral("address"));
  m_address2->setObjectName(QStringLiteral("address2"));
  m_address->setMaxLength(kAddressLength);
  m_address2->setMaxLength(kAddressLength);
  grid->addWidget(m_addressLabel, kServerOptionNumbers, 0);
  grid->addWidget(m_address, kServerOptionNumbers, 1);
  grid->addWidget(m_address2Label, kServerOptionNumbers + 1, 0);
  grid->addWidget(m_address2, kServerOptionNumbers + 1, 1);

  m_rfc2217->setObjectName(QStringLiteral("rfc2217"));
  m_rfc2217->setToolTip(QStringLiteral(
      "For device servers and ser2net that take the line settings in-band on the data "
      "connection. Off: raw TCP."));

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_note);
  layout->addLayout(grid);
  layout->addWidget(m_rfc2217);
  layout->addStretch(1);
}

void CConfigSvrOpt::SetAddressFieldsVisible(bool visible) {
  m_addressShown = visible;
  for (QWidget* w : {static_cast<QWidget*>(m_addressLabel), static_cast<QWidget*>(m_address),
                     static_cast<QWidget*>(m_address2Label), static_cast<QWidget*>(m_address2)})
    w->setVisible(visible);
}

void CConfigSvrOpt::Fill(const tarvik::device::ServerOptions& options) {
  m_values = options;
  for (int i = 0; i < kServerOptionNumbers; ++i)
    m_numbers[i]->setText(QString::number(options.numbers[i]));
  m_address->setText(QString::fromLatin1(options.address.c_str()));
  m_address2->setText(QString::fromLatin1(options.address2.c_str()));
  m_rfc2217->setChecked(options.rfc2217);
}

void CConfigSvrOpt::TakeValues() {
  for (int i = 0; i < kServerOptionNumbers; ++i) {
    int32_t number = 0;
    if (tarvik::device::ParseSignedInt(m_numbers[i]->text().toLatin1().constData(), &number))
      m_values.numbers[i] = number;
  }
  m_values.address = m_address->text().toLatin1().toStdString();
  m_values.address2 = m_address2->text().toLatin1().toStdString();
  m_values.rfc2217 = m_rfc2217->isChecked();
}

bool CConfigSvrOpt::Validate() {
  TakeValues();
  std::string texts[kServerOptionNumbers];
  for (int i = 0; i < kServerOptionNumbers; ++i)
    texts[i] = m_numbers[i]->text().toLatin1().toStdString();
  int32_t numbers[kServerOptionNumbers] = {};
  const char* message = nullptr;
  const int failed = tarvik::device::CheckOptionNumbers(texts, numbers, &message);
  if (failed < 0) {
    std::copy(std::begin(numbers), std::end(numbers), std::begin(m_values.numbers));
    return true;
  }
  tarvik::ShowMessageBox(message, kAppCaption, tarvik::kMbOk | tarvik::kMbIconWarning);
  m_numbers[failed]->setFocus(Qt::OtherFocusReason);
  m_numbers[failed]->selectAll();
  return false;
}

void CConfigSvrOpt::SetPrimaryAddress(const QString& text) {
  m_address->setText(text);
  m_values.address = text.toLatin1().toStdString();
}

void CConfigSvrOpt::SetRfc2217(bool on) {
  m_rfc2217->setChecked(on);
  m_values.rfc2217 = on;
}
