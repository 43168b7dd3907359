#include "app_controller.h"

#include <QPushButton>
#include <exception>

#include "dialogs.h"
#include "main_window.h"

namespace corvane::app {

AppController::AppController(MainWindow& window, const AppParts& parts)
    : window_(window),
      dialogs_(parts.dialogs),
      view_(window, parts.dialogs),
      timer1_(QStringLiteral("Timer1")),
      timer2_(QStringLiteral("Timer2")),
      timer3_(QStringLiteral("Timer3")) {
  session_ = std::make_unique<Session>(
      SessionPorts{view_, parts.link, parts.ports, timer1_, timer2_, parts.sound, parts.random});

  Session* s = session_.get();
  connect(window.ConnectButton(), &QPushButton::clicked, this, [this, s] { Guarded([s] { s->Connect(); }); });
  connect(window.DisconnectButton(), &QPushButton::clicked, this, [this, s] { Guarded([s] { s->Disconnect(); }); });
  connect(window.UpdateFirmwareButton(), &QPushButton::clicked, this,
          [this, s] { Guarded([s] { s->UpdateFirmware(); }); });
  connect(window.WriteDataMapButton(), &QPushButton::clicked, this, [this, s] { Guarded([s] { s->WriteDataMap(); }); });
  connect(&timer1_.Qt(), &QTimer::timeout, this, [this, s] { Guarded([s] { s->ScanTimerFired(); }); });
  connect(&timer2_.Qt(), &QTimer::timeout, this, [this, s] { Guarded([s] { s->ResponseTimerFired(); }); });
  connect(&timer3_.Qt(), &QTimer::timeout, this, [this, s] { Guarded([s] { s->SoundTimerFired(); }); });
  connect(&window, &MainWindow::closing, this, [this, s] {
    closed_ = true;
    Guarded([s] { s->FormClose(); });
  });

  Guarded([s] { s->FormCreate(); });
  timer3_.Start(kSoundTimerMs);
}

AppController::~AppController() {
  timer1_.Stop();
  timer2_.Stop();
  timer3_.Stop();
}

void AppController::OnFrame(const std::uint8_t* frame, std::size_t length) {
  // A frame the link handed over before the window closed would restart Timer2 and the transfer.
  if (closed_) return;
  Guarded([this, frame, length] { session_->OnFrame(frame, length); });
}

void AppController::Guarded(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    dialogs_.ShowError(&window_, QString::fromUtf8(e.what()));
  } catch (...) {
    dialogs_.ShowError(&window_, QString());
  }
}

}  // namespace corvane::app
