#include "caddserversopt2.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "server_options.h"

CAddServersOpt2::CAddServersOpt2(const AddServersChoices& d, QWidget* parent) : QWidget(parent) {
  m_purge = new QCheckBox(QStringLiteral("Disable purge command (e.g. ModScan32)."), this);
  m_purge->setChecked(d.disablePurge);
  m_writeBuffer =
      new QCheckBox(QStringLiteral("Enable Write-Buffer to collect small packets into big one."), this);
  m_writeBuffer->setChecked(d.writeBuffer);
  m_autoFlush = new QLineEdit(QString::number(d.autoFlushMs), this);
  m_autoFlush->setObjectName(QStringLiteral("autoFlush"));
  m_autoFlush->setEnabled(d.writeBuffer);

  auto* flush = new QHBoxLayout;
  flush->addWidget(new QLabel(QStringLiteral("Auto-Flush Interval: "), this));
  flush->addWidget(m_autoFlush);
  flush->addWidget(new QLabel(QStringLiteral("(ms, 10 ~ 500, default=50)"), this));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_purge);
  layout->addWidget(new QLabel(QStringLiteral("Don't clear TX/RX buffers."), this));
  layout->addWidget(m_writeBuffer);
  layout->addLayout(flush);
  layout->addStretch();

  connect(m_writeBuffer, &QCheckBox::clicked, m_autoFlush, &QLineEdit::setEnabled);
}

void CAddServersOpt2::Take(AddServersChoices* c) const {
  c->disablePurge = m_purge->isChecked();
  c->writeBuffer = m_writeBuffer->isChecked();
  int32_t interval = 0;
  const QByteArray text = m_autoFlush->text().toLatin1();
  c->autoFlushMs = tarvik::device::ParseSignedInt(text.constData(), &interval) ? interval : -1;
}
