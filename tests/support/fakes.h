// Recording fakes of the view, the timers, the link, the port list, the sound player and the
// random source. All of them append to one shared EventLog, so tests can check the order of
// effects across them ("timer2.stop" before "link.close" ...).
#pragma once
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "completion_notices.h"
#include "link.h"
#include "scrambler.h"
#include "timer.h"
#include "view.h"

namespace corvane::testing {

struct EventLog {
  std::vector<std::string> events;
  void Add(std::string e) { events.push_back(std::move(e)); }
  void Clear() { events.clear(); }
  // Index of the first event equal to `e` at or after `from`, or -1.
  int Find(const std::string& e, int from = 0) const {
    for (int i = from; i < static_cast<int>(events.size()); ++i)
      if (events[i] == e) return i;
    return -1;
  }
  int Count(const std::string& e) const {
    int n = 0;
    for (const auto& x : events) n += x == e;
    return n;
  }
};

struct BoxCall {
  std::string text;
  std::string caption;
  BoxButtons buttons;
};

class FakeView : public View {
 public:
  explicit FakeView(EventLog& log) : log_(log) {}

  // State as a window would show it.
  std::vector<std::string> memo;
  std::string status;
  Colour background = Colour::kButtonFace;
  bool connectEnabled = true, firmwareEnabled = false, dataMapEnabled = false;
  bool dataMapVisible = true;
  int gauge = 0;
  std::vector<int> gaugeHistory;
  std::vector<std::string> ports;
  std::string portText = "ComboBox1";
  std::vector<std::string> notices;
  std::vector<BoxCall> boxes;
  std::vector<FileFilter> dialogs;
  std::vector<Outcome> outcomes;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> progress;  // block, blockCount
  std::vector<Verdict> verdicts;

  // Scripted answers: popped in order; when empty, boxes answer Ok/Yes and dialogs cancel.
  std::deque<BoxAnswer> answers;
  std::deque<std::optional<std::string>> chosenFiles;

  void ClearMemo() override {
    memo.clear();
    log_.Add("view.clearMemo");
  }
  void AppendMemoLine(const std::string& line) override {
    memo.push_back(line);
    log_.Add("view.memo:" + line);
  }
  void SetStatus(const std::string& text) override {
    status = text;
    log_.Add("view.status:" + text);
  }
  void SetBackground(Colour colour) override {
    background = colour;
    log_.Add(std::string("view.colour:") + (colour == Colour::kButtonFace ? "face"
                                            : colour == Colour::kLightGreen ? "green"
                                                                           : "red"));
  }
  void SetEnabled(Control control, bool enabled) override {
    Flag(control) = enabled;
    log_.Add(std::string("view.") + (enabled ? "enable:" : "disable:") + Name(control));
  }
  void SetVisible(Control control, bool visible) override {
    if (control == Control::kWriteDataMap) dataMapVisible = visible;
    log_.Add(std::string("view.") + (visible ? "show:" : "hide:") + Name(control));
  }
  void SetGauge(int percent) override {
    gauge = percent;
    gaugeHistory.push_back(percent);
    log_.Add("view.gauge:" + std::to_string(percent));
  }
  // As the window: the gauge shows the percentage, the verdict is a box.
  void ShowProgress(std::uint32_t block, std::uint32_t blockCount) override {
    progress.emplace_back(block, blockCount);
    SetGauge(ProgressPercent(block, blockCount));
  }
  void ShowVerdict(const Verdict& verdict) override {
    verdicts.push_back(verdict);
    ShowBox(verdict.text, verdict.caption, BoxButtons::kOk);
  }
  void ShowPorts(const std::vector<std::string>& names, const std::string& current) override {
    ports = names;
    portText = current;
    log_.Add("view.ports:" + current);
  }
  void ShowNotice(const std::string& text) override {
    notices.push_back(text);
    log_.Add("view.notice:" + text);
  }
  BoxAnswer ShowBox(const std::string& text, const std::string& caption, BoxButtons buttons) override {
    boxes.push_back({text, caption, buttons});
    log_.Add("view.box:" + text);
    if (onBox) onBox();
    if (!answers.empty()) {
      const BoxAnswer a = answers.front();
      answers.pop_front();
      return a;
    }
    return buttons == BoxButtons::kYesNo ? BoxAnswer::kYes : BoxAnswer::kOk;
  }
  std::optional<std::string> ChooseFile(const FileFilter& filter) override {
    dialogs.push_back(filter);
    log_.Add("view.dialog:" + filter.pattern);
    if (onDialog) onDialog();
    if (chosenFiles.empty()) return std::nullopt;
    auto f = chosenFiles.front();
    chosenFiles.pop_front();
    return f;
  }
  void ReportOutcome(Outcome outcome) override { outcomes.push_back(outcome); }

