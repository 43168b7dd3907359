// Wires one window to one Session: button clicks, the three timers, received frames and the
// window's closing go to the Session's handlers; the Session talks back through QtView.
// Every handler is guarded: an exception that escapes it is shown in an error box and the
// program goes on.
#pragma once
#include <QObject>
#include <functional>
#include <memory>

#include "link.h"
#include "qt_timer.h"
#include "qt_view.h"
#include "session.h"

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

class AppController : public QObject, public FrameSink {
  Q_OBJECT

 public:
  static constexpr std::uint32_t kSoundTimerMs = 100;

  // Builds the Session, fills the port list (FormCreate) and starts Timer3.
  AppController(MainWindow& window, const AppParts& parts);
  ~AppController() override;

  Session& session() { return *session_; }
  QtView& view() { return view_; }
  qt::QtTimer& scanTimer() { return timer1_; }
  qt::QtTimer& responseTimer() { return timer2_; }
  qt::QtTimer& soundTimer() { return timer3_; }

  // A checked frame from the link, on the window thread; none is taken once the window closed.
  void OnFrame(const std::uint8_t* frame, std::size_t length) override;

 private:
  void Guarded(const std::function<void()>& handler);

  MainWindow& window_;
  Dialogs& dialogs_;
  QtView view_;
  qt::QtTimer timer1_;
  qt::QtTimer timer2_;
  qt::QtTimer timer3_;
  std::unique_ptr<Session> session_;
  bool closed_ = false;
};

}  // namespace corvane::app
