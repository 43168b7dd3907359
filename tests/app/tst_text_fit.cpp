// Every text the window shows fits its control with the font the window really got: the status
// texts in the status bar's message area, the buttons' captions, and every identification report
// (all models, both forms of each check, the widest numbers) in Memo1 without a wrapped line or a
// scroll bar.
#include <QFontInfo>
#include <QFontMetrics>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTextBlock>
#include <QtTest>

#include "device_models.h"
#include "identification.h"
#include "main_window.h"

using corvane::IdentificationRecord;
using corvane::app::MainWindow;

namespace {

// The widest decimal number from 0 to `max` in these metrics.
std::uint16_t WidestNumber(const QFontMetrics& metrics, int max) {
  int widest = 0, width = -1;
  for (int v = 0; v <= max; ++v) {
    const int w = metrics.horizontalAdvance(QString::number(v));
    if (w > width) {
      width = w;
      widest = v;
    }
  }
  return static_cast<std::uint16_t>(widest);
}

IdentificationRecord Record(int type, std::uint8_t bootloader, std::uint16_t version, bool checksOk) {
  IdentificationRecord r;
  r.bytes[0] = static_cast<std::uint8_t>(type >> 8);
  r.bytes[1] = static_cast<std::uint8_t>(type);
  r.bytes[2] = bootloader;
  r.bytes[3] = r.bytes[5] = static_cast<std::uint8_t>(version >> 8);
  r.bytes[4] = r.bytes[6] = static_cast<std::uint8_t>(version);
  r.bytes[7] = r.bytes[8] = checksOk ? 1 : 0;
  return r;
}

}  // namespace

class TextFitTest : public QObject {
  Q_OBJECT

  MainWindow* window_ = nullptr;

 private slots:
  void initTestCase() {
    window_ = new MainWindow;
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_));
    const QFontInfo got(window_->Memo()->font());
    qInfo().noquote() << "window font:" << got.family() << got.pixelSize() << "px, asked for"
                      << MainWindow::FontFamilies().join(", ");
    if (!MainWindow::FontFamilies().contains(got.family()))
      qWarning("none of the fonts the window asks for is installed (on Debian: fonts-liberation2)");
  }
  void cleanupTestCase() { delete window_; }

  void statusTextsFitTheStatusBar() {
    QStatusBar* bar = window_->StatusLine();
    // QStatusBar draws its message from 6 px after its left edge to 12 px before its right one.
    const int room = bar->width() - 6 - 12;
    const QFontMetrics metrics(bar->font());
    for (const char* text :
         {"device disconnected.", " Идет сканирование портов ", "The device is connected!", "Не удалось открыть порт",
          "Не удалось считать DCB", "Не удалось установить DCB", "Не удалось установить тайм-ауты",
          "Произведено 5 попыток коммуникации, связь прервана!"}) {
      const int width = metrics.horizontalAdvance(QString::fromUtf8(text));
      QVERIFY2(width <= room, qPrintable(QStringLiteral("\"%1\" needs %2 px, the status bar has %3")
                                             .arg(QString::fromUtf8(text))
                                             .arg(width)
                                             .arg(room)));
    }
  }

  void buttonCaptionsFit() {
    for (QPushButton* b : {window_->ConnectButton(), window_->DisconnectButton(), window_->UpdateFirmwareButton(),
                           window_->WriteDataMapButton()})
      QVERIFY2(b->sizeHint().width() <= b->width(), qPrintable(b->text()));
  }

  void everyReportFitsMemo1() {
    QPlainTextEdit* memo = window_->Memo();
    const QFontMetrics metrics(memo->font());
    const auto bootloader = static_cast<std::uint8_t>(WidestNumber(metrics, 255));
    const std::uint16_t version = WidestNumber(metrics, 65535);
    for (int type = 1; type <= 16; ++type) {
      for (const bool checksOk : {true, false}) {
        const auto lines = corvane::ReportLines(Record(type, bootloader, version, checksOk));
        QVERIFY(lines.size() >= 5);
        QStringList text;
        for (const auto& l : lines) text << QString::fromStdString(l);
        memo->setPlainText(text.join(QLatin1Char('\n')));
        QCoreApplication::processEvents();

        const QString what = QStringLiteral("model %1, checks %2").arg(type).arg(checksOk ? "ok" : "failed");
        int height = 0;
        for (QTextBlock block = memo->document()->firstBlock(); block.isValid(); block = block.next()) {
          const QRectF box = memo->document()->documentLayout()->blockBoundingRect(block);
          height += qCeil(box.height());
          QVERIFY2(block.layout()->lineCount() == 1,
                   qPrintable(what + QStringLiteral(": wraps \"%1\" (%2 px)")
                                         .arg(block.text())
                                         .arg(metrics.horizontalAdvance(block.text()))));
        }
        QVERIFY2(!memo->verticalScrollBar()->isVisible() && memo->verticalScrollBar()->maximum() == 0,
                 qPrintable(what + ": the last lines are behind a scroll bar"));
        QVERIFY2(!memo->horizontalScrollBar()->isVisible(), qPrintable(what));
        QVERIFY2(height <= memo->viewport()->height(), qPrintable(what + ": lines taller than the box"));
      }
    }
  }
};

QTEST_MAIN(TextFitTest)
#include "tst_text_fit.moc"
