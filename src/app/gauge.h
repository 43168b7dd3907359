// The progress gauge (CGauge1): a navy bar on white with a single-line border and the value as
// centred percentage text that stays readable where the bar runs under it.
#pragma once
#include <QProgressBar>

namespace corvane::app {

class Gauge : public QProgressBar {
  Q_OBJECT

 public:
  explicit Gauge(QWidget* parent = nullptr);

  // Sets the value, clamped to 0..100 (QProgressBar::setValue ignores out-of-range values).
  void SetPercent(int percent);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace corvane::app
