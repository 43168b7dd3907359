// Bit rotations, keystream derivation, payload (un)scrambling and the end frames.
#include "scrambler.h"

#include <QTest>
#include <random>
#include <vector>

#include "bytes.h"
#include "crc32.h"
#include "frame.h"
#include "hex.h"
#include "scramble_key.h"

using namespace corvane;
using corvane::testing::FromHex;
using corvane::testing::Hex;

namespace {

// One bit at a time: each byte takes the top bit of the next, the last byte that of the first.
void SlowRotateLeft(std::vector<std::uint8_t>& buffer, int n) {
  for (int step = 0; step < n; ++step) {
    const int carry = buffer[0] >> 7;
    for (std::size_t j = 0; j < buffer.size(); ++j) {
      const int in = j + 1 < buffer.size() ? buffer[j + 1] >> 7 : carry;
      buffer[j] = static_cast<std::uint8_t>((buffer[j] << 1) | in);
    }
  }
}

std::vector<std::uint8_t> Rotated(std::vector<std::uint8_t> buffer, int n) {
  RotateBufferLeft(buffer.data(), static_cast<std::uint16_t>(buffer.size()), n);
  return buffer;
}

// The key every test and sample file is built with; known answers hold only for it.
constexpr char kDefaultKey[] =
    "14 e2 0e 1b eb 95 22 d9 16 ef 84 4f 0e 10 9e bb e6 d4 71 94 65 df 7e 9f 2b 44 66 d1 d0 f4 28 96 48 5d 85 2b";

std::array<std::uint8_t, 64> RandomBlock(std::mt19937& engine) {
  std::array<std::uint8_t, 64> block{};
  for (auto& b : block) b = static_cast<std::uint8_t>(engine());
  return block;
}

class CountingRandom : public RandomSource {
 public:
  std::uint8_t next = 0;
  int draws = 0;
  std::uint8_t NextByte() override {
    ++draws;
    return next++;
  }
};

}  // namespace

Q_DECLARE_METATYPE(corvane::TransferKind)

class ScramblerTest : public QObject {
  Q_OBJECT

 private slots:
  void rotateByte() {
    QCOMPARE(RotateByteLeft(0x81, 1), std::uint8_t{0x03});
    QCOMPARE(RotateByteLeft(0x12, 4), std::uint8_t{0x21});
    QCOMPARE(RotateByteLeft(0xB4, 3), std::uint8_t{0xA5});
    QCOMPARE(RotateByteLeft(0xB4, 0), std::uint8_t{0xB4});
    QCOMPARE(RotateByteLeft(0xB4, 8), std::uint8_t{0xB4});
    QCOMPARE(RotateByteLeft(0x81, 9), std::uint8_t{0x03});
  }

  void rotateBufferExamples() {
    std::vector<std::uint8_t> top(36, 0);
    top[0] = 0x80;
    std::vector<std::uint8_t> expected(36, 0);
    expected[35] = 0x01;
    QCOMPARE(Hex(Rotated(top, 1)), Hex(expected));
    expected[35] = 0x00;
    expected[34] = 0x01;
    QCOMPARE(Hex(Rotated(top, 9)), Hex(expected));

    std::vector<std::uint8_t> ends(36, 0);
    ends[0] = 0x01;
    ends[35] = 0x80;
    expected.assign(36, 0);
    expected[0] = 0x80;
    expected[34] = 0x40;
    QCOMPARE(Hex(Rotated(ends, 7)), Hex(expected));

    // A count of zero or below changes nothing; an empty buffer is left alone.
    QCOMPARE(Hex(Rotated(ends, 0)), Hex(ends));
    QCOMPARE(Hex(Rotated(ends, -5)), Hex(ends));
    RotateBufferLeft(nullptr, 0, 3);
  }

  void rotateBufferMatchesBitwiseReference() {
    std::mt19937 engine(3);
    auto check = [&](std::size_t length, int n) {
      std::vector<std::uint8_t> data(length);
      for (auto& b : data) b = static_cast<std::uint8_t>(engine());
      auto expected = data;
      SlowRotateLeft(expected, n);
      QVERIFY2(Rotated(data, n) == expected, qPrintable(QString("length %1, n %2").arg(length).arg(n)));
    };
    for (std::size_t length = 1; length <= 40; ++length)
      for (int n = 0; n <= static_cast<int>(length) * 8 + 17; ++n) check(length, n);
    // Longer than any scratch space kept on the stack, with full turns and more.
    for (std::size_t length : {255, 256, 257, 600})
      for (int n : {1, 7, 8, 9, 100, 2047, static_cast<int>(length) * 8, static_cast<int>(length) * 8 + 3})
        check(length, n);
  }

