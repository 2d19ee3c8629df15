#include "cuconfigdev.h"

#include <QComboBox>
#include <QEvent>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cstring>
#include <iterator>

#include "app_texts.h"
#include "config_ok.h"
#include "tarvik/ui_hooks.h"

namespace app = tarvik::app;

namespace {

struct PreviewColumn {
  const char* title;
  int width;
  const char* widthTemplate;  // the column ends up this text's width plus 10
};

const PreviewColumn kPreviewColumns[] = {
    {"DHCP (*)", 60, "DHCP____"},
    {"Name", 60, "Name__________"},
    {"Alias (*)", 50, "Alias_________"},
    {"IP Address (*)", 90, "IP Address____"},
    {"Mask (*)", 80, "Sub-net Mask__"},
    {"Gateway (*)", 80, "Gateway_______"},
    {"MAC Address", 100, "MAC Address_______"},
};
constexpr int kTemplatePadding = 10;
constexpr int kAliasCellMax = 20;
constexpr int kAddressCellMax = 15;
constexpr int kBelowCancel = 20;
const char kSeveral[] = "-";

QString Latin1(const char* text, size_t size) {
  return QString::fromLatin1(text, static_cast<qsizetype>(strnlen(text, size)));
}
template <size_t N>
QString Latin1(const char (&text)[N]) { return Latin1(text, N); }

std::string Text(const QString& text) { return text.toLatin1().toStdString(); }

}  // namespace

CUConfigDev::CUConfigDev(app::UdpConfigTable* table, QWidget* parent, app::ModuleReader reader,
                         app::TakenAddresses taken)
    : QDialog(parent), m_table(table), m_reader(std::move(reader)), m_taken(std::move(taken)) {
  setWindowTitle(QStringLiteral("Configure Server (UDP)"));
  BuildControls();
  FillFromTable();
}

