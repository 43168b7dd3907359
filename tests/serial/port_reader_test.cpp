// The reader role: what a read becomes (a frame handed over once, pieces joined, rejected bytes
// nothing), the pause until the dispatch has returned, and a closing port that drops what it took.
#include <QTest>
#include <string>
#include <vector>

#include "bytes.h"
#include "frame.h"
#include "port_reader.h"

using namespace corvane;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes MakeFrame(std::uint8_t sequence) {
  Bytes frame(64);
  for (std::size_t i = 0; i < kCrcOffset; ++i) frame[i] = static_cast<std::uint8_t>(i * 5 + sequence);
  WriteBe16(&frame[kTypeOffset], kBlockRequest);
  WriteBe16(&frame[kSequenceOffset], sequence);
  SealFrame(frame.data());
  return frame;
}

struct Rig {
  std::shared_ptr<FrameFlag> flag = std::make_shared<FrameFlag>();
  int posts = 0;
  std::vector<std::string> vanished;
  std::shared_ptr<PortReader> reader = std::make_shared<PortReader>(flag, Hooks());

  PortReader::Hooks Hooks() {
    PortReader::Hooks hooks;
    hooks.post = [this](std::shared_ptr<PortReader>) { ++posts; };
    hooks.vanished = [this](std::shared_ptr<PortReader>, const std::string& cause) { vanished.push_back(cause); };
    return hooks;
  }
  std::vector<Bytes> dispatched;

  bool Read(const Bytes& bytes) { return reader->OnBytes(bytes.data(), bytes.size()); }
  bool Dispatch(std::function<void()> during = {}) {
    return reader->Dispatch([&](const std::uint8_t* frame, std::size_t length) {
      dispatched.emplace_back(frame, frame + length);
      if (during) during();
    });
  }
};

}  // namespace

class PortReaderTest : public QObject {
  Q_OBJECT

 private slots:
  void aWholeFrameIsHandedOverOnceAndPausesTheReads() {
    Rig rig;
    const Bytes frame = MakeFrame(1);
    QVERIFY(!rig.Read(frame));  // paused until the dispatch has returned
    QVERIFY(rig.flag->IsRaised());
    QCOMPARE(rig.posts, 1);
    QVERIFY(rig.Dispatch());
    QCOMPARE(rig.dispatched, std::vector<Bytes>{frame});
    QVERIFY(rig.Dispatch());  // nothing more out
    QCOMPARE(rig.dispatched.size(), std::size_t{1});
  }

  void rejectedBytesRaiseNothingAndPiecesAreJoined() {
    Rig rig;
    QVERIFY(rig.Read(Bytes(64, 0x55)));
    QVERIFY(!rig.flag->IsRaised());
    const Bytes frame = MakeFrame(2);
    QVERIFY(rig.Read(Bytes(frame.begin(), frame.begin() + 8)));  // reads on: a piece is held
    QCOMPARE(rig.posts, 0);
    QVERIFY(!rig.Read(Bytes(frame.begin() + 8, frame.end())));
    QVERIFY(rig.flag->IsRaised());
    QVERIFY(rig.Dispatch());
    QCOMPARE(rig.dispatched, std::vector<Bytes>{frame});
  }

  // Two frames found in one read go over together; a dispatch that closes the port stops the rest.
  void aClosingPortDropsWhatItTookIn() {
    Rig rig;
    const Bytes a = MakeFrame(3), b = MakeFrame(4);
    Bytes pair(a.begin(), a.begin() + 40);  // joined: the end of a, then b whole in the next read
    QVERIFY(rig.Read(pair));
    pair.assign(a.begin() + 40, a.end());
    pair.insert(pair.end(), b.begin(), b.end());
    QVERIFY(!rig.Read(pair));
    QCOMPARE(rig.posts, 1);
    QVERIFY(!rig.Dispatch([&] { rig.reader->Cancel(); }));
    QCOMPARE(rig.dispatched, std::vector<Bytes>{a});

    QVERIFY(!rig.Read(MakeFrame(5)));  // cancelled: nothing taken, nothing posted
    QCOMPARE(rig.posts, 1);
    rig.reader->OnVanished("hang-up");
    QVERIFY(rig.vanished.empty());
  }

  void aVanishedPortIsReported() {
    Rig rig;
    rig.reader->OnVanished("hang-up");
    QCOMPARE(rig.vanished, std::vector<std::string>{"hang-up"});
  }
};

QTEST_GUILESS_MAIN(PortReaderTest)
#include "port_reader_test.moc"
