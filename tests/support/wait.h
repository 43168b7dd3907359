// Waiting for a condition with a deadline while the event loop runs.
#pragma once
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <functional>

namespace corvane::testing {

// Runs the event loop until `done` holds or the deadline passes; returns `done()`. Unlike
// QTest::qWaitFor and QTRY_* (which sleep between passes), every event is handled as soon as it is
// posted, so a frame the link hands over is dispatched at once, as in the program.
inline bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds deadline = std::chrono::seconds(30)) {
  if (done()) return true;
  const QDeadlineTimer until(deadline);
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (done() || until.hasExpired()) loop.quit();
  });
  poll.start(2);
  loop.exec();
  return done();
}

}  // namespace corvane::testing
