// The identification record, the model table and the report lines.
#include "device_models.h"

#include <QTest>
#include <string>
#include <vector>

#include "bytes.h"
#include "frame.h"
#include "scrambler.h"

using namespace corvane;

namespace {

IdentificationRecord Record(std::initializer_list<std::uint8_t> head) {
  IdentificationRecord record;
  std::size_t i = 0;
  for (const auto b : head) record.bytes[i++] = b;
  return record;
}

QStringList Lines(const IdentificationRecord& record) {
  QStringList out;
  for (const auto& line : ReportLines(record)) out << QString::fromStdString(line);
  return out;
}

}  // namespace

class IdentificationTest : public QObject {
  Q_OBJECT

 private slots:
  void fields() {
    const auto record = Record({0x80, 0x01, 0x05, 0x00, 0x2A, 0x00, 0x03, 0x01, 0x00});
    QCOMPARE(record.TypeWord(), std::uint16_t{0x8001});
    QCOMPARE(record.TypeCode(), std::uint16_t{1});
    QVERIFY(record.Marked());
    QCOMPARE(record.BootloaderVersion(), std::uint8_t{5});
    QCOMPARE(record.InstalledFirmwareVersion(), std::uint16_t{42});
    QCOMPARE(record.DataMemoryVersion(), std::uint16_t{3});
    QCOMPARE(record.ProgramMemoryCheck(), std::uint8_t{1});
    QCOMPARE(record.DataMemoryCheck(), std::uint8_t{0});
    QVERIFY(!Record({0x00, 0x01}).Marked());
  }

  void modelOneReport() {
    const QStringList expected{
        "Подключено устройство: Quarnel Basis",
        "",
        "Версия загрузчика (bootloader):  5",
        "Версия микропрограммы (firmware): 42",
        "Верcия памяти данных (Data): 3",
        "Верификация памяти программ:  OK",
        "Верификация памяти данных:       Пусто либо повреждение",
    };
    const auto record = Record({0x00, 0x01, 0x05, 0x00, 0x2A, 0x00, 0x03, 0x01, 0x00});
    QCOMPARE(Lines(record), expected);
    // The data line's "Верcия" has a Latin c as its fourth letter.
    const QString dataLine = Lines(record)[4];
    QCOMPARE(dataLine[3], QChar('c'));
    QCOMPARE(dataLine[1], QChar(0x0435));  // Cyrillic е

    // The mark bit and the uninterpreted record bytes 9..31 change nothing.
    auto marked = Record({0x80, 0x01, 0x05, 0x00, 0x2A, 0x00, 0x03, 0x01, 0x00});
    for (std::size_t i = 9; i < 32; ++i) marked.bytes[i] = static_cast<std::uint8_t>(0xF0 + i);
    QCOMPARE(Lines(marked), expected);

    const auto intactData = Record({0x00, 0x01, 0x05, 0x00, 0x2A, 0x00, 0x03, 0x01, 0x01});
    QCOMPARE(Lines(intactData).last(), QString("Верификация памяти данных:       OK"));
  }

  void russianModelReport() {
    const auto record = Record({0x00, 0x05, 0x00, 0x00, 0x07, 0x12, 0x34, 0x00, 0x01});
    const QStringList expected{
        "Подключено устройство: Quarnel Stage controller",
        "",
        "Версия загрузчика (bootloader):  0",
        "Версия микропрограммы (firmware): 7",
        "Верификация памяти программ:  FALSE память повреждена!",
    };
    QCOMPARE(Lines(record), expected);
  }

  void englishModelReport() {
    const auto record = Record({0x00, 0x0E, 0x02, 0x01, 0x02, 0x00, 0x00, 0x01});
    const QStringList expected{
        "Connected device: Quarnel Zeta r1 ",  "", "Boot Loader Version:  2", "Firmware version: 258",
        "Verification of program memory:  OK",
    };
    QCOMPARE(Lines(record), expected);
    const auto bad = Record({0x00, 0x0C, 0x02, 0x01, 0x02, 0x00, 0x00, 0x02});
    QCOMPARE(Lines(bad).first(), QString("Connected device: Quarnel Vela RF r7 (b)"));
    QCOMPARE(Lines(bad).last(), QString("Verification of program memory:  FALSE memory corrupted!"));
  }

