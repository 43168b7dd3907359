// Identification, a firmware update and a data map update through the window while the
// controller hands its answers over in the pieces and at the times real adapters do (and in two
// halves): the pieces are joined, and the device never sees a block repeated.
#include <QApplication>
#include <QLoggingCategory>
#include <QPushButton>
#include <QTest>
#include <atomic>

#include "line_time.h"
#include "expected_texts.h"
#include "window_rig.h"

using namespace corvane;
using namespace corvane::e2e;
using namespace std::chrono_literals;

namespace {

// The frame joiner's trace lines, counted on whatever thread they come from.
std::atomic<int> joinedLines{0};
QtMessageHandler previousHandler = nullptr;

void CountJoinerLines(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (context.category && qstrcmp(context.category, "corvane.frames") == 0) {
    if (message.startsWith("joined")) ++joinedLines;
    return;
  }
  previousHandler(type, context, message);
}

}  // namespace

class DeliveryEndToEndTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QApplication::setQuitOnLastWindowClosed(false);
    QLoggingCategory::setFilterRules("corvane.frames.debug=true");
    previousHandler = qInstallMessageHandler(CountJoinerLines);
  }
  void cleanupTestCase() { qInstallMessageHandler(previousHandler); }

  void everyDeliveryWithoutResends_data() {
    QTest::addColumn<int>("delivery");
    QTest::addColumn<bool>("split");
    for (const Delivery d : kDeliveries) QTest::newRow(DeliveryName(d)) << static_cast<int>(d) << false;
    QTest::newRow("split") << static_cast<int>(Delivery::kWhole) << true;
  }

  void everyDeliveryWithoutResends() {
    QFETCH(int, delivery);
    QFETCH(bool, split);
    SimConfig config = ModelOne();
    config.lineBaud = 115200;
    config.delivery = static_cast<Delivery>(delivery);
    config.resendRule = ResendRule::kAlways;  // every repeat counts; the files have no equal blocks in a row
    config.faults.splitReply = split;
    config.faults.splitPauseMs = 10;  // within the 40 ms the first block's answer may take
    std::string error;
    auto device = StartDevice(config, &error);
    QVERIFY2(device, error.c_str());
    QTemporaryDir dir;
    const UpdateFile firmware = WriteFirmware(dir, 43, 4096);
    const UpdateFile map = WriteDataMap(dir, 3, 4096);
    QVERIFY(!firmware.path.isEmpty() && !map.path.isEmpty());
    joinedLines = 0;
    WindowRig r({device->SlavePath()});

    struct Update {
      const UpdateFile& file;
      QPushButton* button;
      QString verdict;
    };
    for (const Update& u : {Update{firmware, r.window.UpdateFirmwareButton(), "Firmware update completed successfully!"},
                            Update{map, r.window.WriteDataMapButton(), "Обновление карты данных успешно завершено!"}}) {
      device->ClearObservations();
      r.dialogs.boxes.clear();
      r.Click(r.window.ConnectButton());
      QVERIFY(WaitFor([&] { return u.button->isEnabled(); }));
      QCOMPARE(r.Memo(), kModelOneReport);
      r.dialogs.files = {u.file.path};
      r.Click(u.button);
      QVERIFY(WaitFor([&] { return !r.dialogs.boxes.empty(); }, 60s));
      QCOMPARE(r.dialogs.boxes[0].text, u.verdict);
      const SimObservations seen = device->Observe();
      // A lost piece would cost a repeat for most answers (and fail the run where every answer
      // splits alike); a host on a heavily loaded machine may still miss the first block's 40 ms.
      QVERIFY2(seen.resends <= 2, qPrintable(QString::number(seen.resends)));
      QCOMPARE(seen.blocks.size() * 64, u.file.bytes.size());
      QVERIFY(seen.endFrame && seen.endFrame->crcOk);
      QVERIFY(r.Disconnected());
    }
    // Whole answers, and a CDC device's 64-byte packets, are frames by themselves; the others
    // came in pieces and were joined.
    const bool whole = delivery == static_cast<int>(Delivery::kWhole) || delivery == static_cast<int>(Delivery::kCdc);
    QCOMPARE(joinedLines.load() > 0, !whole || split);
  }
};

QTEST_MAIN(DeliveryEndToEndTest)
#include "delivery_e2e_test.moc"
