// A tab control whose pages are child widgets (the panes of the main window).
// The tab bar runs along the top; the current page sits PageTop() pixels
// below the control's top-left corner and fills the rest, every other page is
// hidden and shrunk to nothing, so a hidden pane never takes input or paints.
#pragma once
#include <QWidget>

class QTabBar;

class CPageTabCtrl : public QWidget {
  Q_OBJECT
 public:
  explicit CPageTabCtrl(QWidget* parent = nullptr);

  // Inserts a tab and makes the page a child of the control. Returns the index.
  int AddPage(const QString& title, QWidget* page);
  int PageCount() const;
  QWidget* Page(int index) const;
  int CurrentIndex() const;
  void SetCurrentIndex(int index);
  QTabBar* TabBar() const { return m_bar; }

  int PageTop() const { return m_pageTop; }
  void SetPageTop(int top);
  // Keeps the current page this far from the left, right and bottom edges
  // (all 0 unless set), for dialogs whose pages sit inside a frame.
  void SetPageInsets(int left, int right, int bottom);
  // The frame the configuration dialogs give their pages: 10 pixels in from
  // the left, 30 down from the top, 20 narrower and 40 shorter than the
  // control.
  void UseDialogPageFrame();

  // Places the tab bar and the pages for the control's current size.
  void LayoutPages();

 signals:
  void currentChanged(int index);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void OnTabChanged(int index);

  QTabBar* m_bar;
  QList<QWidget*> m_pages;
  int m_pageTop = 30;
  int m_insetLeft = 0;
  int m_insetRight = 0;
  int m_insetBottom = 0;
};
