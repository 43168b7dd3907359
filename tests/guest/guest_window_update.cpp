// One firmware update through the real window on one serial port, without a person: CONNECT,
// the file chosen in the (scripted) file dialog, "update firmware", then the verdict box. The
// window has no scripted mode of its own, so this drives it through the end-to-end tests' rig,
// which holds the real window, controller and serial link and answers boxes from a script
// (questions Yes). Used in the guest, where the port is a real kernel driver's.
//   guest-window-update PORT FILE.sbin
// Prints the boxes shown and the status line; exits 0 on "Firmware update completed
// successfully!", 1 on another verdict or none within the deadline, 64 for a usage error.
#include <QApplication>
#include <QPushButton>
#include <chrono>
#include <cstdio>

#include "window_rig.h"

using namespace corvane;
using namespace std::chrono_literals;

namespace {

const QString kSuccess = "Firmware update completed successfully!";

void PrintBoxes(const e2e::WindowRig& r) {
  for (const auto& box : r.dialogs.boxes)
    std::printf("box: %s [%s]\n", qUtf8Printable(box.text), qUtf8Printable(box.caption));
  std::printf("status: %s\n", qUtf8Printable(r.Status()));
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  const QStringList args = QApplication::arguments();
  if (args.size() != 3) {
    std::fprintf(stderr, "usage: guest-window-update PORT FILE.sbin\n");
    return 64;
  }
  e2e::WindowRig r({args[1].toStdString()});

  r.Click(r.window.ConnectButton());
  if (!testing::WaitFor([&] { return r.window.UpdateFirmwareButton()->isEnabled(); }, 30s)) {
    std::printf("no device reported on %s\n", qUtf8Printable(args[1]));
    PrintBoxes(r);
    return 1;
  }
  std::printf("connected: %s\n", qUtf8Printable(r.Memo().section('\n', 0, 0)));

  // Version questions are answered Yes (the rig's default); the update ends with a box that is
  // not a question.
  r.dialogs.files = {args[2]};
  r.Click(r.window.UpdateFirmwareButton());
  const bool ended = testing::WaitFor(
      [&] {
        for (const auto& box : r.dialogs.boxes)
          if (box.buttons != BoxButtons::kYesNo) return true;
        return false;
      },
      120s);
  PrintBoxes(r);
  if (!ended) std::printf("no verdict within 120 s\n");
  return ended && r.BoxShown(kSuccess) ? 0 : 1;
}
