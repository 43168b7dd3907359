// The whole session against recording fakes, driven by a fuzzed sequence of user actions, timer
// expiries and received frames (every type and length, with valid CRCs). After every step it
// checks what must always hold: no success without every block and the end frame sent, nothing
// sent while the port is closed, identification sequences stepping by one, the gauge within
// 0..100. An exception escaping a handler ends the run as a crash.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bytes.h"
#include "crc32.h"
#include "frame.h"
#include "fuzz_input.h"
#include "mt_random.h"
#include "packer.h"
#include "session.h"
#include "update_file.h"

namespace {

using namespace corvane;
using Bytes = std::vector<std::uint8_t>;

// The update files the buttons may pick: written once, read by the session as a user's would be.
struct Files {
  std::vector<std::string> paths;
  std::vector<Bytes> contents;
};

// Left to the end of the process on purpose: the folder is removed at exit, after which nothing
// may have been destroyed that the removal needs.
Files& UpdateFiles() {
  static Files* const files = [] {
    auto* f = new Files;
    const std::string dir = std::filesystem::temp_directory_path() / ("corvane-fuzz-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    MersenneRandom random(7);
    Bytes image(3 * kBlockSize);  // every block distinct, so a block sent is told from the others
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 7 + i / kBlockSize);
    const auto add = [f, &dir](const Bytes& bytes) {
      f->paths.push_back(dir + "/" + std::to_string(f->paths.size()) + ".bin");
      std::ofstream(f->paths.back(), std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                              static_cast<std::streamsize>(bytes.size()));
      f->contents.push_back(bytes);
    };
    for (std::uint16_t type : {1, 2})
      for (std::uint16_t version : {4, 5, 6}) add(PackFirmware({type, version, 0xC105EDu}, image, random));
    add(PackDataMap({1, 3, 0xDA7Au}, image, random));
    add(PackDataMap({1, 4, 0xDA7Au}, image, random));
    add(Bytes(256, 0x11));  // fails every header check
    std::atexit([] { std::filesystem::remove_all(std::filesystem::path(UpdateFiles().paths.front()).parent_path()); });
    return f;
  }();
  return *files;
}

// Reads the fuzz input one byte at a time; zeros once it is used up.
struct Input {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t at = 0;
  bool More() const { return at < size; }
  std::uint8_t Next() { return at < size ? data[at++] : 0; }
};

struct Checks {
  [[noreturn]] static void Fail() { fuzz::Violated(); }
  static void That(bool holds) {
    if (!holds) Fail();
  }
};

class FuzzTimer : public Timer {
 public:
  void Start(std::uint32_t ms) override {
    interval_ = ms;
    active_ = ms != 0;
  }
  void Stop() override { active_ = false; }
  bool IsActive() const override { return active_; }
  std::uint32_t Interval() const override { return interval_; }

 private:
  std::uint32_t interval_ = 0;
  bool active_ = false;
};

// What has gone out of the transfer now running: which of its blocks, and whether its end frame
// followed them all.
struct TransferWatch {
  const Bytes* file = nullptr;
  std::vector<bool> blockSent;
  bool endFrameAfterAll = false;
  std::uint8_t lastSequence = 0;
  bool anyIdentify = false;

  void Started(const Bytes& chosen) {
    file = &chosen;
    blockSent.assign(chosen.size() / kBlockSize, false);
    endFrameAfterAll = false;
  }
  void Sent(const std::uint8_t* bytes, std::size_t length) {
    const std::uint16_t type = length >= 2 ? ReadBe16(bytes) : 0;
    if (length == kIdentifyRequestSize && type == kIdentifyRequest) return Identify(bytes[kSequenceOffset + 1]);
    if (file == nullptr || length != kFrameSize) return;
    if (type == kFirmwareEnd || type == kDataMapEnd) {
      endFrameAfterAll = std::find(blockSent.begin(), blockSent.end(), false) == blockSent.end();
      return;
    }
    for (std::size_t k = 0; k < blockSent.size(); ++k)
      if (std::equal(bytes, bytes + kFrameSize, file->begin() + static_cast<std::ptrdiff_t>(k * kBlockSize)))
        blockSent[k] = true;
  }
  // A new request carries the next sequence; a resend repeats the last one.
  void Identify(std::uint8_t sequence) {
    Checks::That(!anyIdentify || sequence == lastSequence || sequence == static_cast<std::uint8_t>(lastSequence + 1));
    anyIdentify = true;
    lastSequence = sequence;
  }
};

// The port as the real link behaves: frames only while open, sends of a closed port are a fault.
class FuzzLink : public Link, public PortLister {
 public:
  FuzzLink(Input& in, TransferWatch& watch) : in_(in), watch_(watch) {}
  bool open = false;
  Frame last{};  // the last frame-sized send

  OpenResult OpenPort(const std::string&) override {
    const std::uint8_t pick = in_.Next() % 8;  // mostly opens
    open = pick < 5;
    return open ? OpenResult::kOk : static_cast<OpenResult>(1 + pick % 4);
  }
  void ClosePort() override { open = false; }
  bool IsOpen() const override { return open; }
  void Send(const std::uint8_t* data, std::size_t length) override {
    Checks::That(open);
    if (length == kFrameSize) std::copy_n(data, kFrameSize, last.begin());
    watch_.Sent(data, length);
  }
  void ClearFrameReceived() override {}
  bool WaitFrameReceived(std::chrono::milliseconds) override { return (in_.Next() & 1) != 0; }
  std::vector<std::string> ListSerialPorts() override { return {"/dev/ttyFUZZ0", "/dev/ttyFUZZ1"}; }

