// The main window as built: caption, flags, geometry, names, texts and start states; the gauge.
#include <QComboBox>
#include <QFontDatabase>
#include <QImage>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QtTest>

#include "gauge.h"
#include "main_window.h"

using corvane::app::Gauge;
using corvane::app::MainWindow;

class WindowTest : public QObject {
  Q_OBJECT

 private slots:
  void captionAndFixedDialogFrame() {
    MainWindow w;
    QCOMPARE(w.objectName(), QString("Form1"));
    QCOMPARE(w.windowTitle(), QString("Corvane Programmer 1.28"));
    QCOMPARE(w.size(), QSize(330, 257));
    QCOMPARE(w.minimumSize(), QSize(330, 257));
    QCOMPARE(w.maximumSize(), QSize(330, 257));
    const Qt::WindowFlags f = w.windowFlags();
    QVERIFY(f.testFlag(Qt::Dialog));
    QVERIFY(!f.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!f.testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(f.testFlag(Qt::WindowCloseButtonHint));
  }

  void controlsAtTheirPlacesWithTheirTexts_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("Button1") << "Button1"
                             << "CONNECT" << QRect(12, 128, 147, 25) << true;
    QTest::newRow("Button3") << "Button3"
                             << "DISCONNECT" << QRect(166, 128, 149, 25) << true;
    QTest::newRow("Button2") << "Button2"
                             << "update firmware" << QRect(28, 158, 275, 25) << false;
    QTest::newRow("Button4") << "Button4"
                             << "write data map" << QRect(28, 188, 275, 25) << false;
  }
  void controlsAtTheirPlacesWithTheirTexts() {
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QRect, geometry);
    QFETCH(bool, enabled);
    MainWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    auto* b = w.findChild<QPushButton*>(name);
    QVERIFY(b);
    QCOMPARE(b->text(), text);
    QCOMPARE(b->geometry(), geometry);
    QCOMPARE(b->isEnabled(), enabled);
    QVERIFY(b->isVisible());  // Button4 too: disabled but visible
  }

  void otherControlsAndStartState() {
    MainWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    auto* memo = w.findChild<QPlainTextEdit*>("Memo1");
    QVERIFY(memo);
    QCOMPARE(memo->geometry(), QRect(4, 8, 321, 111));
    QCOMPARE(memo->toPlainText(), QString(""));
    QCOMPARE(memo->document()->blockCount(), 1);  // one empty line
    QVERIFY(!memo->isReadOnly());

    auto* combo = w.findChild<QComboBox*>("ComboBox1");
    QVERIFY(combo);
    QCOMPARE(combo->geometry(), QRect(184, 128, 145, 21));
    QVERIFY(combo->isEditable());
    QCOMPARE(combo->currentText(), QString("ComboBox1"));
    QVERIFY(!combo->isVisible());

    auto* gauge = w.findChild<Gauge*>("CGauge1");
    QVERIFY(gauge);
    QCOMPARE(gauge->geometry(), QRect(-2, 216, 333, 17));
    QCOMPARE(gauge->value(), 0);
    QCOMPARE(gauge->text(), QString("0%"));

    auto* status = w.findChild<QStatusBar*>("StatusBar1");
    QVERIFY(status);
    QCOMPARE(status->geometry(), QRect(0, 232, 330, 25));
    QCOMPARE(status->currentMessage(), QString(""));

    QCOMPARE(w.Background(), w.ButtonFace());
  }

  // Enter and Return press the focused button as Space does; Tab moves on from Memo1.
  void keyboardAsUsersExpect() {
    MainWindow w;
    w.show();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QPushButton* connect = w.ConnectButton();
    QSignalSpy clicks(connect, &QPushButton::clicked);
    connect->setFocus();
    QTest::keyClick(connect, Qt::Key_Return);
    QTest::keyClick(connect, Qt::Key_Enter, Qt::KeypadModifier);
    QTest::keyClick(connect, Qt::Key_Space);
    QCOMPARE(clicks.count(), 3);
    QTest::keyClick(connect, Qt::Key_Return, Qt::ControlModifier);
    QCOMPARE(clicks.count(), 3);

    QPlainTextEdit* memo = w.Memo();
    memo->setFocus();
    QVERIFY(memo->hasFocus());
    QTest::keyClick(memo, Qt::Key_Tab);
    QVERIFY(!memo->hasFocus());
    QCOMPARE(memo->toPlainText(), QString(""));
  }

  void iconBuiltIn() {
    MainWindow w;
    QCOMPARE(w.windowIcon().availableSizes().size(), 6);
  }

  void closingIsReported() {
    MainWindow w;
    w.show();
    QSignalSpy spy(&w, &MainWindow::closing);
    QVERIFY(w.close());
    QCOMPARE(spy.count(), 1);
  }

  void gaugeClampsAndShowsPercent() {
    Gauge g;
    QCOMPARE(g.minimum(), 0);
    QCOMPARE(g.maximum(), 100);
    g.SetPercent(40);
    QCOMPARE(g.text(), QString("40%"));
    g.SetPercent(250);
    QCOMPARE(g.value(), 100);
    QCOMPARE(g.text(), QString("100%"));
    g.SetPercent(-7);
    QCOMPARE(g.value(), 0);
    QCOMPARE(g.text(), QString("0%"));
  }

  // Navy bar on white inside a single-line border; the centred text is white over the bar and
  // navy over the white part, so it can be read at every value.
  void gaugePaintsBarBorderAndReadableText() {
    Gauge g;
    g.resize(333, 17);
    g.SetPercent(50);
    const QImage img = g.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRgb navy = qRgb(0, 0, 128), white = qRgb(255, 255, 255);
    QCOMPARE(img.pixel(0, 8), qRgb(0, 0, 0));  // border
    QCOMPARE(img.pixel(5, 2), navy);           // bar, left
    QCOMPARE(img.pixel(320, 2), white);        // background, right
    if (QFontDatabase::families().isEmpty()) QSKIP("no fonts to draw the text with");
    const int half = 1 + (331 * 50) / 100;
    int whiteInBar = 0, navyInBack = 0;
    for (int y = 1; y < 16; ++y)
      for (int x = 100; x < 233; ++x) {
        const QRgb p = img.pixel(x, y);
        if (x < half && p != navy) ++whiteInBar;
        if (x >= half && p != white) ++navyInBack;
      }
    QVERIFY2(whiteInBar > 0, "text over the bar is invisible");
    QVERIFY2(navyInBack > 0, "text over the background is invisible");
  }
};

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