void CUConfigDev::BuildControls() {
  auto* top = new QVBoxLayout(this);
  auto* warning = new QLabel(QStringLiteral(
      "Warning!! \nContact your Network Administrator to get correct  configuration before any "
      "change."));
  top->addWidget(warning);

  auto* fields = new QGridLayout;
  m_deviceName = new QLabel;
  m_deviceName->setObjectName(QStringLiteral("deviceName"));
  // The device's own name: text, never markup.
  m_deviceName->setTextFormat(Qt::PlainText);
  m_dhcp = new QComboBox;
  m_dhcp->addItem(QStringLiteral("0: OFF"));
  m_dhcp->addItem(QStringLiteral("1: ON"));
  m_ip = new QLineEdit;
  m_mask = new QLineEdit;
  m_gateway = new QLineEdit;
  m_mac = new QLineEdit;
  m_mac->setReadOnly(true);
  m_alias = new QLineEdit;
  m_alias->setMaxLength(static_cast<int>(app::kAliasMax));
  int row = 0;
  fields->addWidget(new QLabel(QStringLiteral("Device : ")), row, 0);
  fields->addWidget(m_deviceName, row++, 1);
  fields->addWidget(new QLabel(QStringLiteral("DHCP")), row, 0);
  fields->addWidget(m_dhcp, row++, 1);
  fields->addWidget(new QLabel(QStringLiteral("IP Address")), row, 0);
  fields->addWidget(m_ip, row++, 1);
  fields->addWidget(new QLabel(QStringLiteral("Sub-net Mask")), row, 0);
  fields->addWidget(m_mask, row++, 1);
  fields->addWidget(new QLabel(QStringLiteral("Gateway")), row, 0);
  fields->addWidget(m_gateway, row++, 1);
  fields->addWidget(new QLabel(QStringLiteral("MAC Address")), row, 0);
  fields->addWidget(m_mac, row++, 1);
  fields->addWidget(new QLabel(QStringLiteral("Alias")), row, 0);
  fields->addWidget(m_alias, row, 1);
  fields->addWidget(new QLabel(QStringLiteral("(7 Chars)")), row++, 2);
  top->addLayout(fields);

  auto* buttons = new QHBoxLayout;
  m_ok = new QPushButton(QStringLiteral("OK"));
  m_ok->setDefault(true);
  m_cancel = new QPushButton(QStringLiteral("Cancel"));
  buttons->addStretch(1);
  buttons->addWidget(m_ok);
  buttons->addWidget(m_cancel);
  top->addLayout(buttons);

  m_copy = new QPushButton(QStringLiteral("Copy Settings"));
  QFont copyFont(QStringLiteral("Times New Roman"));
  copyFont.setPixelSize(24);
  copyFont.setWeight(QFont::Bold);
  m_copy->setFont(copyFont);
  m_copy->setToolTip(QStringLiteral("Copy about settings to the preview list"));
  top->addWidget(m_copy, 0, Qt::AlignLeft);
  m_previewCaption =
      new QLabel(QStringLiteral("Preview List: (Click on the below list to input correct settings)"));
  top->addWidget(m_previewCaption);

  m_preview = new QTreeWidget;
  m_preview->setObjectName(QStringLiteral("previewList"));
  m_preview->setRootIsDecorated(false);
  m_preview->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_preview->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_preview->header()->setStretchLastSection(false);
  QStringList titles;
  for (const PreviewColumn& column : kPreviewColumns) titles << QString::fromLatin1(column.title);
  m_preview->setHeaderLabels(titles);
  for (int c = 0; c < kColumnCount; ++c) m_preview->setColumnWidth(c, kPreviewColumns[c].width);
  const QFontMetrics metrics(m_preview->font());
  for (int c = 0; c < kColumnCount; ++c)
    m_preview->setColumnWidth(c, metrics.horizontalAdvance(QString::fromLatin1(
                                     kPreviewColumns[c].widthTemplate)) + kTemplatePadding);
  // Wide enough to show every column without scrolling.
  int columnsWidth = 0;
  for (int c = 0; c < kColumnCount; ++c) columnsWidth += m_preview->columnWidth(c);
  m_preview->setMinimumWidth(columnsWidth + 2 * m_preview->frameWidth() + 4);
  top->addWidget(m_preview, 1);

  m_cellEditor = new QLineEdit(m_preview->viewport());
  m_cellEditor->setObjectName(QStringLiteral("cellEditor"));
  m_cellEditor->hide();
  m_cellEditor->installEventFilter(this);

  connect(m_ok, &QPushButton::clicked, this, &CUConfigDev::accept);
  connect(m_cancel, &QPushButton::clicked, this, &CUConfigDev::reject);
  connect(m_copy, &QPushButton::clicked, this, &CUConfigDev::CopySettings);
  connect(m_dhcp, &QComboBox::currentIndexChanged, this, &CUConfigDev::ApplyDhcpRule);
  connect(m_preview, &QTreeWidget::itemClicked, this, &CUConfigDev::CellClicked);
  connect(m_preview, &QTreeWidget::itemChanged, this, &CUConfigDev::CheckStateChanged);
  connect(m_cellEditor, &QLineEdit::editingFinished, this, &CUConfigDev::WriteCell);
  // The editor lies over one cell; once the list scrolls it would lie over
  // another, so the edit ends there.
  connect(m_preview->verticalScrollBar(), &QScrollBar::valueChanged, this, &CUConfigDev::WriteCell);
  connect(m_preview->horizontalScrollBar(), &QScrollBar::valueChanged, this, &CUConfigDev::WriteCell);
}

