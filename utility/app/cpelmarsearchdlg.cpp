#include "cpelmarsearchdlg.h"

#include <QHeaderView>
#include <QTreeWidget>
#include <iterator>

namespace {

struct Column {
  const char* title;
  int width;
};

const Column kColumns[] = {
    {"Name", 100},        {"Alias", 100},       {"IP Address", 100}, {"Sub-net Mask", 100},
    {"Gateway", 100},     {"MAC Address", 100}, {"DHCP", 80},
};

}  // namespace

CPelmarSearchDlg::CPelmarSearchDlg(QWidget* parent) : QWidget(parent), m_list(new QTreeWidget(this)) {
  m_list->setRootIsDecorated(false);
  m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_list->setSortingEnabled(false);
  QStringList titles;
  for (const Column& column : kColumns) titles << QString::fromLatin1(column.title);
  m_list->setHeaderLabels(titles);
  for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i)
    m_list->setColumnWidth(i, kColumns[i].width);
}

bool CPelmarSearchDlg::CanSearch() const { return false; }

void CPelmarSearchDlg::Search() {}

bool CPelmarSearchDlg::CanConfigureByUdp() const { return false; }

void CPelmarSearchDlg::ConfigureByUdp() {}

void CPelmarSearchDlg::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  m_list->setGeometry(5, 5, qMax(0, width() - 5), qMax(0, height() - 5));
}
