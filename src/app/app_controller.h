// The window's policy over its session host: the four buttons and the window's closing go to the
// Session's handlers, Timer3 plays the completion sounds, and an exception that escapes a
// handler is shown in the toolkit's error box while the program goes on. The Session talks back
// through QtView.
#pragma once
#include <QObject>
#include <memory>
#include <string>

#include "link.h"
#include "qt_timer.h"
#include "qt_view.h"
#include "session.h"
#include "session_host.h"

namespace corvane::app {

class Dialogs;
class MainWindow;

struct AppParts {
  Link& link;
  PortLister& ports;
  SoundPlayer& sound;
  Dialogs& dialogs;
  RandomSource& random;
};

class AppController : public QObject, public FrameSink, private qt::SessionPolicy {
  Q_OBJECT

 public:
  static constexpr std::uint32_t kSoundTimerMs = 100;

  // Builds the Session, fills the port list (FormCreate) and starts Timer3.
  AppController(MainWindow& window, const AppParts& parts);
  ~AppController() override;

  Session& session() { return host_.session(); }
  QtView& view() { return view_; }
  qt::QtTimer& scanTimer() { return host_.scanTimer(); }
  qt::QtTimer& responseTimer() { return host_.responseTimer(); }
  qt::QtTimer& soundTimer() { return timer3_; }

  // A checked frame from the link, on the window thread; none is taken once the window closed.
  void OnFrame(const std::uint8_t* frame, std::size_t length) override { host_.OnFrame(frame, length); }

 private:
  void ShowError(const std::string& message) override;

  MainWindow& window_;
  Dialogs& dialogs_;
  QtView view_;
  qt::QtTimer timer3_{QStringLiteral("Timer3")};
  qt::SessionHost host_;
};

}  // namespace corvane::app
