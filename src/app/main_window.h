// The main window (Form1): a fixed-size dialog-like window holding the controls at their
// fixed places. It shows what it is told and reports clicks and its closing; the logic
// lives elsewhere.
#pragma once
#include <QColor>
#include <QIcon>
#include <QStringList>
#include <QWidget>

class QComboBox;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;

namespace corvane::app {

class Gauge;

class MainWindow : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 330;
  static constexpr int kClientHeight = 257;

  explicit MainWindow(QWidget* parent = nullptr);

  // The font families the window asks for, in order of preference.
  static QStringList FontFamilies();
  // The program's icon, built into the program (the installed theme icons are the same pictures).
  static QIcon ApplicationIcon();

  QPushButton* ConnectButton() const { return button1_; }
  QPushButton* DisconnectButton() const { return button3_; }
  QPushButton* UpdateFirmwareButton() const { return button2_; }
  QPushButton* WriteDataMapButton() const { return button4_; }
  QPlainTextEdit* Memo() const { return memo1_; }
  QComboBox* PortList() const { return comboBox1_; }
  Gauge* ProgressGauge() const { return gauge1_; }
  QStatusBar* StatusLine() const { return statusBar1_; }

  // The background of the window's client area.
  void SetBackground(const QColor& colour);
  QColor Background() const;
  // The system's button-face colour, the background of a disconnected window.
  QColor ButtonFace() const { return buttonFace_; }

 signals:
  void closing();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void SetUpFont();
  void MakeMemo();
  void MakePortListGaugeAndStatusBar();
  void PlaceOnScreen();

  QColor buttonFace_;
  QPushButton* button1_;
  QPushButton* button3_;
  QPlainTextEdit* memo1_;
  QPushButton* button2_;
  QPushButton* button4_;
  QComboBox* comboBox1_;
  Gauge* gauge1_;
  QStatusBar* statusBar1_;
};

}  // namespace corvane::app
