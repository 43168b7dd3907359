// The reader role on a device whose bytes are all there at once: chunks of at most 4096 bytes,
// the rest taken without a further readyRead, and nothing more once the hand-over is cancelled.
#include <QIODevice>
#include <QTest>
#include <cstring>
#include <memory>
#include <vector>

#include "bytes.h"
#include "chunk_reader.h"
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
  std::shared_ptr<HandOver> handOver = std::make_shared<HandOver>();
  std::shared_ptr<FrameFlag> flag = std::make_shared<FrameFlag>();
  std::vector<Bytes> dispatched;
  bool cancelInDispatch = false;
  bool closeBeforeDispatch = false;  // the port closes while the chunk waits for the window
  ChunkReader reader{device, handOver, flag, [this] {
                       if (closeBeforeDispatch) return handOver->Cancel();
                       DispatchNow();
                     }};

  void DispatchNow() {
    handOver->Dispatch([this](const std::uint8_t* chunk, std::size_t length) {
      dispatched.emplace_back(chunk, chunk + length);
      if (cancelInDispatch) handOver->Cancel();
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
    QVERIFY(rig.flag->IsRaised());
    QCOMPARE(rig.device.bytesAvailable(), qint64{0});
  }

  void rejectedChunksRaiseNothing() {
    Rig rig;
    rig.device.Feed(Bytes(64, 0x55));
    rig.device.Feed(Bytes(4096 + 64, 0x55));
    QTRY_COMPARE(rig.device.bytesAvailable(), qint64{0});
    QVERIFY(rig.dispatched.empty());
    QVERIFY(!rig.flag->IsRaised());
  }

  void cancelledInDispatchTakesNothingMore() {
    Rig rig;
    rig.cancelInDispatch = true;
    rig.device.Feed(Burst());
    QCOMPARE(rig.dispatched.size(), std::size_t{1});
    QVERIFY(!rig.device.isOpen());
    QTest::qWait(0);
    QCOMPARE(rig.dispatched.size(), std::size_t{1});
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
};

QTEST_GUILESS_MAIN(ChunkReaderTest)
#include "chunk_reader_test.moc"