void CUConfigDev::FillFromTable() {
  const int count = app::LoadConfigTable(m_table, m_reader);
  m_several = count > 1;
  m_filling = true;
  for (int r = 0; r < count; ++r) {
    const app::UdpConfigEntry& e = m_table->entries[r];
    auto* item = new QTreeWidgetItem(
        m_preview, QStringList{QString(), Latin1(e.name), Latin1(e.alias), Latin1(e.ip),
                               Latin1(e.mask), Latin1(e.gateway), Latin1(e.mac)});
    const bool dhcp = app::DhcpIsOn(e.dhcp);
    item->setCheckState(kDhcp, dhcp ? Qt::Checked : Qt::Unchecked);
    m_checked.push_back(dhcp);
  }
  m_filling = false;

  if (count > 0) {
    const app::UdpConfigEntry& first = m_table->entries[0];
    m_ip->setText(Latin1(first.ip));
    m_mask->setText(Latin1(first.mask));
    m_gateway->setText(Latin1(first.gateway));
    m_alias->setText(Latin1(first.alias));
    m_dhcp->setCurrentIndex(app::DhcpIsOn(first.dhcp) ? 1 : 0);
    m_deviceName->setText(m_several ? QString::fromLatin1(kSeveral) : Latin1(first.name));
    m_mac->setText(m_several ? QString::fromLatin1(kSeveral) : Latin1(first.mac));
  }
  m_copy->setVisible(m_several);
  m_previewCaption->setVisible(m_several);
  m_preview->setVisible(m_several);
  m_cellEditor->hide();
  ApplyDhcpRule();
  adjustSize();
  if (!m_several) ShortenForOneDevice();
}

void CUConfigDev::ShortenForOneDevice() {
  // The buttons are the last thing shown: at its natural height, with this
  // margin below, the dialog ends 20 pixels under Cancel.
  QMargins margins = layout()->contentsMargins();
  margins.setBottom(kBelowCancel);
  layout()->setContentsMargins(margins);
  layout()->invalidate();
  setFixedHeight(layout()->sizeHint().height());
}

void CUConfigDev::ApplyDhcpRule() {
  const bool fieldsOn = m_dhcp->currentIndex() == 0;
  m_ip->setEnabled(fieldsOn);
  m_mask->setEnabled(fieldsOn);
  m_gateway->setEnabled(fieldsOn);
}

app::NetworkValues CUConfigDev::Values() const {
  app::NetworkValues values;
  values.dhcp = m_dhcp->currentIndex() == 1 ? 1 : 0;
  values.ip = Text(m_ip->text());
  values.mask = Text(m_mask->text());
  values.gateway = Text(m_gateway->text());
  values.alias = Text(m_alias->text());
  return values;
}

std::vector<app::PreviewRow> CUConfigDev::PreviewRows() const {
  std::vector<app::PreviewRow> rows;
  for (int r = 0; r < m_preview->topLevelItemCount(); ++r) {
    const QTreeWidgetItem* item = m_preview->topLevelItem(r);
    app::PreviewRow row;
    row.dhcp = item->checkState(kDhcp) == Qt::Checked;
    row.alias = Text(item->text(kAlias));
    row.ip = Text(item->text(kIp));
    row.mask = Text(item->text(kMask));
    row.gateway = Text(item->text(kGateway));
    rows.push_back(row);
  }
  return rows;
}

void CUConfigDev::ShowMessage(const std::string& text) {
  tarvik::ShowMessageBox(text.c_str(), kAppCaption, tarvik::kMbOk | tarvik::kMbIconWarning);
}

void CUConfigDev::CopySettings() {
  if (!m_several) return;
  if (m_editRow >= 0) WriteCell();
  std::vector<app::PreviewRow> rows = PreviewRows();
  if (const char* failure = app::CopySettings(Values(), m_taken, &rows)) {
    ShowMessage(failure);
    return;
  }
  m_filling = true;
  for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
    QTreeWidgetItem* item = m_preview->topLevelItem(r);
    const app::PreviewRow& row = rows[r];
    item->setCheckState(kDhcp, row.dhcp ? Qt::Checked : Qt::Unchecked);
    m_checked[r] = row.dhcp;
    item->setText(kAlias, QString::fromLatin1(row.alias.c_str()));
    item->setText(kIp, QString::fromLatin1(row.ip.c_str()));
    item->setText(kMask, QString::fromLatin1(row.mask.c_str()));
    item->setText(kGateway, QString::fromLatin1(row.gateway.c_str()));
  }
  m_filling = false;
}

