#include "cconfigsvr.h"

#include <QDialogButtonBox>
#include <cstring>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QVBoxLayout>

#include "app_texts.h"
#include "cconfigsvrdev.h"
#include "cconfigsvropt.h"
#include "cmip.h"
#include "cpagetabctrl.h"
#include "dialog_units.h"
#include "tarvik/ui_hooks.h"

namespace {

const QColor kDescriptionColor(50, 50, 200);

}  // namespace

CConfigSvr::CConfigSvr(QWidget* parent)
    : QDialog(parent),
      m_description(new QLabel(this)),
      m_tabs(new CPageTabCtrl(this)),
      m_options(new CConfigSvrOpt),
      m_device(new CConfigSvrDev),
      m_buttons(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this)) {
  setWindowTitle(QStringLiteral("Server Configuration"));
  m_description->setObjectName(QStringLiteral("description"));
  m_description->setTextFormat(Qt::PlainText);  // holds the device's name and alias
  QPalette palette = m_description->palette();
  palette.setColor(QPalette::WindowText, kDescriptionColor);
  m_description->setPalette(palette);
  m_description->setFrameShape(QFrame::Panel);
  m_description->setFrameShadow(QFrame::Sunken);

  m_tabs->AddPage(QStringLiteral("Server Options (PC)"), m_options);
  m_tabs->AddPage(QStringLiteral("Device Information"), m_device);
  m_tabs->UseDialogPageFrame();

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_description);
  layout->addWidget(m_tabs, 1);
  layout->addWidget(m_buttons);
  resize(DialogUnitsToPixels(this, QSize(260, 300)));

  connect(m_buttons, &QDialogButtonBox::accepted, this, &CConfigSvr::accept);
  connect(m_buttons, &QDialogButtonBox::rejected, this, &CConfigSvr::reject);
  connect(m_tabs, &CPageTabCtrl::currentChanged, this, &CConfigSvr::OnTabChanged);
  connect(m_device, &CConfigSvrDev::busyChanged, this, &CConfigSvr::OnBusyChanged);
}

void CConfigSvr::SetServer(int index, const QString& description,
                           const TkcServerRecord& record) {
  m_index = index;
  m_record = record;
  m_description->setText(description);
  m_options->Fill(tarvik::device::OptionsFromRecord(record));
  m_deviceRead = false;
  m_tabs->SetCurrentIndex(kOptionsPage);
}

const tarvik::device::ServerOptions& CConfigSvr::Options() const { return m_options->Values(); }

void CConfigSvr::OnTabChanged(int index) {
  if (m_revertingTab) return;
  if (!m_options->Validate()) {
    m_revertingTab = true;
    m_tabs->SetCurrentIndex(kOptionsPage);
    m_revertingTab = false;
    return;
  }
  if (index == kDevicePage) {
    if (m_deviceRead) return;
    m_deviceRead = true;
    CMIP address;
    address.SetValue(m_record.IPAddress);
    const std::string saved(m_record.PW, strnlen(m_record.PW, sizeof m_record.PW));
    m_device->Start(QString::fromLatin1(address.GetText().c_str()), m_record.TcpPortCmd,
                    m_record.ConnectTimeout, saved);
    m_device->Refresh();
  } else if (m_device->NetworkChanged()) {
    m_options->SetPrimaryAddress(m_device->AddressText());
  }
}

void CConfigSvr::OnBusyChanged(bool busy) {
  m_tabs->setEnabled(!busy);
  m_buttons->setEnabled(!busy);
}

void CConfigSvr::accept() {
  if (m_device->Busy()) return;
  if (!m_options->Validate()) return;
  if (m_device->NetworkChanged() && m_options->AddressEdit()->text() != m_device->AddressText()) {
    m_options->SetPrimaryAddress(m_device->AddressText());
    m_options->update();
  }
  if (const char* message = tarvik::device::CheckOptionAddresses(m_options->Values())) {
    tarvik::ShowMessageBox(message, kAppCaption, tarvik::kMbOk | tarvik::kMbIconWarning);
    return;
  }
  QDialog::accept();
}

void CConfigSvr::reject() {
  // The device page's session keeps the UI running while it connects; the
  // dialog must outlive that wait.
  if (m_device->Busy()) return;
  QDialog::reject();
}
