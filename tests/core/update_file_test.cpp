// Packing and decoding of firmware image and data map files.
#include "update_file.h"

#include <QTest>
#include <cstring>
#include <memory>
#include <vector>

#include "hex.h"
#include "mt_random.h"
#include "packer.h"

using namespace corvane;
using corvane::testing::Hex;

namespace {

std::vector<std::uint8_t> Pattern(std::size_t size) {
  std::vector<std::uint8_t> v(size);
  for (std::size_t i = 0; i < size; ++i) v[i] = static_cast<std::uint8_t>(i * 7 + 3);
  return v;
}

std::vector<std::uint8_t> SampleFirmware(std::size_t imageSize = 1000, std::uint32_t seed = 1) {
  MersenneRandom random(seed);
  return PackFirmware({3, 0x0102, 0xCAFEF00D}, Pattern(imageSize), random);
}

std::vector<std::uint8_t> SampleDataMap(std::size_t mapSize = 300, std::uint32_t seed = 1) {
  MersenneRandom random(seed);
  return PackDataMap({1, 7, 0x01020304}, Pattern(mapSize), random);
}

// The first `length` bytes of `file` in a heap block of exactly that size, so that AddressSanitizer
// catches any read past the end.
std::unique_ptr<std::uint8_t[]> ExactCopy(const std::vector<std::uint8_t>& file, std::size_t length) {
  auto copy = std::make_unique<std::uint8_t[]>(length);
  std::memcpy(copy.get(), file.data(), length);
  return copy;
}

}  // namespace

class UpdateFileTest : public QObject {
  Q_OBJECT

 private slots:
  void validLengths() {
    QVERIFY(!IsValidUpdateLength(-1));
    QVERIFY(!IsValidUpdateLength(-256));
    QVERIFY(!IsValidUpdateLength(0));
    QVERIFY(!IsValidUpdateLength(192));
    QVERIFY(!IsValidUpdateLength(255));
    QVERIFY(IsValidUpdateLength(256));
    QVERIFY(!IsValidUpdateLength(257));
    QVERIFY(!IsValidUpdateLength(300));
    QVERIFY(IsValidUpdateLength(320));
    QVERIFY(IsValidUpdateLength(512));
    QVERIFY(IsValidUpdateLength(10'240'000));
    QVERIFY(IsValidUpdateLength(1LL << 40));
  }

  // Header fields are little-endian at fixed offsets; built here by hand, not by the packer.
  void fieldsAreLittleEndian() {
    FirmwareHeader fw;
    fw.bytes[0] = 0x03;
    fw.bytes[1] = 0x80;
    fw.bytes[2] = 0x34;
    fw.bytes[3] = 0x12;
    fw.bytes[12] = 0x44;
    fw.bytes[13] = 0x33;
    fw.bytes[14] = 0x22;
    fw.bytes[15] = 0x11;
    QCOMPARE(fw.DeviceType(), std::uint16_t{0x8003});
    QCOMPARE(fw.FirmwareVersion(), std::uint16_t{0x1234});
    QCOMPARE(fw.ClosingValue(), std::uint32_t{0x11223344});

    DataMapHeader dm;
    dm.bytes[0] = 0x01;  // the firmware header's type position means nothing here
    dm.bytes[4] = 0xDD;
    dm.bytes[5] = 0xCC;
    dm.bytes[6] = 0xBB;
    dm.bytes[7] = 0xAA;
    dm.bytes[8] = 0x03;
    dm.bytes[9] = 0x00;
    dm.bytes[10] = 0x02;
    dm.bytes[11] = 0x01;
    QCOMPARE(dm.ClosingValue(), std::uint32_t{0xAABBCCDD});
    QCOMPARE(dm.DataVersion(), std::uint16_t{3});
    QCOMPARE(dm.DeviceType(), std::uint16_t{0x0102});
  }

