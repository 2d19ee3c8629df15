#include "cconfigport.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QVBoxLayout>
#include <cstring>
#include <string>

#include "app_state.h"
#include "cconfigportmap.h"
#include "cconfigportset.h"
#include "cpagetabctrl.h"
#include "tarvik/text.h"
#include "tarvik/ui_hooks.h"

namespace {

const char kChangedQuestion[] =
    "Port setting is changed!\nDo you want to set it to EEPROM (Device) now?\n.";

std::string Ipv4(uint32_t value) {
  char text[16];
  tarvik::FormatText(text, sizeof text, "%u.%u.%u.%u", value & 0xFF, (value >> 8) & 0xFF,
                     (value >> 16) & 0xFF, value >> 24);
  return text;
}

uint32_t MaxOfferedCom() {
  const uint32_t max = App().ui.maxVcom;
  return max == 0 ? kDefaultMaxVcom : max;
}

}  // namespace

std::string PortDialogTitle(const char* serverName, const char* address, int entry,
                            uint32_t devicePort) {
  char text[160];
  if (entry == 0) {
    tarvik::FormatText(text, sizeof text, "Server: %s (%s), Port I/O", serverName, address);
  } else if (entry == 1) {
    tarvik::FormatText(text, sizeof text, "Server: %s (%s), Cmd Port", serverName, address);
  } else {
    tarvik::FormatText(text, sizeof text, "Server: %s (%s), Port %u", serverName, address,
                       devicePort);
  }
  return text;
}

CConfigPort::CConfigPort(int server, int entry, bool reassign, QWidget* parent)
    : QDialog(parent), m_record(App().config.Records[server]) {
  setWindowTitle(QStringLiteral("Port Configuration"));
  AppState& state = App();
  const tarvik::app::ServerRecord& record = m_record;
  const std::string name(record.ServerName, strnlen(record.ServerName, sizeof record.ServerName));

  m_title = new QLabel(this);
  m_title->setObjectName(QStringLiteral("portTitle"));
  m_title->setTextFormat(Qt::PlainText);  // holds the device's name
  m_title->setText(QString::fromLatin1(
      PortDialogTitle(name.c_str(), Ipv4(record.IPAddress).c_str(), entry,
                      tarvik::app::DevicePortNumber(tarvik::app::ComWord(record, entry)))
          .c_str()));
  QPalette blue = m_title->palette();
  blue.setColor(QPalette::WindowText, QColor(50, 50, 200));
  m_title->setPalette(blue);

  m_tabs = new CPageTabCtrl(this);
  m_map = new CConfigPortMap(record, entry, reassign, state.occupiedComMap, state.ownComMap,
                             MaxOfferedCom());
  m_set = new CConfigPortSet(record, entry,
                             state.config.DataProtocol[server] == TKC_DATA_PROTOCOL_RFC2217);
  m_tabs->AddPage(QStringLiteral("Port Mapping (PC)"), m_map);
  m_tabs->AddPage(QStringLiteral("Port Setting (Device)"), m_set);
  m_tabs->UseDialogPageFrame();
  m_tabs->SetCurrentIndex(0);
  m_tabs->setMinimumSize(460, 400);

  m_ok = new QPushButton(QStringLiteral("OK"), this);
  m_ok->setDefault(true);
  m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(m_ok);
  buttons->addWidget(m_cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_title);
  layout->addWidget(m_tabs, 1);
  layout->addLayout(buttons);

  connect(m_ok, &QPushButton::clicked, this, &CConfigPort::accept);
  connect(m_cancel, &QPushButton::clicked, this, &CConfigPort::reject);
  connect(m_tabs, &CPageTabCtrl::currentChanged, this, &CConfigPort::OnTabChanged);
  connect(m_set, &CConfigPortSet::busyChanged, this, &CConfigPort::OnBusy);
}

const tarvik::device::PortMapChoice& CConfigPort::Shown() const { return m_map->Shown(); }

const uint8_t* CConfigPort::InUse() const { return m_map->InUse(); }

void CConfigPort::OnTabChanged(int index) {
  if (m_turningBack) return;
  if (!m_map->CheckInterval()) {
    m_turningBack = true;
    m_tabs->SetCurrentIndex(0);
    m_turningBack = false;
    return;
  }
  if (index == 1) m_set->Visit();
}

void CConfigPort::OnBusy(bool busy) {
  m_tabs->TabBar()->setEnabled(!busy);
  m_ok->setEnabled(!busy);
  m_cancel->setEnabled(!busy);
}

void CConfigPort::accept() {
  if (m_set->Busy()) return;
  if (!m_map->CheckInterval()) return;
  if (m_set->Changed() &&
      tarvik::ShowMessageBox(kChangedQuestion, kAppCaption, tarvik::kMbYesNo) == tarvik::kIdYes)
    m_set->SetToDevice();
  m_choice = m_map->Choice();
  QDialog::accept();
}

void CConfigPort::reject() {
  // Closing while a connect waits would pull the session out from under it.
  if (m_set->Busy()) return;
  QDialog::reject();
}
