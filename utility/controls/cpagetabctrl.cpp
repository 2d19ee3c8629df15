#include "cpagetabctrl.h"

#include <QTabBar>

CPageTabCtrl::CPageTabCtrl(QWidget* parent) : QWidget(parent), m_bar(new QTabBar(this)) {
  m_bar->setDrawBase(true);
  m_bar->setExpanding(false);
  connect(m_bar, &QTabBar::currentChanged, this, &CPageTabCtrl::OnTabChanged);
}

int CPageTabCtrl::AddPage(const QString& title, QWidget* page) {
  page->setParent(this);
  m_pages.append(page);
  // Block the bar's signal while inserting: the first insert would otherwise
  // report a change before the page list is complete.
  const bool blocked = m_bar->blockSignals(true);
  const int index = m_bar->addTab(title);
  m_bar->blockSignals(blocked);
  LayoutPages();
  return index;
}

int CPageTabCtrl::PageCount() const { return m_pages.size(); }

QWidget* CPageTabCtrl::Page(int index) const {
  return index >= 0 && index < m_pages.size() ? m_pages[index] : nullptr;
}

int CPageTabCtrl::CurrentIndex() const { return m_bar->currentIndex(); }

void CPageTabCtrl::SetCurrentIndex(int index) { m_bar->setCurrentIndex(index); }

void CPageTabCtrl::SetPageTop(int top) {
  m_pageTop = top;
  LayoutPages();
}

void CPageTabCtrl::SetPageInsets(int left, int right, int bottom) {
  m_insetLeft = left;
  m_insetRight = right;
  m_insetBottom = bottom;
  LayoutPages();
}

void CPageTabCtrl::UseDialogPageFrame() {
  m_pageTop = 30;
  SetPageInsets(10, 10, 10);
}

void CPageTabCtrl::LayoutPages() {
  const int barHeight = qMin(m_pageTop, m_bar->sizeHint().height());
  m_bar->setGeometry(0, 0, width(), barHeight);
  const int current = m_bar->currentIndex();
  for (int i = 0; i < m_pages.size(); ++i) {
    QWidget* page = m_pages[i];
    if (i == current) {
      page->setGeometry(m_insetLeft, m_pageTop, qMax(0, width() - m_insetLeft - m_insetRight),
                        qMax(0, height() - m_pageTop - m_insetBottom));
      page->show();
    } else {
      page->hide();
      page->setGeometry(0, m_pageTop, 0, 0);
    }
  }
}

void CPageTabCtrl::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  LayoutPages();
}

void CPageTabCtrl::OnTabChanged(int index) {
  LayoutPages();
  emit currentChanged(index);
}
