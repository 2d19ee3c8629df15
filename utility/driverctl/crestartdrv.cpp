#include "crestartdrv.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "app_icons.h"
#include "app_texts.h"
#include "restart_procedure.h"
#include "service_status_text.h"
#include "tarvik/service_manager.h"
#include "tarvik/text.h"
#include "tarvik/ui_hooks.h"
#include "tarvik_driver_iface.h"

namespace {

const QColor kRunningColor(50, 50, 200);
const QColor kNotRunningColor(200, 50, 50);

}  // namespace

// The procedure's view of the dialog. The dialog may be destroyed while a
// wait pumps events (its owner closing, say): then every call here is a
// no-op, and the dialog's destructor has already told the wait to stop.
class CRestartDrvFront : public RestartFrontEnd {
 public:
  explicit CRestartDrvFront(CRestartDrv* dlg) : m_dlg(dlg) {}
  void OnBegin() override {
    if (!m_dlg) return;
    m_dlg->m_restart->setEnabled(false);
    m_dlg->m_cancel->setText(QStringLiteral("Skip"));
  }
  void SetStatusLine(const char* text) override {
    if (m_dlg) m_dlg->SetStatusText(text);
  }
  void SetProgress(int position) override {
    if (m_dlg) m_dlg->m_progress->setValue(position);
  }
  void SetLastState(uint32_t state) override {
    if (m_dlg) m_dlg->SetLastState(state);
  }
  void ShowMessage(const char* text) override {
    // Also when the dialog is gone: the administrator must still learn that
    // the driver did not stop or start.
    tarvik::ShowMessageBox(text, kAppCaption, tarvik::kMbOk | tarvik::kMbIconWarning);
  }
  void PumpEvents() override { QCoreApplication::processEvents(QEventLoop::AllEvents); }
  void OnClosing() override {
    if (m_dlg) m_dlg->m_cancel->setEnabled(false);
  }

 private:
  QPointer<CRestartDrv> m_dlg;
};

CRestartDrv::CRestartDrv(const TkcConfigSet* set, QWidget* parent)
    : QDialog(parent),
      m_set(set),
      m_status(new QLabel(this)),
      m_progress(new QProgressBar(this)),
      m_restart(new QPushButton(QStringLiteral("Restart Driver"), this)),
      m_cancel(new QPushButton(QStringLiteral("Cancel"), this)) {
  setWindowTitle(QStringLiteral("Tarvik Utility: Restarting Driver"));
  auto* icon = new QLabel(this);
  icon->setPixmap(ProgramIcon().pixmap(32, 32));
  auto* text = new QLabel(QStringLiteral("Restart the driver to use new configuration. \n"
                                         "Make sure you have closed all virtual COM ports first."),
                          this);
  m_progress->setRange(0, kRestartRounds);
  m_progress->setValue(0);
  m_progress->setTextVisible(false);
  m_restart->setDefault(true);
  connect(m_restart, &QPushButton::clicked, this, &CRestartDrv::Restart);
  connect(m_cancel, &QPushButton::clicked, this, &CRestartDrv::reject);

  auto* top = new QHBoxLayout;
  top->addWidget(icon, 0, Qt::AlignTop);
  top->addWidget(text, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(m_restart);
  buttons->addWidget(m_cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(m_status);
  layout->addWidget(m_progress);
  layout->addLayout(buttons);

  char state[200];
  const uint32_t value = QueryServiceStatusText(TKC_SERVICE_NAME, state, sizeof state);
  SetLastState(value);
  char line[220];
  tarvik::FormatText(line, sizeof line, "Status: %s", state);
  SetStatusText(line);
}

CRestartDrv::~CRestartDrv() {
  // A wait still running must not go on for a dialog that is gone.
  if (m_restarting) RequestRestartCancel();
}

QColor CRestartDrv::StatusColor() const {
  return m_lastState == tarvik::kServiceRunning ? kRunningColor : kNotRunningColor;
}

void CRestartDrv::SetStatusText(const char* text) { m_status->setText(QString::fromLatin1(text)); }

void CRestartDrv::SetLastState(uint32_t state) {
  m_lastState = state;
  QPalette palette = m_status->palette();
  palette.setColor(QPalette::WindowText, StatusColor());
  m_status->setPalette(palette);
}

void CRestartDrv::Restart() {
  if (m_restarting) return;
  m_restarting = true;
  QPointer<CRestartDrv> self(this);
  CRestartDrvFront front(this);
  const RestartOutcome outcome = RunDriverRestart(*m_set, &front);
  if (!self) return;
  m_restarting = false;
  done(RestartSucceeded(outcome) ? QDialog::Accepted : QDialog::Rejected);
}

void CRestartDrv::reject() {
  RequestRestartCancel();
  QDialog::reject();
}
