// The reader role on a device whose bytes are all there at once: chunks of at most 4096 bytes,
// the rest taken without a further readyRead, frames in pieces joined and frames sharing a chunk
// dispatched one by one, nothing more once the hand-over is cancelled, and the sends made during
// a dispatch taken as soon as it returns.
#include <QIODevice>
#include <QTest>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "bytes.h"
#include "chunk_reader.h"
#include "crc32.h"
#include "frame.h"

using namespace corvane;

namespace {

using Bytes = std::vector<std::uint8_t>;

// A device that announces each feed once, as a serial port does.
class FakeDevice : public QIODevice {
 public:
  FakeDevice() { open(QIODevice::ReadOnly); }
  void Feed(const Bytes& bytes) {
    pending_.append(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
    emit readyRead();
  }
  bool isSequential() const override { return true; }
  qint64 bytesAvailable() const override { return pending_.size() + QIODevice::bytesAvailable(); }

 protected:
  qint64 readData(char* data, qint64 maxSize) override {
    const qint64 n = std::min<qint64>(maxSize, pending_.size());
    std::memcpy(data, pending_.constData(), static_cast<std::size_t>(n));
    pending_.remove(0, n);
    return n;
  }
  qint64 writeData(const char*, qint64) override { return -1; }

 private:
  QByteArray pending_;
};

// Reader and device with a hand-over that the test dispatches at once, as the window would.
struct Rig {
  FakeDevice device;
  std::vector<Bytes> dispatched;
  std::vector<Bytes> written;  // the sends the writer took after a returned dispatch
  int writes = 0;              // calls of the writer
  std::function<void()> during;  // runs inside each dispatch
  bool cancelInDispatch = false;
  bool closeBeforeDispatch = false;  // the port closes while the chunk waits for the window
  PortChannel channel{std::make_shared<HandOver>(), std::make_shared<FrameFlag>(), [this] {
                        if (closeBeforeDispatch) return channel.handOver->Cancel();
                        DispatchNow();
                      }};
  ChunkReader reader{device, channel, [this] {
                       ++writes;
                       PendingSends sends;
                       channel.handOver->TakeSends(sends);
                       sends.ForEach([this](const std::uint8_t* data, std::size_t length) {
                         written.emplace_back(data, data + length);
                       });
                     }};

  void DispatchNow() {
    channel.handOver->Dispatch([this](const std::uint8_t* chunk, std::size_t length) {
      dispatched.emplace_back(chunk, chunk + length);
      if (during) during();
      if (cancelInDispatch) channel.handOver->Cancel();
    });
  }
};

void PutFrame(Bytes& bytes, std::size_t at, std::uint8_t sequence) {
  WriteBe16(&bytes[at + kTypeOffset], kBlockRequest);
  WriteBe16(&bytes[at + kSequenceOffset], sequence);
  SealFrame(bytes.data() + at);
}

// 8292 bytes: frames at 0, 4096 and 8192, so each 4096-byte chunk starts with one.
Bytes Burst() {
  Bytes bytes(8292, 0x55);
  PutFrame(bytes, 0, 1);
  PutFrame(bytes, 4096, 2);
  PutFrame(bytes, 8192, 3);
  return bytes;
}

}  // namespace

class ChunkReaderTest : public QObject {
  Q_OBJECT

 private slots:
  void aLongBurstComesInChunksOfAtMost4096() {
    Rig rig;
    const Bytes burst = Burst();
    rig.device.Feed(burst);
    QTRY_COMPARE(rig.dispatched.size(), std::size_t{3});
    QCOMPARE(rig.dispatched[0], Bytes(burst.begin(), burst.begin() + 4096));
    QCOMPARE(rig.dispatched[1], Bytes(burst.begin() + 4096, burst.begin() + 8192));
    QCOMPARE(rig.dispatched[2], Bytes(burst.begin() + 8192, burst.end()));
    QVERIFY(rig.channel.frameReceived->IsRaised());
    QCOMPARE(rig.device.bytesAvailable(), qint64{0});
    QCOMPARE(rig.writes, 3);
  }

