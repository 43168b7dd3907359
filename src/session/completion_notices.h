// The completion sounds of a firmware verdict: a flag raised by the verdict, played by Timer3.
#pragma once
#include <cstdint>
#include <string>

namespace corvane {

// Plays a sound file asynchronously, never blocking; falls back to the system beep when the
// file is missing or cannot be played.
class SoundPlayer {
 public:
  virtual ~SoundPlayer() = default;
  virtual void Play(const std::string& path) = 0;
};

class CompletionNotices {
 public:
  explicit CompletionNotices(SoundPlayer& player) : player_(player) {}
  void RaiseReady() { readySoundPending_ = 1; }
  void RaiseFailed() { failedSoundPending_ = 1; }
  // Timer3Timer: clears each pending flag, then plays its file; ready before failed.
  void Tick();
  bool ReadySoundPending() const { return readySoundPending_ == 1; }
  bool FailedSoundPending() const { return failedSoundPending_ == 1; }

 private:
  SoundPlayer& player_;
  std::uint8_t readySoundPending_ = 0;
  std::uint8_t failedSoundPending_ = 0;
};

}  // namespace corvane
