// Frames joined across reads: any cut of a frame or of frames back to back, garbage around
// frames, the gap between pieces, and reads that are frames by themselves, on a clock the test
// moves.
#include "frame_joiner.h"

#include <QTest>
#include <random>
#include <vector>

#include "bytes.h"
#include "crc32.h"
#include "hex.h"

using namespace corvane;
using namespace std::chrono_literals;
using corvane::testing::Hex;

namespace {

using Bytes = std::vector<std::uint8_t>;

struct FakeClock : JoinClock {
  std::chrono::steady_clock::time_point now{};
  std::chrono::steady_clock::time_point Now() const override { return now; }
};

struct CountingTrace : JoinTrace {
  std::size_t held = 0, joined = 0, dropped = 0;
  std::size_t lastPieces = 0;
  void Held(std::size_t, std::size_t) override { ++held; }
  void Joined(std::size_t, std::size_t pieces) override {
    ++joined;
    lastPieces = pieces;
  }
  void Dropped(std::size_t bytes, DropCause) override { dropped += bytes; }
};

// A frame of `length` bytes (0xDA first, its CRC last) of which no shorter prefix passes.
Bytes MakeFrame(std::size_t length, std::mt19937& engine) {
  for (;;) {
    Bytes frame(length);
    for (auto& b : frame) b = static_cast<std::uint8_t>(engine());
    frame[0] = 0xDA;
    frame[1] = 0x04;
    WriteBe32(frame.data() + length - 4, Stm32Crc32(frame.data(), static_cast<std::uint32_t>(length - 4)));
    bool prefix = false;
    for (std::size_t l = kMinFrameSize; l < length; ++l) prefix = prefix || CheckFrame(frame.data(), static_cast<std::uint16_t>(l));
    if (!prefix) return frame;
  }
}

Bytes Cat(const Bytes& a, const Bytes& b) {
  Bytes out = a;
  out.insert(out.end(), b.begin(), b.end());
  return out;
}

struct Rig {
  FakeClock clock;
  CountingTrace trace;
  FrameJoiner joiner{clock, &trace};
  std::vector<Bytes> frames;

  // Feeds `bytes` as reads that end at `cuts` (ascending), 1 ms apart.
  void Feed(const Bytes& bytes, const std::vector<std::size_t>& cuts = {}) {
    std::size_t begin = 0;
    auto read = [&](std::size_t end) {
      clock.now += 1ms;
      joiner.Take(bytes.data() + begin, end - begin,
                  [this](const std::uint8_t* p, std::size_t n) { frames.emplace_back(p, p + n); });
      begin = end;
    };
    for (const std::size_t cut : cuts) read(cut);
    read(bytes.size());
  }
};

}  // namespace

class FrameJoinerTest : public QObject {
  Q_OBJECT

 private slots:
  void aFrameCutAnywhereIsFoundOnce() {
    std::mt19937 engine(1);
    for (const std::size_t length : {std::size_t{16}, std::size_t{20}, std::size_t{64}}) {
      const Bytes frame = MakeFrame(length, engine);
      for (std::size_t cut = 1; cut < length; ++cut) {
        Rig r;
        r.Feed(frame, {cut});
        QCOMPARE(r.frames, std::vector<Bytes>{frame});
        QCOMPARE(r.joiner.Held(), std::size_t{0});
        QCOMPARE(r.trace.lastPieces, std::size_t{2});
      }
      // A byte at a time.
      Rig r;
      std::vector<std::size_t> cuts;
      for (std::size_t i = 1; i < length; ++i) cuts.push_back(i);
      r.Feed(frame, cuts);
      QCOMPARE(r.frames, std::vector<Bytes>{frame});
    }
  }

