#include "caddservers.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "caddserverip.h"
#include "caddserversopt2.h"
#include "cconfigsvropt.h"
#include "cpagetabctrl.h"
#include "tarvik/ui_hooks.h"

namespace {

constexpr int kOptionsTab = 1;

}  // namespace

CAddServers::CAddServers(const AddServersChoices& d, const FreeComList& freeComs,
                         uint32_t maxVcom, QWidget* parent)
    : QDialog(parent), m_choices(d) {
  setWindowTitle(QStringLiteral("Adding Servers"));
  m_tabs = new CPageTabCtrl(this);
  m_range = new CAddServerIP(d, freeComs, maxVcom);
  m_options = new CConfigSvrOpt;
  m_options->SetAddressFieldsVisible(false);
  tarvik::device::ServerOptions options;
  using namespace tarvik::device;
  options.numbers[kKeepAliveTime] = static_cast<int32_t>(d.keepAliveSeconds);
  options.numbers[kConnectionBroken] = static_cast<int32_t>(d.connectionBrokenSeconds);
  options.numbers[kConnectTimeout] = static_cast<int32_t>(d.connectTimeoutSeconds);
  options.numbers[kTcpPortCmd] = static_cast<int32_t>(d.commandPort);
  options.numbers[kTcpPort7000] = static_cast<int32_t>(d.ioPort);
  options.rfc2217 = d.rfc2217;
  m_options->Fill(options);
  m_ports = new CAddServersOpt2(d);
  m_tabs->AddPage(QStringLiteral("IP Range"), m_range);
  m_tabs->AddPage(QStringLiteral("Server Options"), m_options);
  m_tabs->AddPage(QStringLiteral("Port Options"), m_ports);
  m_tabs->setMinimumSize(460, 340);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  m_ok = buttons->button(QDialogButtonBox::Ok);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_tabs);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &CAddServers::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CAddServers::reject);
  connect(m_tabs, &CPageTabCtrl::currentChanged, this, &CAddServers::OnTabChanged);
}

void CAddServers::OnTabChanged(int index) {
  // The options page keeps the user on it until its values pass.
  if (m_shownTab == kOptionsTab && index != kOptionsTab && !m_options->Validate()) {
    m_tabs->SetCurrentIndex(kOptionsTab);
    return;
  }
  m_shownTab = index;
}

void CAddServers::accept() {
  if (!m_options->Validate()) {
    m_tabs->SetCurrentIndex(kOptionsTab);
    return;
  }
  AddServersChoices c = m_choices;
  using namespace tarvik::device;
  const ServerOptions& options = m_options->Values();
  c.keepAliveSeconds = options.numbers[kKeepAliveTime];
  c.connectionBrokenSeconds = options.numbers[kConnectionBroken];
  c.connectTimeoutSeconds = options.numbers[kConnectTimeout];
  c.commandPort = options.numbers[kTcpPortCmd];
  c.ioPort = options.numbers[kTcpPort7000];
  c.rfc2217 = options.rfc2217;
  m_range->Take(&c);
  m_ports->Take(&c);
  if (const char* message = CheckAddServersChoices(&c)) {
    tarvik::ShowMessageBox(message, "Tarvik Utility", tarvik::kMbOk | tarvik::kMbIconWarning);
    return;
  }
  m_choices = c;
  QDialog::accept();
}
