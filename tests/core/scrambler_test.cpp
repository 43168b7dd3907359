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

// The keystream as its derivation reads, built from the slow rotation.
std::vector<std::uint8_t> ReferenceKeystream(const std::uint8_t* seed) {
  std::vector<std::uint8_t> ks(ScrambleKey.begin(), ScrambleKey.end());
  for (int j = 0; j < 4; ++j) {
    const int index = 8 * j + seed[2 * j] % 8;
    const int rotation = seed[2 * j + 1] % 7 + 1;
    ks[index] = static_cast<std::uint8_t>((ks[index] << rotation) | (ks[index] >> (8 - rotation)));
  }
  SlowRotateLeft(ks, 7 + seed[8] % 16);
  return ks;
}

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

  void keystreamMatchesReference() {
    std::mt19937 engine(4);
    for (int i = 0; i < 2000; ++i) {
      std::uint8_t seed[9];
      for (auto& b : seed) b = static_cast<std::uint8_t>(engine());
      const Keystream ks = DeriveKeystream(seed);
      QCOMPARE(Hex(ks), Hex(ReferenceKeystream(seed)));
    }
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
      for (std::size_t k = 0; k < 24; ++k) QCOMPARE(out[k], std::uint8_t{0xA5});
      for (std::size_t k = 60; k < 64; ++k) QCOMPARE(out[k], std::uint8_t{0xA5});

      // Put the seed next to the unscrambled bytes and unscramble again: the original returns.
      std::array<std::uint8_t, 64> again = out;
      std::copy(frame.begin() + 4, frame.begin() + 13, again.begin() + 4);
      UnscramblePayload(again.data(), again.data());
      QCOMPARE(Hex(again.data() + 24, 36), Hex(frame.data() + 24, 36));

      // In place gives the same bytes as into another buffer.
      auto inPlace = frame;
      UnscramblePayload(inPlace.data(), inPlace.data());
      QCOMPARE(Hex(inPlace.data() + 24, 36), Hex(out.data() + 24, 36));
      QCOMPARE(Hex(inPlace.data(), 24), Hex(frame.data(), 24));
      QCOMPARE(Hex(inPlace.data() + 60, 4), Hex(frame.data() + 60, 4));
    }
  }

  void recordRoundTrip() {
    std::mt19937 engine(6);
    auto block = RandomBlock(engine);
    const auto before = block;
    std::uint8_t record[32];
    for (auto& b : record) b = static_cast<std::uint8_t>(engine());
    ScrambleRecord(block.data(), record);
    QCOMPARE(Hex(block.data(), 24), Hex(before.data(), 24));
    QCOMPARE(Hex(block.data() + 60, 4), Hex(before.data() + 60, 4));

    std::uint8_t decoded[32] = {};
    QVERIFY(UnscrambleRecord(block.data(), decoded));
    QCOMPARE(Hex(decoded, 32), Hex(record, 32));

    // The scrambled CRC is the record's own CRC, most significant byte first.
    std::array<std::uint8_t, 64> plain{};
    UnscramblePayload(block.data(), plain.data());
    const std::uint32_t crc = Stm32Crc32(record, 32);
    QCOMPARE(Hex(plain.data() + 56, 4),
             Hex(std::array<std::uint8_t, 4>{std::uint8_t(crc >> 24), std::uint8_t(crc >> 16), std::uint8_t(crc >> 8),
                                             std::uint8_t(crc)}));
    block[40] ^= 0x04;
    std::uint8_t untouched[32] = {};
    QVERIFY(!UnscrambleRecord(block.data(), untouched));
  }

  void endFrame() {
    for (const auto kind : {TransferKind::kFirmware, TransferKind::kDataMap}) {
      CountingRandom random;
      const std::uint8_t headerField[] = {0x44, 0x33, 0x22, 0x11};  // as a header holds it
      const Frame frame = BuildEndFrame(kind, ReadLe32(headerField), random);
      QCOMPARE(frame[0], std::uint8_t{0xDA});
      QCOMPARE(frame[1], std::uint8_t(kind == TransferKind::kFirmware ? 0x06 : 0x08));
      // Random bytes drawn in frame order: 2..12, then 17..58.
      QCOMPARE(random.draws, 11 + 42);
      for (std::size_t i = 2; i <= 12; ++i) QCOMPARE(frame[i], std::uint8_t(i - 2));
      for (std::size_t i = 17; i <= 58; ++i) QCOMPARE(frame[i], std::uint8_t(i - 6));
      QCOMPARE(frame[59], std::uint8_t{0});
      QVERIFY(CheckFrame(frame.data(), 64));

      const Keystream ks = DeriveKeystream(frame.data() + 4);
      const std::uint8_t value[] = {std::uint8_t(frame[13] ^ ks[0]), std::uint8_t(frame[14] ^ ks[1]),
                                    std::uint8_t(frame[15] ^ ks[2]), std::uint8_t(frame[16] ^ ks[3])};
      QCOMPARE(Hex(value, 4), QByteArray("11 22 33 44"));
    }
  }
};

QTEST_APPLESS_MAIN(ScramblerTest)
#include "scrambler_test.moc"