  void rejectedChunksRaiseNothing() {
    Rig rig;
    rig.device.Feed(Bytes(64, 0x55));
    rig.device.Feed(Bytes(4096 + 64, 0x55));
    QTRY_COMPARE(rig.device.bytesAvailable(), qint64{0});
    QVERIFY(rig.dispatched.empty());
    QVERIFY(!rig.channel.frameReceived->IsRaised());
  }

  void framesInPiecesAndSharingAChunkAreDispatchedOneByOne() {
    Rig rig;
    Bytes frames(16 + 64, 0x55);
    PutFrame(frames, 16, 2);
    WriteBe16(&frames[0], kBlockRequest);
    WriteBe32(&frames[12], Stm32Crc32(frames.data(), 12));
    HandOver& handOver = *rig.channel.handOver;
    const Bytes reply(4, 0xA1);
    rig.during = [&] { handOver.PutSend(reply.data(), reply.size()); };
    rig.device.Feed(Bytes(frames.begin(), frames.begin() + 9));
    QVERIFY(rig.dispatched.empty());
    QVERIFY(!rig.channel.frameReceived->IsRaised());
    rig.device.Feed(Bytes(frames.begin() + 9, frames.begin() + 40));  // the first ends, the second begins
    rig.device.Feed(Bytes(frames.begin() + 40, frames.end()));
    QCOMPARE(rig.dispatched, (std::vector<Bytes>{Bytes(frames.begin(), frames.begin() + 16),
                                                 Bytes(frames.begin() + 16, frames.end())}));
    QCOMPARE(rig.written, (std::vector<Bytes>{reply, reply}));  // each frame's send after its dispatch
    QVERIFY(rig.channel.frameReceived->IsRaised());
  }

  void cancelledInDispatchTakesNothingMore() {
    Rig rig;
    rig.cancelInDispatch = true;
    rig.device.Feed(Burst());
    QCOMPARE(rig.dispatched.size(), std::size_t{1});
    QVERIFY(!rig.device.isOpen());
    QTest::qWait(0);
    QCOMPARE(rig.dispatched.size(), std::size_t{1});
    QCOMPARE(rig.writes, 0);  // the sends of a closed port are not written
  }

  void aChunkOutIsDispatchedAfterClose() {
    Rig rig;
    rig.closeBeforeDispatch = true;
    const Bytes burst = Burst();
    rig.device.Feed(burst);  // returns: the reader does not wait for a cancelled hand-over
    QVERIFY(!rig.device.isOpen());
    QVERIFY(rig.dispatched.empty());
    rig.DispatchNow();  // the window gets to it later
    QCOMPARE(rig.dispatched.size(), std::size_t{1});
    QCOMPARE(rig.dispatched[0], Bytes(burst.begin(), burst.begin() + 4096));
  }

  void sendsComeBackInTheOrderMade() {
    Rig rig;
    HandOver& handOver = *rig.channel.handOver;
    const Bytes a(3, 0xA1), b(5, 0xB2), c(2, 0xC3);
    // Outside a dispatch the first send needs the link thread woken; the next goes with it.
    QVERIFY(handOver.PutSend(a.data(), a.size()));
    QVERIFY(!handOver.PutSend(b.data(), b.size()));
    // During one none does: the reader takes them all the moment the dispatch returns.
    rig.during = [&] { QVERIFY(!handOver.PutSend(c.data(), c.size())); };
    const Bytes burst = Burst();
    rig.device.Feed(Bytes(burst.begin(), burst.begin() + 64));
    QCOMPARE(rig.dispatched.size(), std::size_t{1});
    QCOMPARE(rig.written, (std::vector<Bytes>{a, b, c}));

    // All taken: the next needs a wake-up again. A cancelled hand-over drops what it holds.
    QVERIFY(handOver.PutSend(a.data(), a.size()));
    handOver.Cancel();
    QVERIFY(!handOver.PutSend(b.data(), b.size()));
    PendingSends left;
    handOver.TakeSends(left);
    QVERIFY(left.ends.empty());
  }
};

QTEST_GUILESS_MAIN(ChunkReaderTest)
#include "chunk_reader_test.moc"
