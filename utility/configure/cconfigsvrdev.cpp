#include "cconfigsvrdev.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "server_device_read.h"

using tarvik::device::DeviceField;

namespace {

struct FieldRow {
  DeviceField field;  // kCount: the address and the command port rows
  const char* label;
  const char* name;
};

// Top to bottom as the page shows them. The address and the command port
// are the page's own entries; the rest is what the device reports.
const FieldRow kRows[] = {
    {DeviceField::kCount, "IP Address : ", "address"},
    {DeviceField::kSubnetMask, "Sub-net Mask : ", "subnetMask"},
    {DeviceField::kGateway, "Gateway : ", "gateway"},
    {DeviceField::kMacAddress, "MAC Address: ", "macAddress"},
    {DeviceField::kCount, "TCP Port (Cmd) : ", "tcpPortCmd"},
    {DeviceField::kServerName, "Server Name : ", "serverName"},
    {DeviceField::kMaxSockets, "Max. Sockets : ", "maxSockets"},
    {DeviceField::kFirmwareVersion, "Firmware Ver : ", "firmwareVersion"},
    {DeviceField::kOsVersion, "OS Ver : ", "osVersion"},
    {DeviceField::kSystemTimeout, "System Timeout (ms) : ", "systemTimeout"},
    {DeviceField::kOperationMode, "Operation Mode : ", "operationMode"},
    {DeviceField::kPasswordSetting, "Password Setting: ", "passwordSetting"},
};

// The device's fields, before the first visit and after the first read.
constexpr DeviceField kReadFields[] = {
    DeviceField::kServerName,    DeviceField::kMaxSockets,    DeviceField::kFirmwareVersion,
    DeviceField::kOsVersion,     DeviceField::kSystemTimeout, DeviceField::kOperationMode,
    DeviceField::kGateway,       DeviceField::kSubnetMask,    DeviceField::kMacAddress,
};

const QColor kFieldColor(50, 50, 200);
const QColor kStatusColor(200, 50, 50);

void SetTextColor(QWidget* widget, QPalette::ColorRole role, const QColor& color) {
  QPalette palette = widget->palette();
  palette.setColor(role, color);
  widget->setPalette(palette);
}

std::string Latin1(const QLineEdit* edit) { return edit->text().toLatin1().toStdString(); }

}  // namespace

CConfigSvrDev::CConfigSvrDev(QWidget* parent)
    : QWidget(parent),
      m_status(new QLabel(this)),
      m_set(new QPushButton(QStringLiteral("Set  IP_Mask_Gateway"), this)),
      m_refresh(new QPushButton(QStringLiteral("Refresh"), this)) {
  auto* grid = new QGridLayout;
  int row = 0;
  for (const FieldRow& r : kRows) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QString::fromLatin1(r.name));
    grid->addWidget(new QLabel(QString::fromLatin1(r.label), this), row, 0);
    grid->addWidget(edit, row, 1);
    ++row;
    const bool editable = r.field == DeviceField::kCount || r.field == DeviceField::kSubnetMask ||
                          r.field == DeviceField::kGateway;
    edit->setReadOnly(!editable);
    if (r.field != DeviceField::kCount) {
      m_fields[static_cast<int>(r.field)] = edit;
      SetTextColor(edit, QPalette::Text, kFieldColor);
    } else if (!m_address) {
      m_address = edit;
    } else {
      m_port = edit;
    }
  }
  m_address->setMaxLength(16);
  m_port->setEnabled(false);
  m_status->setObjectName(QStringLiteral("status"));
  m_status->setTextFormat(Qt::PlainText);
  SetTextColor(m_status, QPalette::WindowText, kStatusColor);
  m_set->setObjectName(QStringLiteral("setNetwork"));
  m_refresh->setObjectName(QStringLiteral("refresh"));
  m_set->setEnabled(false);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(m_set);
  buttons->addWidget(m_refresh);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addLayout(buttons);
  layout->addWidget(m_status);
  layout->addStretch(1);

  connect(m_refresh, &QPushButton::clicked, this, &CConfigSvrDev::Refresh);
  connect(m_set, &QPushButton::clicked, this, &CConfigSvrDev::SetNetwork);
}

void CConfigSvrDev::Start(const QString& address, uint32_t port, uint32_t timeoutMs,
                          const std::string& savedPassword) {
  m_address->setText(address);
  m_port->setText(QString::number(port));
  m_timeoutMs = timeoutMs;
  m_savedPassword = savedPassword;
  ShowStatus("Status: OK.");
  for (DeviceField f : kReadFields) ShowField(f, "N/A");
  EnableSetNetwork(false);
}

QString CConfigSvrDev::AddressText() const { return m_address->text(); }

tarvik::device::DeviceTarget CConfigSvrDev::Target() const {
  tarvik::device::DeviceTarget target;
  target.address = Latin1(m_address);
  target.port = m_port->text().toUInt();
  target.timeoutMs = m_timeoutMs;
  target.savedPassword = m_savedPassword;
  return target;
}

tarvik::device::NetworkTexts CConfigSvrDev::EnteredNetwork() const {
  return {Latin1(m_address), Latin1(Field(DeviceField::kSubnetMask)),
          Latin1(Field(DeviceField::kGateway))};
}

bool CConfigSvrDev::BeginAction() {
  if (m_busy) return false;
  m_busy = true;
  m_set->setEnabled(false);
  m_refresh->setEnabled(false);
  emit busyChanged(true);
  return true;
}

void CConfigSvrDev::EndAction() {
  m_busy = false;
  m_set->setEnabled(m_setAllowed);
  m_refresh->setEnabled(true);
  emit busyChanged(false);
}

void CConfigSvrDev::Refresh() {
  if (!BeginAction()) return;
  tarvik::device::ReadServerDevice(m_session, Target(), *this);
  // Also after a failure: a later change is measured against these.
  m_lastRead = EnteredNetwork();
  EndAction();
}

void CConfigSvrDev::SetNetwork() {
  if (!BeginAction()) return;
  tarvik::device::SetServerNetwork(m_session, EnteredNetwork(), m_lastRead, Target(), *this,
                                   &m_networkChanged);
  EndAction();
}

void CConfigSvrDev::ShowField(DeviceField field, const std::string& text) {
  if (QLineEdit* edit = Field(field)) edit->setText(QString::fromLatin1(text.c_str()));
}

void CConfigSvrDev::ShowStatus(const std::string& text) {
  m_status->setText(QString::fromLatin1(text.c_str()));
}

void CConfigSvrDev::EnableSetNetwork(bool enabled) {
  m_setAllowed = enabled;
  if (!m_busy) m_set->setEnabled(enabled);
}

void CConfigSvrDev::Redraw() { repaint(); }
