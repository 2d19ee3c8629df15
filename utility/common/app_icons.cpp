#include "app_icons.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int kIconSize = 32;

struct ThemeRow {
  CommandIcon which;
  const char* names[2];  // first theme name that the desktop has wins
};

const ThemeRow kThemeRows[] = {
    {CommandIcon::kAddServer, {"list-add", "document-new"}},
    {CommandIcon::kRemoveServer, {"list-remove", "edit-delete"}},
    {CommandIcon::kWeb, {"internet-web-browser", "applications-internet"}},
    {CommandIcon::kSearch, {"edit-find", "system-search"}},
};

QPixmap Canvas() {
  QPixmap pixmap(kIconSize, kIconSize);
  pixmap.fill(Qt::transparent);
  return pixmap;
}

QIcon DrawnIcon(CommandIcon which) {
  QPixmap pixmap = Canvas();
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF box(3, 3, 26, 26);
  switch (which) {
    case CommandIcon::kAddServer:
    case CommandIcon::kRemoveServer: {
      const bool add = which == CommandIcon::kAddServer;
      p.setPen(Qt::NoPen);
      p.setBrush(add ? QColor(40, 150, 60) : QColor(190, 50, 40));
      p.drawEllipse(box);
      p.setPen(QPen(Qt::white, 4, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(QPointF(10, 16), QPointF(22, 16));
      if (add) p.drawLine(QPointF(16, 10), QPointF(16, 22));
      break;
    }
    case CommandIcon::kWeb: {
      p.setPen(QPen(QColor(30, 90, 170), 2));
      p.setBrush(QColor(200, 225, 250));
      p.drawEllipse(box);
      p.setBrush(Qt::NoBrush);
      p.drawEllipse(QRectF(10, 3, 12, 26));
      p.drawLine(QPointF(3, 16), QPointF(29, 16));
      p.drawLine(QPointF(6, 9), QPointF(26, 9));
      p.drawLine(QPointF(6, 23), QPointF(26, 23));
      break;
    }
    case CommandIcon::kSearch: {
      p.setPen(QPen(QColor(60, 60, 60), 3));
      p.setBrush(QColor(210, 235, 255));
      p.drawEllipse(QRectF(4, 4, 17, 17));
      p.setPen(QPen(QColor(60, 60, 60), 5, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(QPointF(19, 19), QPointF(27, 27));
      break;
    }
  }
  return QIcon(pixmap);
}

// A device-server box with a serial connector, the program's mark.
void DrawDevice(QPainter& p, const QRectF& r) {
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(20, 50, 90), r.width() / 24));
  p.setBrush(QColor(50, 110, 180));
  p.drawRoundedRect(r, r.width() / 8, r.width() / 8);
  const qreal w = r.width(), h = r.height();
  QPainterPath plug;
  plug.moveTo(r.left() + w * 0.2, r.top() + h * 0.3);
  plug.lineTo(r.left() + w * 0.8, r.top() + h * 0.3);
  plug.lineTo(r.left() + w * 0.7, r.top() + h * 0.62);
  plug.lineTo(r.left() + w * 0.3, r.top() + h * 0.62);
  plug.closeSubpath();
  p.setBrush(QColor(235, 240, 245));
  p.drawPath(plug);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(20, 50, 90));
  for (int i = 0; i < 5; ++i)
    p.drawEllipse(QPointF(r.left() + w * (0.3 + 0.1 * i), r.top() + h * 0.4), w * 0.03, w * 0.03);
  for (int i = 0; i < 4; ++i)
    p.drawEllipse(QPointF(r.left() + w * (0.35 + 0.1 * i), r.top() + h * 0.52), w * 0.03, w * 0.03);
  p.setBrush(QColor(120, 220, 120));
  p.drawEllipse(QPointF(r.left() + w * 0.8, r.top() + h * 0.82), w * 0.05, w * 0.05);
}

}  // namespace

QIcon IconFor(CommandIcon which) {
  for (const ThemeRow& row : kThemeRows) {
    if (row.which != which) continue;
    for (const char* name : row.names) {
      const QString themeName = QString::fromLatin1(name);
      if (QIcon::hasThemeIcon(themeName)) return QIcon::fromTheme(themeName);
    }
  }
  return DrawnIcon(which);
}

QIcon ProgramIcon() {
  QIcon icon;
  for (int size : {16, 32, 48, 64}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    DrawDevice(p, QRectF(size * 0.06, size * 0.12, size * 0.88, size * 0.76));
    p.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

QPixmap LogoPixmap(const QSize& size) {
  QPixmap pixmap(size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF r(0.5, 0.5, size.width() - 1.0, size.height() - 1.0);
  QLinearGradient fill(r.topLeft(), r.bottomLeft());
  fill.setColorAt(0, QColor(235, 242, 250));
  fill.setColorAt(1, QColor(185, 205, 230));
  p.setPen(QPen(QColor(60, 90, 130), 1));
  p.setBrush(fill);
  p.drawRoundedRect(r, 6, 6);
  const qreal mark = qMin(r.height() * 0.7, r.width() * 0.35);
  DrawDevice(p, QRectF(r.left() + 6, r.center().y() - mark / 2, mark, mark));
  // The name as large as the room beside the mark allows.
  const QRectF room(r.left() + mark + 10, r.top(), r.width() - mark - 14, r.height());
  QFont font = p.font();
  font.setBold(true);
  int pixels = qMax(8, int(r.height() * 0.32));
  for (; pixels > 6; --pixels) {
    font.setPixelSize(pixels);
    if (QFontMetricsF(font).horizontalAdvance(QStringLiteral("TARVIK")) <= room.width()) break;
  }
  p.setFont(font);
  p.setPen(QColor(25, 55, 100));
  p.drawText(room, Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("TARVIK"));
  return pixmap;
}
