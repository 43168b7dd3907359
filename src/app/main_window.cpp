#include "main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>

#include "gauge.h"
#include "texts.h"

namespace corvane::app {

namespace {

// A push button that Enter and Return press too, as Space does, while it has the focus.
class PushButton : public QPushButton {
 public:
  using QPushButton::QPushButton;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
      if (!event->isAutoRepeat()) click();
      event->accept();
      return;
    }
    QPushButton::keyPressEvent(event);
  }
};

QPushButton* MakeButton(QWidget* parent, const char* name, const char* text, QRect geometry) {
  auto* button = new PushButton(QString::fromUtf8(text), parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setGeometry(geometry);
  button->setAutoDefault(false);
  return button;
}

}  // namespace

MainWindow::MainWindow(QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      buttonFace_(QApplication::palette().color(QPalette::Active, QPalette::Button)) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QString::fromUtf8(texts::kCaption));
  setFixedSize(kClientWidth, kClientHeight);
  setAutoFillBackground(true);

  setWindowIcon(ApplicationIcon());
  SetUpFont();

  // Created in tab order.
  button1_ = MakeButton(this, "Button1", texts::kConnect, QRect(12, 128, 147, 25));
  button3_ = MakeButton(this, "Button3", texts::kDisconnect, QRect(166, 128, 149, 25));
  MakeMemo();
  button2_ = MakeButton(this, "Button2", texts::kUpdateFirmware, QRect(28, 158, 275, 25));
  button2_->setEnabled(false);
  button4_ = MakeButton(this, "Button4", texts::kWriteDataMap, QRect(28, 188, 275, 25));
  button4_->setEnabled(false);
  MakePortListGaugeAndStatusBar();

  SetBackground(buttonFace_);
  PlaceOnScreen();
}

void MainWindow::SetUpFont() {
  QFont windowFont;
  windowFont.setFamilies(FontFamilies());
  windowFont.setStyleHint(QFont::SansSerif);
  windowFont.setPixelSize(11);
  // Unrounded advances, so that a text is as wide on every desktop as the fit test measured.
  windowFont.setHintingPreference(QFont::PreferVerticalHinting);
  setFont(windowFont);
}

void MainWindow::MakeMemo() {
  memo1_ = new QPlainTextEdit(this);
  memo1_->setObjectName(QStringLiteral("Memo1"));
  memo1_->setGeometry(4, 8, 321, 111);
  memo1_->setReadOnly(false);
  memo1_->setTabChangesFocus(true);  // Tab moves on to the next control instead of typing a tab
  // A one-pixel sunken frame and a two-pixel margin whatever the style, as the classic box has:
  // in Liberation Sans the widest report line takes 314 of the 315 pixels left for text.
  memo1_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  memo1_->setLineWidth(1);
  memo1_->document()->setDocumentMargin(2);
  memo1_->setPlainText(QString());  // one empty line
}

void MainWindow::MakePortListGaugeAndStatusBar() {
  comboBox1_ = new QComboBox(this);
  comboBox1_->setObjectName(QStringLiteral("ComboBox1"));
  comboBox1_->setEditable(true);
  comboBox1_->setGeometry(184, 128, 145, 21);
  comboBox1_->setEditText(QString::fromUtf8(texts::kPortListStart));
  comboBox1_->setVisible(false);

  gauge1_ = new Gauge(this);
  gauge1_->setObjectName(QStringLiteral("CGauge1"));
  gauge1_->setGeometry(-2, 216, 333, 17);

  statusBar1_ = new QStatusBar(this);
  statusBar1_->setObjectName(QStringLiteral("StatusBar1"));
  statusBar1_->setGeometry(0, 232, 330, 25);
  statusBar1_->setSizeGripEnabled(false);
  // The status line keeps the button face whatever colour the window takes.
  QPalette statusPalette = statusBar1_->palette();
  statusPalette.setColor(QPalette::Window, buttonFace_);
  statusBar1_->setPalette(statusPalette);
  statusBar1_->setAutoFillBackground(true);
}

// The window's usual place on screen, when the screen is large enough to hold the window there.
void MainWindow::PlaceOnScreen() {
  const QPoint usualPlace(881, 131);
  if (const QScreen* screen = QGuiApplication::primaryScreen();
      screen && screen->availableGeometry().contains(QRect(usualPlace, size()))) {
    move(usualPlace);
  }
}

QStringList MainWindow::FontFamilies() {
  // The designed font and its TrueType successor, then the Arial-metric families found on Linux
  // (Liberation Sans, Arimo): a wider fallback would cut the longest status and report texts.
  return {QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Liberation Sans"),
          QStringLiteral("Arimo"), QStringLiteral("Arial")};
}

QIcon MainWindow::ApplicationIcon() {
  QIcon icon;
  for (const int size : {16, 32, 48, 64, 128, 256})
    icon.addFile(QStringLiteral(":/corvane/icons/corvane-programmer-%1.png").arg(size), QSize(size, size));
  return icon;
}

void MainWindow::SetBackground(const QColor& colour) {
  QPalette p = palette();
  p.setColor(QPalette::Window, colour);
  setPalette(p);
}

QColor MainWindow::Background() const { return palette().color(QPalette::Window); }

void MainWindow::closeEvent(QCloseEvent* event) {
  emit closing();
  event->accept();
}

}  // namespace corvane::app