  void twoFramesBackToBackInAnyCut() {
    std::mt19937 engine(2);
    const Bytes shortFrame = MakeFrame(16, engine), longFrame = MakeFrame(64, engine);
    for (const auto& [first, second] : {std::pair{shortFrame, longFrame}, std::pair{longFrame, shortFrame}}) {
      const Bytes stream = Cat(first, second);
      const std::vector<Bytes> expected{first, second};
      for (std::size_t i = 0; i < stream.size(); ++i) {
        for (std::size_t j = i; j < stream.size(); ++j) {
          Rig r;
          r.Feed(stream, {i, j});
          // A read that starts with the 64-byte frame passes by itself and is handed on whole.
          if (!r.frames.empty() && r.frames[0].size() > kFrameSize) r.frames[0].resize(kFrameSize);
          QVERIFY2(r.frames == expected, qPrintable(QStringLiteral("cuts %1 %2").arg(i).arg(j)));
        }
      }
    }
  }

  void garbageAroundFramesIsDropped() {
    std::mt19937 engine(3);
    const Bytes a = MakeFrame(16, engine), b = MakeFrame(64, engine);
    // A frame, then garbage with frame starts in it, then a frame in pieces.
    const Bytes garbage{0xDA, 0x11, 0x22, 0xDA, 0xDA, 0x33};
    Rig r;
    r.Feed(Cat(Cat(a, garbage), b), {10, 19, 40});
    QCOMPARE(r.frames, (std::vector<Bytes>{a, b}));
    QCOMPARE(r.trace.dropped, garbage.size());
    // Garbage without a frame start before a short frame: dropped at once, the frame found.
    Rig s;
    s.Feed(Cat(Bytes(7, 0x55), a), {3});
    QCOMPARE(s.frames, std::vector<Bytes>{a});
    QCOMPARE(s.joiner.Held(), std::size_t{0});
    // Never more than 64 bytes held, however many frame starts come.
    Rig t;
    t.Feed(Bytes(500, 0xDA), {13, 77, 300});
    QVERIFY(t.frames.empty());
    QVERIFY(t.joiner.Held() <= kFrameSize);
  }

  void piecesFartherApartThanTheGapAreDropped() {
    std::mt19937 engine(4);
    const Bytes frame = MakeFrame(64, engine);
    auto take = [](Rig& r, const std::uint8_t* p, std::size_t n) {
      r.joiner.Take(p, n, [&r](const std::uint8_t* f, std::size_t l) { r.frames.emplace_back(f, f + l); });
    };
    Rig late;
    take(late, frame.data(), 30);
    late.clock.now += FrameJoiner::kGap + 1ms;
    take(late, frame.data() + 30, 34);
    QVERIFY(late.frames.empty());
    QVERIFY(late.trace.dropped >= 30);  // the stale piece, and the part of the tail that begins no frame

    Rig inTime;
    take(inTime, frame.data(), 30);
    inTime.clock.now += FrameJoiner::kGap;
    take(inTime, frame.data() + 30, 34);
    QCOMPARE(inTime.frames, std::vector<Bytes>{frame});
  }

  void aReadThatIsAFrameIsHandedOnWhole() {
    std::mt19937 engine(5);
    const Bytes a = MakeFrame(64, engine), b = MakeFrame(64, engine), c = MakeFrame(16, engine);
    Rig r;
    const Bytes two = Cat(a, b);
    const std::uint8_t* handed = nullptr;
    r.joiner.Take(two.data(), two.size(), [&](const std::uint8_t* p, std::size_t n) {
      if (!handed) handed = p;
      r.frames.emplace_back(p, p + n);
    });
    QCOMPARE(handed, two.data());  // the read itself, not a copy
    QCOMPARE(r.frames, (std::vector<Bytes>{two, b}));  // the whole read once, then what follows it
    QCOMPARE(r.trace.joined, std::size_t{1});

    // Pieces held when a whole frame comes instead of their rest: they are dropped.
    Rig s;
    s.Feed(Cat(Bytes(a.begin(), a.begin() + 20), c), {20});
    QCOMPARE(s.frames, std::vector<Bytes>{c});
    QCOMPARE(s.trace.dropped, std::size_t{20});
    QCOMPARE(s.trace.joined, std::size_t{0});
    QCOMPARE(Hex(s.frames[0]), Hex(c));
  }
};

QTEST_GUILESS_MAIN(FrameJoinerTest)
#include "frame_joiner_test.moc"