void CUConfigDev::accept() {
  if (m_editRow >= 0) WriteCell();
  std::string message;
  const bool ok = m_several ? app::AcceptPreviewRows(PreviewRows(), m_table, &message)
                            : app::AcceptOneDevice(Values(), &m_table->entries[0], &message);
  if (!ok) {
    ShowMessage(message);
    return;
  }
  QDialog::accept();
}

void CUConfigDev::CellClicked(QTreeWidgetItem* item, int column) {
  if (!item || column < kAlias || column > kGateway) return;
  if (item->checkState(kDhcp) == Qt::Checked) return;
  if (m_editRow >= 0) WriteCell();
  m_editRow = m_preview->indexOfTopLevelItem(item);
  m_editColumn = column;
  QRect cell = m_preview->visualItemRect(item);
  cell.setLeft(m_preview->header()->sectionViewportPosition(column));
  cell.setWidth(m_preview->columnWidth(column));
  m_cellEditor->setGeometry(cell);
  m_cellEditor->setMaxLength(column == kAlias ? kAliasCellMax : kAddressCellMax);
  m_cellEditor->setText(item->text(column));
  m_cellEditor->setCursorPosition(m_cellEditor->text().size());
  m_cellEditor->show();
  m_cellEditor->setFocus();
}

void CUConfigDev::WriteCell() {
  if (m_editRow < 0) return;
  const int row = m_editRow;
  m_editRow = -1;  // hiding takes the focus away, which must not write again
  if (QTreeWidgetItem* item = m_preview->topLevelItem(row)) {
    m_filling = true;
    item->setText(m_editColumn, m_cellEditor->text());
    m_filling = false;
  }
  m_editColumn = -1;
  m_cellEditor->hide();
}

bool CUConfigDev::eventFilter(QObject* watched, QEvent* event) {
  // Enter in the cell editor ends the edit and must not close the dialog
  // through its default button.
  if (watched == m_cellEditor && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      WriteCell();
      return true;
    }
    // Escape drops the edit rather than the whole dialog.
    if (key->key() == Qt::Key_Escape) {
      CancelCellEdit();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void CUConfigDev::CancelCellEdit() {
  m_editRow = -1;
  m_editColumn = -1;
  m_cellEditor->hide();
}

void CUConfigDev::CheckStateChanged(QTreeWidgetItem* item, int column) {
  if (m_filling || column != kDhcp) return;
  const int row = m_preview->indexOfTopLevelItem(item);
  if (row < 0 || row >= static_cast<int>(m_checked.size())) return;
  const bool checked = item->checkState(kDhcp) == Qt::Checked;
  if (checked == m_checked[row]) return;
  m_checked[row] = checked;
  if (checked && row == m_editRow) CancelCellEdit();  // a DHCP row has no addresses to edit
  ShowDeviceAddresses(row, checked);
}

void CUConfigDev::ShowDeviceAddresses(int row, bool checked) {
  QTreeWidgetItem* item = m_preview->topLevelItem(row);
  QString ip = QString::fromLatin1(app::kNoAddressText), mask = ip, gateway = ip;
  if (!checked) {
    app::ModuleInfo info;
    std::memset(&info, 0, sizeof info);
    m_reader(m_table->entries[row].moduleIndex, &info);
    ip = Latin1(info.ip);
    mask = Latin1(info.mask);
    gateway = Latin1(info.gateway);
  }
  m_filling = true;
  item->setText(kIp, ip);
  item->setText(kMask, mask);
  item->setText(kGateway, gateway);
  m_filling = false;
}
