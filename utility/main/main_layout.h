// Where the main window puts its tab control and status bar. The tab control
// keeps its top-left corner and takes the rest of the width (less a 5-pixel
// margin); the 25-pixel status bar sits 5 pixels under it, indented by 5, and
// reaches the right edge.
#pragma once
#include <QPoint>
#include <QRect>
#include <QSize>

constexpr int kStatusBarHeight = 25;

struct MainLayout {
  QRect tab;
  QRect statusBar;
};

// client: the size of the area below the menu bar; tabTopLeft: the tab
// control's corner in that area. Sizes never go below zero.
MainLayout ComputeMainLayout(QSize client, QPoint tabTopLeft);
