#include "main_layout.h"

#include <algorithm>

MainLayout ComputeMainLayout(QSize client, QPoint tabTopLeft) {
  const int width = std::max(0, client.width() - tabTopLeft.x() - 5);
  const int height = std::max(0, client.height() - tabTopLeft.y() - kStatusBarHeight - 10);
  MainLayout layout;
  layout.tab = QRect(tabTopLeft, QSize(width, height));
  layout.statusBar = QRect(QPoint(tabTopLeft.x() + 5, tabTopLeft.y() + height + 5),
                           QSize(width, kStatusBarHeight));
  return layout;
}
