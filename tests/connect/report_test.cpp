// The identification reply: record check, device report, colour, and the dispatch by type code.
#include <QTest>

#include "bytes.h"
#include "connect_rig.h"
#include "device_report.h"
#include "disconnector.h"
#include "receiver.h"

using namespace corvane;
using namespace corvane::testing;

namespace {

class RecordingHandlers : public TransferHandlers {
 public:
  explicit RecordingHandlers(EventLog& log) : log_(log) {}
  void HandleBlockRequest(const std::uint8_t* f) override { Add("block", f); }
  void HandleTimeoutUpdate(const std::uint8_t* f) override { Add("timeout", f); }
  void HandleResult(TransferKind kind, const std::uint8_t* f) override {
    Add(kind == TransferKind::kFirmware ? "firmware" : "datamap", f);
  }

 private:
  void Add(const char* name, const std::uint8_t* f) {
    log_.Add(std::string("handler:") + name + ":" + std::to_string(f[kVerdictOffset]));  // the byte DeviceFrame set
  }
  EventLog& log_;
};

struct ReportRig : FakeWindow {
  DeviceState device;
  Disconnector disconnector{view, timer1, timer2, link};
  DeviceReport report{view, device, disconnector};
  RecordingHandlers handlers{log};
  Receiver receiver{view, report, handlers};
  bool Reply(const std::vector<std::uint8_t>& record, std::uint8_t tail = 0) {
    return receiver.HandleIdentifyReply(IdentifyReply(record, false, tail).data());
  }
};

const std::vector<std::string> kModelOneReport = {
    "Подключено устройство: Quarnel Basis",
    "",
    "Версия загрузчика (bootloader):  5",
    "Версия микропрограммы (firmware): 42",
    "Верcия памяти данных (Data): 3",
    "Верификация памяти программ:  OK",
    "Верификация памяти данных:       Пусто либо повреждение",
};

}  // namespace

class ReportTest : public QObject {
  Q_OBJECT

 private slots:
  void modelOneReportAndButtons() {
    ReportRig r;
    QVERIFY(r.Reply({0x00, 0x01, 0x05, 0x00, 0x2A, 0x00, 0x03, 0x01, 0x00}));
    QCOMPARE(r.view.memo, kModelOneReport);
    QCOMPARE(r.device.ConnectedDeviceType, 1);
    QCOMPARE(r.device.ConnectedFirmwareVersion, 42);
    QCOMPARE(r.device.ConnectedDataVersion, 3);
    QCOMPARE(r.device.ProgramMemoryOk, 1);
    QVERIFY(!r.view.connectEnabled && r.view.firmwareEnabled && r.view.dataMapVisible && r.view.dataMapEnabled);
    QVERIFY(r.log.Find("view.show:datamap") < r.log.Find("view.enable:datamap"));
    QCOMPARE(r.view.background, Colour::kLightGreen);
    QVERIFY(!r.receiver.DeviceMarked());
    QCOMPARE(r.view.outcomes, std::vector<Outcome>{Outcome::kDeviceReported});

    // Bytes 9..31 mean nothing here; the mark bit only changes the colour.
    ReportRig marked;
    QVERIFY(marked.Reply({0x80, 0x01, 0x05, 0x00, 0x2A, 0x00, 0x03, 0x01, 0x00}, 0xEE));
    QCOMPARE(marked.view.memo, kModelOneReport);
    QCOMPARE(marked.device.ConnectedDeviceType, 1);
    QCOMPARE(marked.view.background, Colour::kRed);
    QVERIFY(marked.receiver.DeviceMarked());
  }

  void russianAndEnglishModels() {
    ReportRig r;
    QVERIFY(r.Reply({0x00, 0x01, 0x05, 0x00, 0x2A, 0x00, 0x03, 0x01, 0x01}));
    QVERIFY(r.Reply({0x00, 0x03, 0xFF, 0xFF, 0xFF, 0x00, 0x09, 0x00, 0x01}));
    const std::vector<std::string> alto = {
        "Подключено устройство: Quarnel Alto Max", "", "Версия загрузчика (bootloader):  255",
        "Версия микропрограммы (firmware): 65535", "Верификация памяти программ:  FALSE память повреждена!"};
    QCOMPARE(r.view.memo, alto);
    QVERIFY(!r.view.dataMapVisible);
    QVERIFY(r.view.dataMapEnabled);              // hiding leaves the enabled state as model 1 left it
    QCOMPARE(r.device.ConnectedDataVersion, 3);  // only model 1 writes it
    QCOMPARE(r.device.ProgramMemoryOk, 0);

    QVERIFY(r.Reply({0x00, 0x0E, 0x00, 0x01, 0x02, 0x00, 0x00, 0x01, 0x00}));
    const std::vector<std::string> zeta = {"Connected device: Quarnel Zeta r1 ", "", "Boot Loader Version:  0",
                                           "Firmware version: 258", "Verification of program memory:  OK"};
    QCOMPARE(r.view.memo, zeta);
    QCOMPARE(r.device.ProgramMemoryOk, 1);
  }

