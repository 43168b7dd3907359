// CRC-32 and the frame envelope: reference values, the receive check, the identification request.
#include "frame.h"

#include <QTest>
#include <random>
#include <vector>

#include "bytes.h"
#include "crc32.h"
#include "frame_trace.h"
#include "hex.h"

using namespace corvane;
using corvane::testing::FromHex;
using corvane::testing::Hex;

namespace {

// The CRC unit one bit at a time, straight from its description.
std::uint32_t SlowCrc(const std::vector<std::uint8_t>& data) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < data.size(); i += 4) {
    crc ^= std::uint32_t{data[i]} | std::uint32_t{data[i + 1]} << 8 | std::uint32_t{data[i + 2]} << 16 |
           std::uint32_t{data[i + 3]} << 24;
    for (int bit = 0; bit < 32; ++bit) crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
  }
  return crc;
}

std::vector<std::uint8_t> RandomBytes(std::size_t size, std::mt19937& engine) {
  std::vector<std::uint8_t> v(size);
  for (auto& b : v) b = static_cast<std::uint8_t>(engine());
  return v;
}

// A 64-byte frame of random content with a correct CRC.
Frame SealedFrame(std::mt19937& engine) {
  Frame frame{};
  for (auto& b : frame) b = static_cast<std::uint8_t>(engine());
  WriteBe16(&frame[kTypeOffset], kBlockRequest);
  SealFrame(frame.data());
  return frame;
}

}  // namespace

class FrameTest : public QObject {
  Q_OBJECT

 private slots:
  void crcReferenceValues() {
    const std::uint8_t counting[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};
    QCOMPARE(Stm32Crc32(counting, 8), 0xA3141BDAu);
    const std::uint8_t word[] = {0x78, 0x56, 0x34, 0x12};
    QCOMPARE(Stm32Crc32(word, 4), 0xDF8A8A2Bu);
    const std::uint8_t abcd[] = {'a', 'b', 'c', 'd'};
    QCOMPARE(Stm32Crc32(abcd, 4), 0xA62F1C36u);
    QCOMPARE(Stm32Crc32(abcd, 0), 0xFFFFFFFFu);
  }

  // A length of 1 to 3 takes one whole word, the following bytes included.
  void crcShortLengthsReadWholeWord() {
    std::uint8_t word[] = {0x78, 0x56, 0x34, 0x12};
    for (std::uint32_t length = 1; length <= 3; ++length) QCOMPARE(Stm32Crc32(word, length), 0xDF8A8A2Bu);
    word[3] = 0x13;
    for (std::uint32_t length = 1; length <= 3; ++length) QVERIFY(Stm32Crc32(word, length) != 0xDF8A8A2Bu);
  }

  void crcMatchesBitwiseReference() {
    std::mt19937 engine(7);
    for (std::size_t words = 0; words <= 70; ++words) {
      const auto data = RandomBytes(words * 4, engine);
      QCOMPARE(Stm32Crc32(data.data(), static_cast<std::uint32_t>(data.size())), SlowCrc(data));
    }
  }

  void identifyRequest() {
    const auto request = BuildIdentifyRequest(0, {0x01, 0x02, 0x03, 0x04});
    QCOMPARE(Hex(request), QByteArray("da 00 00 00 01 02 03 04 e8 d4 42 9f"));
    const auto next = BuildIdentifyRequest(0xFE, {0xAA, 0xBB, 0xCC, 0xDD});
    QCOMPARE(Hex(next.data(), 8), QByteArray("da 00 00 fe aa bb cc dd"));
    QCOMPARE(Stm32Crc32(next.data(), kIdentifyCrcOffset), ReadBe32(&next[kIdentifyCrcOffset]));
  }

  void sealedFramePassesAndEveryBitFlipFails() {
    std::mt19937 engine(11);
    const Frame frame = SealedFrame(engine);
    QVERIFY(CheckFrame(frame.data(), 64));
    QCOMPARE(Stm32Crc32(frame.data(), kCrcOffset), ReadBe32(&frame[kCrcOffset]));
    for (std::size_t byte = 0; byte < 64; ++byte) {
      for (int bit = 0; bit < 8; ++bit) {
        Frame damaged = frame;
        damaged[byte] ^= static_cast<std::uint8_t>(1u << bit);
        QVERIFY2(!CheckFrame(damaged.data(), 64), qPrintable(QString("byte %1 bit %2").arg(byte).arg(bit)));
      }
    }
  }

  // A long chunk is checked as its first 64 bytes; the rest is ignored.
  void longChunkCheckedAsFirst64() {
    std::mt19937 engine(12);
    const Frame frame = SealedFrame(engine);
    std::vector<std::uint8_t> chunk(100);
    std::copy(frame.begin(), frame.end(), chunk.begin());
    for (std::size_t i = 64; i < chunk.size(); ++i) chunk[i] = static_cast<std::uint8_t>(engine());
    QVERIFY(CheckFrame(chunk.data(), 100));

    std::vector<std::uint8_t> big(kRxBufferSize);
    std::copy(frame.begin(), frame.end(), big.begin());
    QVERIFY(CheckFrame(big.data(), static_cast<std::uint16_t>(big.size())));

    // A CRC at the end of the 100 bytes over the 96 before it is not what is checked.
    auto trailing = RandomBytes(100, engine);
    WriteBe32(&trailing[96], Stm32Crc32(trailing.data(), 96));
    QVERIFY(!CheckFrame(trailing.data(), 100));
  }