  std::function<void()> onBox;     // runs while a box is "open"
  std::function<void()> onDialog;  // runs while the file dialog is "open"

  static const char* Name(Control c) {
    switch (c) {
      case Control::kConnect:
        return "connect";
      case Control::kUpdateFirmware:
        return "firmware";
      case Control::kWriteDataMap:
        return "datamap";
    }
    return "?";
  }

 private:
  bool& Flag(Control c) {
    switch (c) {
      case Control::kConnect:
        return connectEnabled;
      case Control::kUpdateFirmware:
        return firmwareEnabled;
      case Control::kWriteDataMap:
        break;
    }
    return dataMapEnabled;
  }
  EventLog& log_;
};

// A timer that fires only when the test says so. Start(0) leaves it stopped, as the real one.
class FakeTimer : public Timer {
 public:
  FakeTimer(EventLog& log, std::string name) : log_(log), name_(std::move(name)) {}
  void Start(std::uint32_t intervalMs) override {
    interval_ = intervalMs;
    active_ = intervalMs != 0;
    log_.Add(name_ + ".start:" + std::to_string(intervalMs));
  }
  void Stop() override {
    active_ = false;
    log_.Add(name_ + ".stop");
  }
  bool IsActive() const override { return active_; }
  std::uint32_t Interval() const override { return interval_; }

 private:
  EventLog& log_;
  std::string name_;
  bool active_ = false;
  std::uint32_t interval_ = 0;
};

class FakeLink : public Link {
 public:
  explicit FakeLink(EventLog& log) : log_(log) {}

  std::map<std::string, OpenResult> openResults;  // default kOk
  std::vector<std::string> openAttempts;
  std::vector<std::vector<std::uint8_t>> sent;
  bool open = false;
  bool frameReceived = false;
  // Runs inside WaitFrameReceived, as a device answering during the wait would.
  std::function<void()> duringWait;

  OpenResult OpenPort(const std::string& name) override {
    openAttempts.push_back(name);
    const auto it = openResults.find(name);
    const OpenResult r = it == openResults.end() ? OpenResult::kOk : it->second;
    open = r == OpenResult::kOk;
    log_.Add("link.open:" + name + (open ? "" : ":failed"));
    return r;
  }
  void ClosePort() override {
    open = false;
    log_.Add("link.close");
  }
  bool IsOpen() const override { return open; }
  void Send(const std::uint8_t* data, std::size_t length) override {
    log_.Add("link.send:" + std::to_string(length) + (open ? "" : ":closed"));
    if (open) sent.emplace_back(data, data + length);
  }
  void ClearFrameReceived() override { frameReceived = false; }
  bool WaitFrameReceived(std::chrono::milliseconds) override {
    log_.Add("link.wait");
    if (duringWait) duringWait();
    return frameReceived;
  }

 private:
  EventLog& log_;
};

class FakePortLister : public PortLister {
 public:
  std::vector<std::string> ports;
  int calls = 0;
  std::vector<std::string> ListSerialPorts() override {
    ++calls;
    return ports;
  }
};

class FakeSound : public SoundPlayer {
 public:
  explicit FakeSound(EventLog& log) : log_(log) {}
  std::vector<std::string> played;
  void Play(const std::string& path) override {
    played.push_back(path);
    log_.Add("sound:" + path);
  }

 private:
  EventLog& log_;
};

// Counts up from `next`; tests can predict every random byte.
class FakeRandom : public RandomSource {
 public:
  std::uint8_t next = 0;
  std::uint8_t NextByte() override { return next++; }
};

// The log with the fakes that every logic test wires up: the view, Timer1, Timer2 and the link.
struct FakeWindow {
  EventLog log;
  FakeView view{log};
  FakeTimer timer1{log, "timer1"};
  FakeTimer timer2{log, "timer2"};
  FakeLink link{log};
};

}  // namespace corvane::testing