  void firmwareRoundTrip_data() {
    QTest::addColumn<int>("imageSize");
    QTest::addColumn<int>("expectedSize");
    QTest::newRow("empty") << 0 << 512;
    QTest::newRow("one byte") << 1 << 576;
    QTest::newRow("one block") << 64 << 576;
    QTest::newRow("partial") << 1000 << 1536;
  }
  void firmwareRoundTrip() {
    QFETCH(int, imageSize);
    QFETCH(int, expectedSize);
    const auto image = Pattern(static_cast<std::size_t>(imageSize));
    for (const FirmwareFields fields :
         {FirmwareFields{1, 42, 0x11223344}, FirmwareFields{0xFFFF, 0xFFFF, 0xFFFFFFFF}, FirmwareFields{0, 0, 0}}) {
      MersenneRandom random(99);
      const auto file = PackFirmware(fields, image, random);
      QCOMPARE(file.size(), std::size_t(expectedSize));
      QCOMPARE(PackedFirmwareSize(image.size()), file.size());
      QVERIFY(IsValidUpdateLength(static_cast<long long>(file.size())));

      const auto copy = ExactCopy(file, file.size());
      const auto decoded = DecodeFirmwareHeader(copy.get(), file.size());
      QVERIFY(decoded.ok);
      QCOMPARE(decoded.failedBlock, -1);
      QCOMPARE(decoded.header.DeviceType(), fields.deviceType);
      QCOMPARE(decoded.header.FirmwareVersion(), fields.firmwareVersion);
      QCOMPARE(decoded.header.ClosingValue(), fields.closingValue);

      // The image follows the header blocks unchanged, then zeros to the end of its last block.
      QVERIFY(std::equal(image.begin(), image.end(), file.begin() + 512));
      QVERIFY(std::all_of(file.begin() + 512 + imageSize, file.end(), [](std::uint8_t b) { return b == 0; }));
    }
  }

  // The packer draws every uninterpreted byte: other random bytes, same decoded fields.
  void firmwareRandomBytesVary() {
    const auto a = SampleFirmware(100, 1);
    const auto b = SampleFirmware(100, 2);
    QCOMPARE(a.size(), b.size());
    for (std::size_t k = 0; k < kFirmwareHeaderBlocks; ++k) {
      const auto* blockA = &a[k * 64];
      const auto* blockB = &b[k * 64];
      QVERIFY(Hex(blockA + kSeedOffset, kSeedSize) != Hex(blockB + kSeedOffset, kSeedSize));
      QVERIFY(Hex(blockA + kScrambledOffset, kScrambledSize) != Hex(blockB + kScrambledOffset, kScrambledSize));
    }
    const auto da = DecodeFirmwareHeader(a.data(), a.size());
    const auto db = DecodeFirmwareHeader(b.data(), b.size());
    QVERIFY(da.ok && db.ok);
    // Random filler differs, the three fields do not.
    QVERIFY(Hex(da.header.bytes) != Hex(db.header.bytes));
    QCOMPARE(Hex(da.header.bytes.data(), 4), Hex(db.header.bytes.data(), 4));
    QCOMPARE(Hex(da.header.bytes.data() + 12, 4), Hex(db.header.bytes.data() + 12, 4));
  }

  void headerBlockFlipFailsAtThatBlock() {
    const auto good = SampleFirmware();
    for (std::size_t k = 0; k < kFirmwareHeaderBlocks; ++k) {
      for (std::size_t offset = 24; offset < 60; ++offset) {
        for (int bit = 0; bit < 8; ++bit) {
          auto file = good;
          file[k * 64 + offset] ^= static_cast<std::uint8_t>(1u << bit);
          const auto decoded = DecodeFirmwareHeader(file.data(), file.size());
          QVERIFY(!decoded.ok);
          QCOMPARE(decoded.failedBlock, static_cast<int>(k));
        }
      }
    }
  }

  // A second damaged block behind the first is never looked at: the first one is reported.
  void firstDamagedBlockIsReported() {
    auto file = SampleFirmware();
    file[6 * 64 + 30] ^= 0x01;
    file[2 * 64 + 50] ^= 0x80;
    QCOMPARE(DecodeFirmwareHeader(file.data(), file.size()).failedBlock, 2);
  }

  void uninterpretedBytesDoNotMatter() {
    const auto good = SampleFirmware();
    const auto reference = DecodeFirmwareHeader(good.data(), good.size());
    QVERIFY(reference.ok);
    std::vector<std::size_t> offsets;
    for (std::size_t k = 0; k < kFirmwareHeaderBlocks; ++k) {
      for (std::size_t i = 0; i <= 3; ++i) offsets.push_back(k * 64 + i);
      for (std::size_t i = 13; i <= 23; ++i) offsets.push_back(k * 64 + i);
      for (std::size_t i = 60; i <= 63; ++i) offsets.push_back(k * 64 + i);
    }
    for (std::size_t i = 512; i < good.size(); ++i) offsets.push_back(i);
    for (const std::size_t offset : offsets) {
      auto file = good;
      file[offset] ^= 0xFF;
      const auto decoded = DecodeFirmwareHeader(file.data(), file.size());
      QVERIFY2(decoded.ok, qPrintable(QString("offset %1").arg(offset)));
      QCOMPARE(Hex(decoded.header.bytes), Hex(reference.header.bytes));
    }
  }

