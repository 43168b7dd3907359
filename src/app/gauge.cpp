#include "gauge.h"

#include <QPainter>
#include <QRegion>
#include <algorithm>

namespace corvane::app {

namespace {
const QColor kBar(0, 0, 128);  // navy
const QColor kBack(255, 255, 255);
const QColor kBorder(0, 0, 0);
}  // namespace

Gauge::Gauge(QWidget* parent) : QProgressBar(parent) {
  setRange(0, 100);
  setValue(0);
  setTextVisible(true);
  setFormat(QStringLiteral("%p%"));
  setOrientation(Qt::Horizontal);
}

void Gauge::SetPercent(int percent) { setValue(std::clamp(percent, 0, 100)); }

void Gauge::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect outer = rect();
  painter.setPen(kBorder);
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(outer.adjusted(0, 0, -1, -1));

  const QRect inner = outer.adjusted(1, 1, -1, -1);
  const int span = maximum() - minimum();
  const int filled = span > 0 ? inner.width() * (value() - minimum()) / span : 0;
  const QRect bar(inner.left(), inner.top(), filled, inner.height());
  painter.fillRect(inner, kBack);
  painter.fillRect(bar, kBar);

  // The text in white over the bar and in navy over the white part, so every digit stays visible.
  const QString label = text();
  const QRegion barRegion(bar);
  painter.setClipRegion(barRegion);
  painter.setPen(kBack);
  painter.drawText(inner, Qt::AlignCenter, label);
  painter.setClipRegion(QRegion(inner).subtracted(barRegion));
  painter.setPen(kBar);
  painter.drawText(inner, Qt::AlignCenter, label);
}

}  // namespace corvane::app