  // Keystreams worked out by hand from the derivation's description and the default key.
  void keystreamKnownAnswers_data() {
    QTest::addColumn<QByteArray>("seed");
    QTest::addColumn<QByteArray>("keystream");
    QTest::newRow("zeros: bytes 0, 8, 16, 24 by 1 bit; 7 bits")
        << QByteArray("00 00 00 00 00 00 00 00 00")
        << QByteArray(
               "71 07 0d f5 ca 91 6c 96 77 c2 27 87 08 4f 5d e6 ea 38 ca 32 ef bf 4f ab 22 33 68 e8 7a 14 4b "
               "24 2e c2 95 94");
    QTest::newRow("ff: bytes 7, 15, 23, 31 by 4 bits; 22 bits")
        << QByteArray("ff ff ff ff ff ff ff ff ff")
        << QByteArray(
               "86 fa e5 48 a7 45 bb e1 13 c3 84 27 ae f9 b5 1c 65 19 77 df be 4a d1 19 b4 74 3d 0a 1a 52 17 "
               "61 4a c5 38 83");
    QTest::newRow("counting: bytes 2, 12, 22, 24 by 4, 6, 1, 3 bits; 17 bits")
        << QByteArray("02 03 04 05 06 07 08 09 0a")
        << QByteArray(
               "c0 37 d7 2a 45 b2 2d df 08 9f 06 21 3d 77 cd a8 e3 28 cb bf f9 3e b2 88 cd a3 a1 e8 51 2c 90 "
               "bb 0a 56 29 c5");
    QTest::newRow("mixed: bytes 5, 14, 16, 26 by 3, 5, 3, 2 bits; 22 bits")
        << QByteArray("9d 3a 6e c1 08 f7 52 2b 1f")
        << QByteArray(
               "86 fa eb 08 b6 45 bb e1 13 c3 84 34 ee cd f5 1c 65 19 77 df a7 ca d1 26 74 74 3d 0a 25 92 17 "
               "61 4a c5 38 83");
  }
  void keystreamKnownAnswers() {
    QFETCH(QByteArray, seed);
    QFETCH(QByteArray, keystream);
    if (Hex(ScrambleKey) != Hex(FromHex(kDefaultKey))) QSKIP("built with another scramble key");
    QCOMPARE(Hex(DeriveKeystream(FromHex(seed.constData()).data())), keystream);
  }

  void ignoredSeedBitsGiveSameKeystream() {
    std::uint8_t a[9] = {0, 0, 1, 2, 3, 4, 5, 6, 7};
    std::uint8_t b[9];
    std::copy(std::begin(a), std::end(a), b);
    b[1] = 7;  // rotation 1 either way
    QCOMPARE(Hex(DeriveKeystream(a)), Hex(DeriveKeystream(b)));
    a[0] = 3;
    b[0] = 11;  // index 3 either way
    QCOMPARE(Hex(DeriveKeystream(a)), Hex(DeriveKeystream(b)));
    a[8] = 2;
    b[8] = 18;  // bit count 9 either way
    QCOMPARE(Hex(DeriveKeystream(a)), Hex(DeriveKeystream(b)));
    b[8] = 3;
    QVERIFY(Hex(DeriveKeystream(a)) != Hex(DeriveKeystream(b)));
  }