  // Shorter chunks carry their CRC in their own last four bytes; 15 bytes are too few.
  void shortChunks() {
    std::mt19937 engine(13);
    for (std::uint16_t length = 16; length <= 64; length += 4) {
      auto chunk = RandomBytes(length, engine);
      WriteBe32(&chunk[length - 4u], Stm32Crc32(chunk.data(), length - 4u));
      QVERIFY2(CheckFrame(chunk.data(), length), qPrintable(QString("length %1").arg(length)));
      chunk[length - 5u] ^= 0x01;
      QVERIFY(!CheckFrame(chunk.data(), length));
    }
    // Fifteen bytes whose last four hold a good CRC of the eleven before them are still refused.
    // The CRC of eleven bytes also reads byte 11, the first byte of the field itself, so search
    // for contents where that byte agrees with the CRC's top byte.
    std::vector<std::uint8_t> fifteen(15, 0);
    bool found = false;
    for (std::uint32_t lead = 0; lead < 256 && !found; ++lead) {
      fifteen[0] = static_cast<std::uint8_t>(lead);
      for (std::uint32_t first = 0; first < 256 && !found; ++first) {
        fifteen[11] = static_cast<std::uint8_t>(first);
        const std::uint32_t crc = Stm32Crc32(fifteen.data(), 11);
        if ((crc >> 24) == first) {
          WriteBe32(&fifteen[11], crc);
          found = true;
        }
      }
    }
    QVERIFY(found);
    QCOMPARE(Stm32Crc32(fifteen.data(), 11), ReadBe32(&fifteen[11]));
    QVERIFY(!CheckFrame(fifteen.data(), 15));
    QVERIFY(!CheckFrame(fifteen.data(), 0));
  }

  // Frames as a controller sends them, typed byte by byte, read through the named fields.
  void deviceFrameFields() {
    const auto block = FromHex("da 04 00 07 01 f4 00 00 00 00 00 00 4e 87 9f 2c");
    QVERIFY(CheckFrame(block.data(), 16));
    QCOMPARE(FrameTypeCode(block.data()), std::uint16_t{kBlockRequest});
    QCOMPARE(ReadBe16(&block[kSequenceOffset]), std::uint16_t{7});
    QCOMPARE(ReadBe16(&block[kIntervalOffset]), std::uint16_t{500});

    const auto timeout = FromHex("da 05 00 08 00 00 00 00 00 00 00 00 00 13 88 00 bb 80 0f d2");
    QVERIFY(CheckFrame(timeout.data(), 20));
    QCOMPARE(FrameTypeCode(timeout.data()), std::uint16_t{kTimeoutUpdate});
    QCOMPARE(ReadBe16(&timeout[kTimeoutOffset]), std::uint16_t{5000});

    const auto result = FromHex("da 07 00 09 01 00 00 00 00 00 00 00 23 9b 6f 79");
    QVERIFY(CheckFrame(result.data(), 16));
    QCOMPARE(FrameTypeCode(result.data()), std::uint16_t{kFirmwareResult});
    QCOMPARE(result[kVerdictOffset], std::uint8_t{1});
  }

  void typeCodeIsBigEndian() {
    const std::uint8_t reply[] = {0xDA, 0x01};
    const std::uint8_t swapped[] = {0x01, 0xDA};
    QCOMPARE(FrameTypeCode(reply), std::uint16_t{kIdentifyReply});
    QCOMPARE(FrameTypeCode(swapped), std::uint16_t{0x01DA});
    for (const std::uint16_t known : {0xDA00, 0xDA01, 0xDA04, 0xDA05, 0xDA06, 0xDA07, 0xDA08, 0xDA09})
      QVERIFY(FrameTypeCode(swapped) != known);
  }

  void traceText() {
    const auto result = FromHex("da 07 00 09 01 00 00 00 00 00 00 00 23 9b 6f 79");
    QCOMPARE(FrameTraceText(result.data(), result.size()),
             std::string("FirmwareResult (DA07), 16 bytes: DA 07 00 09 01 00 00 00 00 00 00 00 23 9B 6F 79"));
    const std::uint8_t odd[] = {0x01, 0xDA, 0xFF};
    QCOMPARE(FrameTraceText(odd, 3), std::string("unknown, 3 bytes: 01 DA FF"));
    QCOMPARE(FrameTraceText(odd, 1), std::string("unknown, 1 byte: 01"));
    QCOMPARE(FrameTraceText(odd, 0), std::string("unknown, 0 bytes:"));
    const char* names[] = {"IdentifyRequest", "IdentifyReply", "BlockRequest", "TimeoutUpdate",
                           "FirmwareEnd", "FirmwareResult", "DataMapEnd", "DataMapResult"};
    const std::uint16_t codes[] = {0xDA00, 0xDA01, 0xDA04, 0xDA05, 0xDA06, 0xDA07, 0xDA08, 0xDA09};
    for (int i = 0; i < 8; ++i) QCOMPARE(FrameTypeName(codes[i]), names[i]);
    QVERIFY(FrameTypeName(0xDA02) == nullptr);
  }
};

QTEST_APPLESS_MAIN(FrameTest)
#include "frame_test.moc"