 private:
  Input& in_;
  TransferWatch& watch_;
};

class FuzzView : public View {
 public:
  FuzzView(Input& in, FuzzLink& link, TransferWatch& watch) : in_(in), link_(link), watch_(watch) {}
  int chosen = -1;  // the file the last dialog returned

  void ClearMemo() override {}
  void AppendMemoLine(const std::string&) override {}
  void SetStatus(const std::string&) override {}
  void SetBackground(Colour) override {}
  void SetEnabled(Control, bool) override {}
  void SetVisible(Control, bool) override {}
  void SetGauge(int percent) override { Checks::That(percent >= 0 && percent <= 100); }
  void ShowProgress(std::uint32_t block, std::uint32_t count) override {
    Checks::That(block <= count && ProgressPercent(block, count) <= 100);
  }
  void ShowVerdict(const Verdict&) override {}
  void ShowPorts(const std::vector<std::string>&, const std::string&) override {}
  void ShowNotice(const std::string&) override {}
  BoxAnswer ShowBox(const std::string&, const std::string&, BoxButtons) override {
    if (in_.Next() % 8 == 0) link_.ClosePort();  // the device goes away while the box is open
    return in_.Next() & 1 ? BoxAnswer::kYes : BoxAnswer::kNo;
  }
  std::optional<std::string> ChooseFile(const FileFilter&) override {
    const std::uint8_t pick = in_.Next();
    if (pick % 8 == 0) link_.ClosePort();
    const Files& files = UpdateFiles();
    if (pick % 16 == 1) return std::nullopt;
    chosen = static_cast<int>(pick % (files.paths.size() + 1));
    if (chosen == static_cast<int>(files.paths.size())) return "/nonexistent/update.sbin";
    return files.paths[static_cast<std::size_t>(chosen)];
  }
  // No success without every block and the end frame of this transfer sent.
  void ReportOutcome(Outcome outcome) override {
    if (outcome == Outcome::kTransferStarted) {
      watch_.Started(UpdateFiles().contents.at(static_cast<std::size_t>(chosen)));
      watch_.Sent(link_.last.data(), kFrameSize);  // block 0 went out before the milestone
    }
    if (outcome == Outcome::kUpdateSucceeded) Checks::That(watch_.file != nullptr && watch_.endFrameAfterAll);
    if (outcome == Outcome::kUpdateSucceeded || outcome == Outcome::kUpdateFailed) watch_.file = nullptr;
  }

 private:
  Input& in_;
  FuzzLink& link_;
  TransferWatch& watch_;
};

class SilentSound : public SoundPlayer {
 public:
  void Play(const std::string&) override {}
};

// End-frame bytes need no quality here; a counter is cheaper than seeding an engine per run.
class CountingRandom : public RandomSource {
 public:
  std::uint8_t NextByte() override { return next_++; }

 private:
  std::uint8_t next_ = 0;
};

// A frame as the device would send it: a type, the fuzz's bytes, the CRC over what is kept.
std::size_t DeviceFrame(Input& in, Frame& frame) {
  static constexpr std::uint16_t kTypes[] = {kIdentifyReply, kBlockRequest, kTimeoutUpdate, kFirmwareResult,
                                             kDataMapResult, kIdentifyRequest, kFirmwareEnd, 0xDA0B};
  frame.fill(0);
  WriteBe16(frame.data(), kTypes[in.Next() % 8]);
  const std::size_t length = kMinFrameSize + 4 * (in.Next() % 13);  // 16..64, whole words
  for (std::size_t i = kSequenceOffset; i < length - 4; ++i) frame[i] = in.Next();
  if (FrameTypeCode(frame.data()) == kIdentifyReply && (in.Next() & 3) != 0) {
    frame[kRecordOffset + 1] = static_cast<std::uint8_t>(in.Next() % 3);  // type codes 0..2 mostly
    fuzz::RepairRecord(frame.data());
  }
  WriteBe32(frame.data() + length - 4, Stm32Crc32(frame.data(), static_cast<std::uint32_t>(length - 4)));
  return length;
}

// Timers fire only while they run, as real ones do.
void Step(Input& in, Session& session, FuzzLink& link, const FuzzTimer& timer1, const FuzzTimer& timer2) {
  switch (in.Next() % 10) {
    case 0: return session.Connect();
    case 1: return session.Disconnect();
    case 2: return session.UpdateFirmware();
    case 3: return session.WriteDataMap();
    case 4: return timer1.IsActive() ? session.ScanTimerFired() : void();
    case 5: return timer2.IsActive() ? session.ResponseTimerFired() : void();
    case 6: return session.SoundTimerFired();
    default:
      if (!link.open) return;  // the link hands over no frame of a closed port
      Frame frame;
      const std::size_t length = DeviceFrame(in, frame);
      return session.OnFrame(frame.data(), length);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input in{data, size};
  TransferWatch watch;
  FuzzLink link(in, watch);
  FuzzView view(in, link, watch);
  FuzzTimer timer1, timer2;
  SilentSound sound;
  CountingRandom random;
  Session session({view, link, link, timer1, timer2, sound, random});

  session.FormCreate();
  for (int steps = 0; in.More() && steps < 256; ++steps) {
    Step(in, session, link, timer1, timer2);
  }
  session.FormClose();
  return 0;
}
