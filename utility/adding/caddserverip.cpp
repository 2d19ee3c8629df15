#include "caddserverip.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {

QCheckBox* Check(const char* text, bool on, QWidget* parent) {
  auto* box = new QCheckBox(QString::fromLatin1(text), parent);
  box->setChecked(on);
  return box;
}

}  // namespace

CAddServerIP::CAddServerIP(const AddServersChoices& d, const FreeComList& freeComs,
                           uint32_t maxVcom, QWidget* parent)
    : QWidget(parent) {
  auto* info = new QGroupBox(QStringLiteral(" Server Information "), this);
  m_name = new QLineEdit(QString::fromLatin1(d.serverName.c_str()), info);
  m_start = new QLineEdit(QString::fromLatin1(d.rangeStart.c_str()), info);
  m_end = new QLineEdit(QString::fromLatin1(d.rangeEnd.c_str()), info);
  m_start->setMaxLength(16);
  m_end->setMaxLength(16);
  m_name->setObjectName(QStringLiteral("serverName"));
  m_start->setObjectName(QStringLiteral("rangeStart"));
  m_end->setObjectName(QStringLiteral("rangeEnd"));
  m_net = Check("0 (Net)", d.includeNet, info);
  m_gateway = Check("254 (Gateway)", d.includeGateway, info);
  m_broadcast = Check("255 (Broadcast)", d.includeBroadcast, info);
  m_getName = Check("Get name automatically", d.getNameAutomatically, info);
  m_skipDuplicates = Check("Skip duplicated IP", d.skipDuplicates, info);
  m_name->setEnabled(!d.getNameAutomatically);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Server Name : "), m_name);
  form->addRow(QStringLiteral("IP Range Start : "), m_start);
  form->addRow(QStringLiteral("IP Range End : "), m_end);
  auto* octets = new QHBoxLayout;
  octets->addWidget(m_net);
  octets->addWidget(m_gateway);
  octets->addWidget(m_broadcast);
  auto* infoLayout = new QVBoxLayout(info);
  infoLayout->addLayout(form);
  infoLayout->addLayout(octets);
  infoLayout->addWidget(m_getName);
  infoLayout->addWidget(m_skipDuplicates);

  auto* mapping = new QGroupBox(QStringLiteral(" Virtual COM and I/O Port Mappings "), this);
  m_com = new QComboBox(mapping);
  m_com->setObjectName(QStringLiteral("firstCom"));
  m_com->addItem(QStringLiteral("UnMap"));
  const int offered = OfferedComCount(freeComs, maxVcom);
  for (int i = 0; i < offered; ++i) m_com->addItem(QStringLiteral("COM%1").arg(freeComs[i]));
  m_com->setCurrentIndex(InitialComItem(offered));
  m_fixedBaud = Check("Fixed baudrate, use current settings of servers.", d.fixedBaudrate, mapping);
  m_mapIo = Check("Maps virtual COM ports to \"Port I/O\" on servers.", d.mapIoPort, mapping);
  auto* comForm = new QFormLayout;
  comForm->addRow(QStringLiteral("COM Port : "), m_com);
  auto* mappingLayout = new QVBoxLayout(mapping);
  mappingLayout->addLayout(comForm);
  mappingLayout->addWidget(m_fixedBaud);
  mappingLayout->addWidget(m_mapIo);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(info);
  layout->addWidget(mapping);
  layout->addStretch();

  // The usual range is one address: the end follows the start as it is typed.
  connect(m_start, &QLineEdit::textChanged, m_end, &QLineEdit::setText);
  connect(m_getName, &QCheckBox::clicked, m_name, [this](bool on) { m_name->setEnabled(!on); });
}

void CAddServerIP::Take(AddServersChoices* c) const {
  c->serverName = m_name->text().toLatin1().toStdString();
  c->rangeStart = m_start->text().toLatin1().toStdString();
  c->rangeEnd = m_end->text().toLatin1().toStdString();
  c->includeNet = m_net->isChecked();
  c->includeGateway = m_gateway->isChecked();
  c->includeBroadcast = m_broadcast->isChecked();
  c->getNameAutomatically = m_getName->isChecked();
  c->skipDuplicates = m_skipDuplicates->isChecked();
  c->fixedBaudrate = m_fixedBaud->isChecked();
  c->mapIoPort = m_mapIo->isChecked();
  c->firstComIndex = m_com->currentIndex() - 1;
}
