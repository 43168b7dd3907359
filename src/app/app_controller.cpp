#include "app_controller.h"

#include <QPushButton>

#include "dialogs.h"
#include "main_window.h"

namespace corvane::app {

namespace {

// A click that runs one Session handler through the host.
void Wire(QPushButton* button, AppController* controller, qt::SessionHost& host, void (Session::*handler)()) {
  QObject::connect(button, &QPushButton::clicked, controller,
                   [&host, handler] { host.Handle([handler](Session& s) { (s.*handler)(); }); });
}

}  // namespace

AppController::AppController(MainWindow& window, const AppParts& parts)
    : window_(window),
      dialogs_(parts.dialogs),
      view_(window, parts.dialogs),
      host_(qt::HostParts{view_, parts.link, parts.ports, &parts.sound, &parts.random}, *this) {
  Wire(window.ConnectButton(), this, host_, &Session::Connect);
  Wire(window.DisconnectButton(), this, host_, &Session::Disconnect);
  Wire(window.UpdateFirmwareButton(), this, host_, &Session::UpdateFirmware);
  Wire(window.WriteDataMapButton(), this, host_, &Session::WriteDataMap);
  connect(&timer3_.Qt(), &QTimer::timeout, this, [this] { host_.Handle([](Session& s) { s.SoundTimerFired(); }); });
  // FormClose, and from then on no frame reaches the session.
  connect(&window, &MainWindow::closing, this, [this] { host_.Finish(); });

  host_.Handle([](Session& s) { s.FormCreate(); });
  timer3_.Start(kSoundTimerMs);
}

AppController::~AppController() {
  timer3_.Stop();
  host_.Finish();
}

void AppController::ShowError(const std::string& message) {
  dialogs_.ShowError(&window_, QString::fromUtf8(message.c_str()));
}

}  // namespace corvane::app