  void onlyCheckValueOneIsIntact() {
    for (std::uint8_t check : {0, 2, 255}) {
      ReportRig r;
      QVERIFY(r.Reply({0x00, 0x0C, 1, 0, 1, 0, 0, check, 0}));
      QCOMPARE(r.view.memo.back(), std::string("Verification of program memory:  FALSE memory corrupted!"));
      QCOMPARE(r.device.ProgramMemoryOk, 0);
      QVERIFY(r.Reply({0x00, 0x01, 1, 0, 1, 0, 0, 1, check}));
      QCOMPARE(r.view.memo.back(), std::string("Верификация памяти данных:       Пусто либо повреждение"));
    }
  }

  void unsupportedTypeDisconnectsThenBoxThenColour() {
    for (std::uint16_t word : {0x0000, 0x0011, 0x7FFF, 0x8000}) {
      ReportRig r;
      r.device = {9, 77, 5, 1};
      std::vector<std::uint8_t> record{0, 0, 1, 2, 3, 4, 5, 1, 1};
      WriteBe16(&record[0], word);
      QVERIFY(r.Reply(record));
      QCOMPARE(r.device.ConnectedDeviceType, word & 0x7FFF);
      QCOMPARE(r.device.ConnectedFirmwareVersion, 77);
      QCOMPARE(r.device.ConnectedDataVersion, 5);
      QCOMPARE(r.device.ProgramMemoryOk, 1);
      QCOMPARE(r.view.boxes.size(), 1u);
      QCOMPARE(r.view.boxes[0].text,
               std::string("Тип подключенного прибора не поддерживается программатором, обновите ПО!"));
      QCOMPARE(r.view.boxes[0].caption, std::string("Ошибка"));
      QCOMPARE(r.view.boxes[0].buttons, BoxButtons::kOk);
      const bool marked = word & 0x8000;
      const int reset = r.log.Find("view.gauge:0");
      const int box = r.log.Find("view.box:" + r.view.boxes[0].text);
      const int colour = r.log.Find(marked ? "view.colour:red" : "view.colour:green");
      QVERIFY(r.log.Find("link.close") < reset && reset < box && box < colour);
      QVERIFY(r.view.memo.empty() && r.view.connectEnabled && !r.view.firmwareEnabled && !r.view.dataMapEnabled);
      QCOMPARE(r.receiver.DeviceMarked(), marked);
      QCOMPARE(r.view.outcomes, std::vector<Outcome>{Outcome::kDeviceUnsupported});
    }
  }

  void recordWithBadCrcChangesNothing() {
    ReportRig r;
    QVERIFY(r.Reply({0x80, 0x01, 0x05, 0x00, 0x2A, 0x00, 0x03, 0x01, 0x00}));
    const DeviceState before = r.device;
    r.log.Clear();
    QVERIFY(!r.receiver.HandleIdentifyReply(IdentifyReply({0x00, 0x02, 1, 0, 9, 0, 0, 1, 1}, true).data()));
    QVERIFY(r.log.events.empty());
    QCOMPARE(r.device.ConnectedFirmwareVersion, before.ConnectedFirmwareVersion);
    QVERIFY(r.receiver.DeviceMarked());
    QCOMPARE(r.view.memo, kModelOneReport);
  }

  void dispatchRoutesByTheWholeTypeCode() {
    ReportRig r;
    const std::pair<std::uint16_t, const char*> routed[] = {{0xDA04, "handler:block:7"},
                                                            {0xDA05, "handler:timeout:7"},
                                                            {0xDA07, "handler:firmware:7"},
                                                            {0xDA09, "handler:datamap:7"}};
    for (const auto& [type, event] : routed) {
      r.log.Clear();
      r.receiver.DispatchFrame(DeviceFrame(type, {7}).data());
      QCOMPARE(r.log.events, std::vector<std::string>{event});
    }
    for (std::uint16_t type : {0xDA00, 0xDA02, 0xDA03, 0xDA06, 0xDA08, 0xDA0A, 0x01DA, 0x0004}) {
      r.log.Clear();
      r.receiver.DispatchFrame(DeviceFrame(type, {7}).data());
      QVERIFY(r.log.events.empty());
    }
    Frame f = IdentifyReply({0x00, 0x05, 1, 0, 1, 0, 0, 1, 0});
    WriteBe16(&f[kSequenceOffset], 0x1234);  // any sequence is dispatched
    SealFrame(f.data());
    r.receiver.DispatchFrame(f.data());
    QCOMPARE(r.view.memo.front(), std::string("Подключено устройство: Quarnel Stage controller"));
  }
};

QTEST_APPLESS_MAIN(ReportTest)
#include "report_test.moc"