  void numbersAreUnsignedDecimal() {
    const auto high = Record({0x00, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0x01});
    const auto lines = Lines(high);
    QCOMPARE(lines[2], QString("Версия загрузчика (bootloader):  255"));
    QCOMPARE(lines[3], QString("Версия микропрограммы (firmware): 65535"));
    QCOMPARE(lines[4], QString("Верcия памяти данных (Data): 65535"));
    const auto mid = Record({0x00, 0x10, 0x00, 0x01, 0x02, 0x00, 0x00, 0x01});
    QCOMPARE(Lines(mid)[3], QString("Firmware version: 258"));
  }

  // Only a check byte of exactly 1 counts as intact.
  void checkBytes() {
    for (const std::uint8_t value : {0, 2, 255}) {
      const auto lines = Lines(Record({0x00, 0x01, 1, 0, 1, 0, 1, value, value}));
      QCOMPARE(lines[5], QString("Верификация памяти программ:  FALSE память повреждена!"));
      QCOMPARE(lines[6], QString("Верификация памяти данных:       Пусто либо повреждение"));
    }
  }

  void modelTable() {
    const QStringList firstLines{
        "Подключено устройство: Quarnel Basis",
        "Подключено устройство: Quarnel Alto/Quarnel Pixel Controller",
        "Подключено устройство: Quarnel Alto Max",
        "Подключено устройство: Quarnel Cell",
        "Подключено устройство: Quarnel Stage controller",
        "Подключено устройство: Quarnel Stage Net",
        "Подключено устройство: FTP SERVER (Quarnel Stage Net)",
        "Подключено устройство: Quarnel Vela",
        "Подключено устройство: Quarnel Sound board",
        "Подключено устройство: Quarnel Vela RF",
        "Подключено устройство: Quarnel Vela + DMX r3",
        "Connected device: Quarnel Vela RF r7 (b)",
        "Connected device: Quarnel Vela RF r8 (b)",
        "Connected device: Quarnel Zeta r1 ",
        "Connected device: Quarnel Zeta RF r1 ",
        "Connected device: Quarnel Zeta RF r2 ",
    };
    for (std::uint16_t code = 1; code <= 16; ++code) {
      const DeviceModel* model = FindModel(code);
      QVERIFY(model != nullptr);
      QCOMPARE(model->code, code);
      const auto lines = Lines(Record({0x00, static_cast<std::uint8_t>(code), 1, 0, 1, 0, 1, 1, 1}));
      QCOMPARE(lines.size(), code == 1 ? 7 : 5);
      QCOMPARE(lines[0], firstLines[code - 1]);
      QCOMPARE(lines[2], QString(code <= 11 ? "Версия загрузчика (bootloader):  1" : "Boot Loader Version:  1"));
    }
  }

  void unsupportedCodes() {
    for (const std::uint16_t word : {0x0000, 0x0011, 0x7FFF, 0x8000, 0x8011, 0xFFFF}) {
      auto record = Record({0, 0, 1, 0, 1, 0, 1, 1, 1});
      WriteBe16(&record.bytes[0], word);
      QVERIFY(ReportLines(record).empty());
      QVERIFY(FindModel(record.TypeCode()) == nullptr);
      QCOMPARE(record.Marked(), (word & 0x8000) != 0);
    }
    QCOMPARE(Record({0x7F, 0xFF}).TypeCode(), std::uint16_t{32767});
  }

  void decodeReply() {
    Frame frame{};
    WriteBe16(&frame[kTypeOffset], kIdentifyReply);
    for (std::size_t i = kSeedOffset; i < kSeedOffset + kSeedSize; ++i) frame[i] = static_cast<std::uint8_t>(i * 37);
    const auto record = Record({0x80, 0x03, 9, 0x01, 0x00, 0, 0, 1, 0, 0x55});
    ScrambleRecord(frame.data(), record.bytes.data());
    SealFrame(frame.data());

    const auto decoded = DecodeIdentifyReply(frame.data());
    QVERIFY(decoded.has_value());
    QVERIFY(decoded->bytes == record.bytes);

    // A damaged record (its frame CRC made good again) is refused.
    frame[kRecordOffset + 6] ^= 0x01;
    SealFrame(frame.data());
    QVERIFY(!DecodeIdentifyReply(frame.data()).has_value());
  }
};

QTEST_APPLESS_MAIN(IdentificationTest)
#include "identification_test.moc"
