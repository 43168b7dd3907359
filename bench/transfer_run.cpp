#include "transfer_run.h"

#include <QCoreApplication>
#include <QObject>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <fstream>
#include <vector>

#include "bench_view.h"
#include "link_timing.h"
#include "mt_random.h"
#include "packer.h"
#include "port_list.h"
#include "pty_device.h"
#include "serial_link.h"
#include "session_host.h"
#include "update_file.h"

namespace corvane::bench {

namespace {

constexpr std::uint16_t kDeviceType = 1;
constexpr std::uint16_t kInstalledVersion = 10;
constexpr std::uint16_t kOfferedVersion = 11;  // newer: accepted without a question
constexpr std::uint32_t kClosingValue = 0xC0A1E5CEu;
// The low byte sets Timer2 for every block: 255 ms, far beyond any turnaround, so it never fires.
constexpr std::uint16_t kBlockIntervalMs = 0x00FF;
constexpr std::uint32_t kImageSeed = 20261209;

std::vector<std::uint8_t> MakeFirmwareFile(std::uint32_t blocks) {
  MersenneRandom random(kImageSeed);
  std::vector<std::uint8_t> image((blocks - kFirmwareHeaderBlocks) * kBlockSize);
  for (std::uint8_t& byte : image) byte = random.NextByte();
  return PackFirmware({kDeviceType, kOfferedVersion, kClosingValue}, image, random);
}

bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& data) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  return static_cast<bool>(out.flush());
}

// The serial link as the session sees it, with the moment of each send recorded.
class TimedLink final : public Link {
 public:
  TimedLink(SerialLink& link, LinkRecorder& recorder) : link_(link), recorder_(recorder) {}
  OpenResult OpenPort(const std::string& name) override { return link_.OpenPort(name); }
  void ClosePort() override { link_.ClosePort(); }
  bool IsOpen() const override { return link_.IsOpen(); }
  void Send(const std::uint8_t* data, std::size_t length) override {
    recorder_.SendCalled(data, length);
    link_.Send(data, length);
  }
  void ClearFrameReceived() override { link_.ClearFrameReceived(); }
  bool WaitFrameReceived(std::chrono::milliseconds limit) override { return link_.WaitFrameReceived(limit); }

 private:
  SerialLink& link_;
  LinkRecorder& recorder_;
};

// Drives the session as a user would: CONNECT, then "update firmware" once the device is
// reported, then waits for the verdict. Frames pass the recorder on their way to the host.
class TransferDriver : public QObject, public FrameSink, private qt::SessionPolicy {
 public:
  TransferDriver(const std::string& port, const std::string& file, LinkRecorder& recorder)
      : recorder_(recorder),
        view_(file),
        ports_({port}),
        timedLink_(link_, recorder),
        host_(qt::HostParts{view_, timedLink_, ports_}, *this) {
    link_.SetTimingProbe(&recorder);
    connect(&host_.responseTimer().Qt(), &QTimer::timeout, this, [this] { ++timer2Expiries_; });
  }

  ~TransferDriver() override {
    link_.SetFrameSink(nullptr);
    link_.ClosePort();
    host_.Finish();
  }

  // Returns once the verdict is in, the run failed, or `limit` has passed.
  void Run(std::chrono::milliseconds limit) {
    link_.SetFrameSink(this);
    host_.Handle([](Session& s) { s.FormCreate(); });
    QTimer::singleShot(0, this, [this] { host_.Handle([](Session& s) { s.Connect(); }); });
    QTimer::singleShot(limit, this, [this] { Finish("no verdict in time; last text: " + view_.LastText()); });
    QCoreApplication::exec();
  }

  void OnFrame(const std::uint8_t* frame, std::size_t length) override {
    if (host_.Finished()) return;
    recorder_.Dispatched(frame, length);
    host_.OnFrame(frame, length);
  }

  bool Succeeded() const { return succeeded_; }
  const std::string& Error() const { return error_; }
  // Block 0 handed to the link -> the success verdict; 0 without one.
  double Seconds() const { return succeeded_ ? view_.TransferSeconds() : 0.0; }
  std::uint32_t Timer2Expiries() const { return timer2Expiries_; }

 private:
  void ShowError(const std::string& message) override { view_.ShowError(message); }