  void unscrambleIsSelfInverseAndTouchesOnlyPayload() {
    std::mt19937 engine(5);
    for (int i = 0; i < 100; ++i) {
      const auto frame = RandomBlock(engine);
      std::array<std::uint8_t, 64> out;
      out.fill(0xA5);
      UnscramblePayload(frame.data(), out.data());
      for (std::size_t k = 0; k < kScrambledOffset; ++k) QCOMPARE(out[k], std::uint8_t{0xA5});
      for (std::size_t k = kCrcOffset; k < kFrameSize; ++k) QCOMPARE(out[k], std::uint8_t{0xA5});

      // Put the seed next to the unscrambled bytes and unscramble again: the original returns.
      std::array<std::uint8_t, 64> again = out;
      std::copy(frame.begin() + kSeedOffset, frame.begin() + kSeedOffset + kSeedSize, again.begin() + kSeedOffset);
      UnscramblePayload(again.data(), again.data());
      QCOMPARE(Hex(again.data() + kScrambledOffset, kScrambledSize),
               Hex(frame.data() + kScrambledOffset, kScrambledSize));

      // In place gives the same bytes as into another buffer.
      auto inPlace = frame;
      UnscramblePayload(inPlace.data(), inPlace.data());
      QCOMPARE(Hex(inPlace.data() + kScrambledOffset, kScrambledSize),
               Hex(out.data() + kScrambledOffset, kScrambledSize));
      QCOMPARE(Hex(inPlace.data(), kScrambledOffset), Hex(frame.data(), kScrambledOffset));
      QCOMPARE(Hex(inPlace.data() + kCrcOffset, 4), Hex(frame.data() + kCrcOffset, 4));
    }
  }

  void recordRoundTrip() {
    std::mt19937 engine(6);
    auto block = RandomBlock(engine);
    const auto before = block;
    std::uint8_t record[32];
    for (auto& b : record) b = static_cast<std::uint8_t>(engine());
    ScrambleRecord(block.data(), record);
    QCOMPARE(Hex(block.data(), kScrambledOffset), Hex(before.data(), kScrambledOffset));
    QCOMPARE(Hex(block.data() + kCrcOffset, 4), Hex(before.data() + kCrcOffset, 4));

    std::uint8_t decoded[32] = {};
    QVERIFY(UnscrambleRecord(block.data(), decoded));
    QCOMPARE(Hex(decoded, 32), Hex(record, 32));

    // The scrambled CRC is the record's own CRC, most significant byte first.
    std::array<std::uint8_t, 64> plain{};
    UnscramblePayload(block.data(), plain.data());
    QCOMPARE(ReadBe32(plain.data() + kScrambledOffset + kRecordSize), Stm32Crc32(record, kRecordSize));
    block[40] ^= 0x04;
    std::uint8_t untouched[32] = {};
    QVERIFY(!UnscrambleRecord(block.data(), untouched));
  }

  // Worked out by hand: random bytes 00, 01, ... in frame order, so the seeds are 02..0a and
  // 11 22 33 44 goes out XORed with the keystream's c0 37 d7 2a.
  void endFrame_data() {
    QTest::addColumn<TransferKind>("kind");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("firmware") << TransferKind::kFirmware
                              << QByteArray(
                                     "da 06 00 01 02 03 04 05 06 07 08 09 0a d1 15 e4 6e 0b 0c 0d 0e 0f 10 11 "
                                     "12 13 14 15 16 17 18 19 1a 1b 1c 1d 1e 1f 20 21 22 23 24 25 26 27 28 29 "
                                     "2a 2b 2c 2d 2e 2f 30 31 32 33 34 00 65 6a af 02");
    QTest::newRow("data map") << TransferKind::kDataMap
                              << QByteArray(
                                     "da 08 00 01 02 03 04 05 06 07 08 09 0a d1 15 e4 6e 0b 0c 0d 0e 0f 10 11 "
                                     "12 13 14 15 16 17 18 19 1a 1b 1c 1d 1e 1f 20 21 22 23 24 25 26 27 28 29 "
                                     "2a 2b 2c 2d 2e 2f 30 31 32 33 34 00 a7 eb 24 fb");
  }
  void endFrame() {
    QFETCH(TransferKind, kind);
    QFETCH(QByteArray, frame);
    if (Hex(ScrambleKey) != Hex(FromHex(kDefaultKey))) QSKIP("built with another scramble key");
    CountingRandom random;
    const std::uint8_t headerField[] = {0x44, 0x33, 0x22, 0x11};  // as a header holds it
    QCOMPARE(Hex(BuildEndFrame(kind, ReadLe32(headerField), random)), frame);
    QCOMPARE(random.draws, 11 + 42);
  }
};

QTEST_APPLESS_MAIN(ScramblerTest)
#include "scrambler_test.moc"