  // Files that end inside the eight header blocks fail at the first missing block and are never
  // read past their end (each copy is exactly sized for the address sanitizer).
  void shortFirmwareFails() {
    const auto good = SampleFirmware(0);
    for (std::size_t length : {0, 1, 63, 64, 200, 256, 300, 320, 384, 448, 511}) {
      const auto copy = length == 0 ? nullptr : ExactCopy(good, length);
      const auto decoded = DecodeFirmwareHeader(copy.get(), length);
      QVERIFY(!decoded.ok);
      QCOMPARE(decoded.failedBlock, static_cast<int>(length / 64));
    }
    const auto exact = ExactCopy(good, 512);
    QVERIFY(DecodeFirmwareHeader(exact.get(), 512).ok);
  }

  void dataMapRoundTrip_data() {
    QTest::addColumn<int>("mapSize");
    QTest::addColumn<int>("expectedSize");
    QTest::newRow("empty") << 0 << 256;
    QTest::newRow("small") << 100 << 256;
    QTest::newRow("three blocks") << 192 << 256;
    QTest::newRow("just over") << 193 << 320;
    QTest::newRow("larger") << 1000 << 1088;
  }
  void dataMapRoundTrip() {
    QFETCH(int, mapSize);
    QFETCH(int, expectedSize);
    const auto map = Pattern(static_cast<std::size_t>(mapSize));
    for (const DataMapFields fields :
         {DataMapFields{1, 3, 0x11223344}, DataMapFields{0xFFFF, 0xFFFF, 0xFFFFFFFF}, DataMapFields{0, 0, 0}}) {
      MersenneRandom random(5);
      const auto file = PackDataMap(fields, map, random);
      QCOMPARE(file.size(), std::size_t(expectedSize));
      QCOMPARE(PackedDataMapSize(map.size()), file.size());
      QVERIFY(IsValidUpdateLength(static_cast<long long>(file.size())));

      const auto copy = ExactCopy(file, file.size());
      const auto decoded = DecodeDataMapHeader(copy.get(), file.size());
      QVERIFY(decoded.ok);
      QCOMPARE(decoded.header.DeviceType(), fields.deviceType);
      QCOMPARE(decoded.header.DataVersion(), fields.dataVersion);
      QCOMPARE(decoded.header.ClosingValue(), fields.closingValue);
      QVERIFY(std::equal(map.begin(), map.end(), file.begin() + 64));
      QVERIFY(std::all_of(file.begin() + 64 + mapSize, file.end(), [](std::uint8_t b) { return b == 0; }));
    }
  }

  void dataMapCorruption() {
    const auto good = SampleDataMap();
    // Payload offsets 16..31 (block offsets 40..55) are not kept but are covered by the CRC,
    // as are the kept bytes and the CRC itself.
    for (std::size_t offset = 24; offset < 60; ++offset) {
      auto file = good;
      file[offset] ^= 0x10;
      QVERIFY2(!DecodeDataMapHeader(file.data(), file.size()).ok, qPrintable(QString("offset %1").arg(offset)));
    }
    // Block 0's uninterpreted bytes and every later block do not matter.
    std::vector<std::size_t> harmless{0, 3, 13, 23, 60, 63};
    for (std::size_t i = 64; i < good.size(); i += 17) harmless.push_back(i);
    for (const std::size_t offset : harmless) {
      auto file = good;
      file[offset] ^= 0xFF;
      QVERIFY2(DecodeDataMapHeader(file.data(), file.size()).ok, qPrintable(QString("offset %1").arg(offset)));
    }
  }

  void shortDataMapFails() {
    const auto good = SampleDataMap();
    QVERIFY(!DecodeDataMapHeader(nullptr, 0).ok);
    for (std::size_t length : {1, 59, 63}) {
      const auto copy = ExactCopy(good, length);
      QVERIFY(!DecodeDataMapHeader(copy.get(), length).ok);
    }
    const auto block = ExactCopy(good, 64);
    QVERIFY(DecodeDataMapHeader(block.get(), 64).ok);
  }

  // The data map decoding keeps payload bytes 0..15 exactly as the packer's scrambled record holds them.
  void dataMapKeepsFirstSixteenPayloadBytes() {
    const auto file = SampleDataMap();
    std::uint8_t record[32];
    QVERIFY(UnscrambleRecord(file.data(), record));
    const auto decoded = DecodeDataMapHeader(file.data(), file.size());
    QVERIFY(decoded.ok);
    QCOMPARE(Hex(decoded.header.bytes), Hex(record, 16));
    QCOMPARE(Hex(record + 4, 8), QByteArray("04 03 02 01 07 00 01 00"));
  }
};

QTEST_APPLESS_MAIN(UpdateFileTest)
#include "update_file_test.moc"
