#include "cconfigportset.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cstring>
#include <string>

#include "port_format.h"

namespace dev = tarvik::device;

namespace {

std::string ServerName(const tarvik::app::ServerRecord& server) {
  return std::string(server.ServerName, strnlen(server.ServerName, sizeof server.ServerName));
}

QComboBox* List(const std::vector<const char*>& items, QWidget* parent) {
  auto* list = new QComboBox(parent);
  for (const char* item : items) list->addItem(QString::fromLatin1(item));
  list->setCurrentIndex(-1);
  return list;
}

}  // namespace

CConfigPortSet::CConfigPortSet(const tarvik::app::ServerRecord& server, int entry, bool rfc2217,
                               QWidget* parent)
    : QWidget(parent),
      m_server(server),
      m_entry(entry),
      m_device(m_session, ServerName(server), entry,
               tarvik::app::DevicePortNumber(tarvik::app::ComWord(server, entry))) {
  const bool limited = m_device.Limited();
  m_baud = new QLineEdit(QStringLiteral("N/A"), this);
  m_dataBits = List(dev::DataBitsItems(limited), this);
  m_parity = List(dev::ParityItems(limited), this);
  m_stopBits = List(dev::StopBitsItems(), this);
  m_status = new QLabel(this);
  m_status->setObjectName(QStringLiteral("portStatus"));
  m_status->setTextFormat(Qt::PlainText);
  QPalette red = m_status->palette();
  red.setColor(QPalette::WindowText, QColor(200, 50, 50));
  m_status->setPalette(red);
  m_set = new QPushButton(QStringLiteral("Set to EEPROM/Flash (Device)"), this);
  if (rfc2217 && entry > 1) {
    m_device.UseRfc2217(tarvik::app::ComNumber(tarvik::app::ComWord(server, entry)));
    m_set->setToolTip(QStringLiteral(
        "This server's data ports speak RFC 2217: the settings go on the port's data "
        "connection, while no application has the COM port open."));
  }

  auto* grid = new QGridLayout(this);
  const struct {
    const char* label;
    QWidget* field;
  } rows[] = {{"Baud rate : ", m_baud}, {"Data Bits : ", m_dataBits},
              {"Parity Bit : ", m_parity}, {"Stop Bits : ", m_stopBits}};
  int row = 0;
  for (const auto& r : rows) {
    grid->addWidget(new QLabel(QString::fromLatin1(r.label), this), row, 0);
    grid->addWidget(r.field, row++, 1);
  }
  grid->addWidget(m_status, row++, 0, 1, 2);
  grid->addWidget(m_set, row++, 0, 1, 2);
  grid->setRowStretch(row, 1);

  m_device.SetStatusSink([this](const std::string& text) {
    m_status->setText(QString::fromLatin1(text.c_str()));
    m_status->repaint();
  });
  connect(m_set, &QPushButton::clicked, this, &CConfigPortSet::SetToDevice);
  // The I/O port has no serial settings to configure.
  if (entry == 0) setEnabled(false);
}

void CConfigPortSet::SetBusy(bool busy) {
  m_busy = busy;
  m_set->setEnabled(!busy);
  emit busyChanged(busy);
}

void CConfigPortSet::ShowValues(const dev::PortPageValues& values) {
  m_baud->setText(QString::fromLatin1(values.baud.c_str()));
  if (values.dataBits >= 0) m_dataBits->setCurrentIndex(values.dataBits);
  if (values.parity >= 0) m_parity->setCurrentIndex(values.parity);
  if (values.stopBits >= 0) m_stopBits->setCurrentIndex(values.stopBits);
}

dev::PortPageValues CConfigPortSet::Lists() const {
  dev::PortPageValues values;
  values.baud = m_baud->text().toLatin1().toStdString();
  values.dataBits = m_dataBits->currentIndex();
  values.parity = m_parity->currentIndex();
  values.stopBits = m_stopBits->currentIndex();
  return values;
}

void CConfigPortSet::Visit() {
  if (m_entry == 0) {
    m_status->setText(QStringLiteral("Port I/O does not support configuration!"));
    for (QWidget* field : {static_cast<QWidget*>(m_baud), static_cast<QWidget*>(m_dataBits),
                           static_cast<QWidget*>(m_parity), static_cast<QWidget*>(m_stopBits)})
      field->setEnabled(false);
    return;
  }
  if (m_device.IsRead() || m_busy) return;
  SetBusy(true);
  m_device.SetDevice(m_server.IPAddress, m_server.TcpPortCmd, m_server.ConnectTimeout);
  m_baud->setText(QStringLiteral("N/A"));
  m_device.Read();
  ShowValues(m_device.ReadValues());
  SetBusy(false);
}

void CConfigPortSet::SetToDevice() {
  if (m_busy) return;
  SetBusy(true);
  m_device.SetDevice(m_server.IPAddress, m_server.TcpPortCmd, m_server.ConnectTimeout);
  const dev::PortPageValues lists = Lists();
  // A server may take other values than those asked for; the page shows
  // what the port has. A failure leaves the user's entries as they are.
  if (m_device.Write(lists.baud, lists) == dev::PortDeviceSettings::WriteResult::kWritten)
    ShowValues(m_device.ReadValues());
  SetBusy(false);
}

bool CConfigPortSet::Changed() const {
  const dev::PortPageValues lists = Lists();
  return m_device.Differs(lists.baud, lists);
}