  void OnOutcome(Outcome outcome) override {
    switch (outcome) {
      case Outcome::kDeviceReported:
        host_.Handle([](Session& s) { s.UpdateFirmware(); });
        break;
      case Outcome::kTransferStarted:
        break;
      case Outcome::kUpdateSucceeded:
        succeeded_ = true;
        Finish({});
        break;
      case Outcome::kUpdateFailed:
        Finish("the device reported a failed update");
        break;
      case Outcome::kRecordRejected:
        Finish("the identification record failed its check");
        break;
      case Outcome::kDeviceUnsupported:
      case Outcome::kFileRefused:
      case Outcome::kLinkDropped:
        Finish(view_.LastText());
        break;
    }
  }

  void Finish(std::string error) {
    if (host_.Finished()) return;
    error_ = std::move(error);
    host_.Finish();
    QCoreApplication::exit(0);
  }

  LinkRecorder& recorder_;
  BenchView view_;
  ChosenPortLister ports_;
  SerialLink link_;
  TimedLink timedLink_;
  qt::SessionHost host_;
  bool succeeded_ = false;
  std::string error_;
  std::uint32_t timer2Expiries_ = 0;
};

// What the controller received against what was sent.
bool CheckDevice(const SimObservations& seen, const std::vector<std::uint8_t>& file, std::uint32_t blocks,
                 std::string& summary) {
  std::uint32_t intact = 0;
  for (std::size_t k = 0; k < seen.blocks.size() && k < blocks; ++k) {
    if (std::equal(seen.blocks[k].begin(), seen.blocks[k].end(), file.begin() + static_cast<long>(k * kBlockSize)))
      ++intact;
  }
  const bool endOk = seen.endFrame && seen.endFrame->type == kFirmwareEnd && seen.endFrame->crcOk &&
                     seen.endFrame->closingValue == kClosingValue;
  summary = std::to_string(intact) + " of " + std::to_string(blocks) + " blocks intact (" +
            std::to_string(seen.blocks.size()) + " received), " + std::to_string(seen.resends) + " resends, " +
            std::to_string(seen.endFrames) + " end frame(s), end frame " + (endOk ? "correct" : "WRONG") + ", " +
            std::to_string(seen.badCrcFrames) + " bad-CRC units";
  return intact == blocks && seen.blocks.size() == blocks && endOk && seen.badCrcFrames == 0;
}

}  // namespace

TransferRunResult RunTransfer(std::uint32_t blocks) {
  TransferRunResult result;
  result.blocks = blocks;

  QTemporaryDir folder;
  if (!folder.isValid()) {
    result.error = "cannot make a temporary folder";
    return result;
  }
  const std::string path = folder.filePath(QStringLiteral("bench.sbin")).toStdString();
  const std::vector<std::uint8_t> file = MakeFirmwareFile(blocks);
  if (!WriteFile(path, file)) {
    result.error = "cannot write " + path;
    return result;
  }

  SimConfig config;
  config.typeWord = kDeviceType;
  config.firmwareVersion = kInstalledVersion;
  config.blockIntervalMs = kBlockIntervalMs;
  config.expectedBlocks = blocks;
  config.randomSeed = kImageSeed;
  // Should the host's response timer fire all the same (a slow or loaded machine: block 0 has
  // only 40 ms), its repeat must be taken as a repeat, never as the next block. The file's blocks
  // are random, so no two in a row are equal.
  config.resendRule = ResendRule::kAlways;
  PtyController device(config);
  if (!device.Start(&result.error)) return result;

  // Four events per block and a few for the identification; room is reserved up front.
  LinkRecorder recorder(4 * static_cast<std::size_t>(blocks) + 256);
  bool succeeded = false;
  {
    TransferDriver driver(device.SlavePath(), path, recorder);
    driver.Run(std::chrono::milliseconds(20'000 + 5 * static_cast<std::int64_t>(blocks)));
    succeeded = driver.Succeeded();
    result.error = driver.Error();
    result.seconds = driver.Seconds();
    result.timer2Expiries = driver.Timer2Expiries();
  }  // the link and its threads have ended: the recorder is ours alone again

  result.timings = AnalyseLinkEvents(recorder.Events());
  result.droppedEvents = recorder.Dropped();
  device.Stop();
  const bool deviceOk = CheckDevice(device.Observe(), file, blocks, result.deviceCheck);
  result.ok = succeeded && deviceOk;
  if (succeeded && !deviceOk) result.error = "the device did not receive the file intact";
  return result;
}

}  // namespace corvane::bench
