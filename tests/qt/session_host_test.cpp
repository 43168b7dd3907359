// The session host: one guard for every handler and frame, milestones handed to the program from
// the event loop once the handler (and the frame's dispatch) has returned, and the finish latch.
#include "session_host.h"

#include <QCoreApplication>
#include <QTest>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "fakes.h"
#include "frame.h"

using namespace corvane;
using namespace corvane::testing;

namespace {

class ThrowingLister : public FakePortLister {
 public:
  std::string error;  // when set, listing throws this
  std::vector<std::string> ListSerialPorts() override {
    if (!error.empty()) throw std::runtime_error(error);
    return FakePortLister::ListSerialPorts();
  }
};

// Records what the host hands over; `onOutcome` acts on a milestone as a program would.
class RecordingPolicy : public qt::SessionPolicy {
 public:
  std::vector<std::string> errors;
  std::vector<Outcome> outcomes;
  std::function<void(Outcome)> onOutcome;
  bool boxFails = false;

  void ShowError(const std::string& message) override {
    errors.push_back(message);
    if (boxFails) throw std::runtime_error("no box today");
  }
  void OnOutcome(Outcome outcome) override {
    outcomes.push_back(outcome);
    if (onOutcome) onOutcome(outcome);
  }
};

struct Rig {
  EventLog log;
  FakeView view{log};
  FakeLink link{log};
  ThrowingLister ports;
  RecordingPolicy policy;
  qt::SessionHost host{qt::HostParts{view, link, ports}, policy};
};

// A failed data-map verdict: reported as kUpdateFailed, with or without a transfer.
Frame FailedVerdict() {
  Frame frame{};
  frame[0] = 0xDA;
  frame[1] = 0x09;
  return frame;
}

const auto kConnect = [](Session& s) { s.Connect(); };
const auto kWriteDataMap = [](Session& s) { s.WriteDataMap(); };  // refused at once: no intact firmware

}  // namespace

class SessionHostTest : public QObject {
  Q_OBJECT

 private slots:
  void everyHandlerEndsInTheOneErrorBox() {
    Rig r;
    r.ports.error = "port list unavailable";
    r.host.Handle([](Session& s) { s.FormCreate(); });
    r.host.Handle(kConnect);
    r.host.Handle([](Session&) { throw 42; });  // no std::exception: an empty message
    r.view.onBox = [] { throw std::runtime_error("verdict box broke"); };
    const Frame verdict = FailedVerdict();
    r.host.OnFrame(verdict.data(), verdict.size());
    QCOMPARE(r.policy.errors,
             (std::vector<std::string>{"port list unavailable", "port list unavailable", "", "verdict box broke"}));
    QCOMPARE(r.view.boxes.size(), std::size_t{1});  // only the verdict's own box

    // A box that fails itself ends in the guard too.
    r.policy.boxFails = true;
    r.host.Handle(kConnect);
    QCOMPARE(r.policy.errors.size(), std::size_t{5});

    // And the program goes on.
    r.policy.boxFails = false;
    r.view.onBox = nullptr;
    r.ports.error.clear();
    r.ports.ports = {"P"};
    r.host.Handle(kConnect);
    QCOMPARE(r.view.status, std::string(" Идет сканирование портов "));
    QVERIFY(r.host.scanTimer().IsActive());
    QCOMPARE(r.policy.errors.size(), std::size_t{5});
  }

  void milestonesArriveFromTheEventLoopAfterTheDispatch() {
    Rig r;
    const Frame verdict = FailedVerdict();
    r.host.OnFrame(verdict.data(), verdict.size());
    // The view saw it at once; the program has not yet.
    QCOMPARE(r.view.outcomes, std::vector<Outcome>{Outcome::kUpdateFailed});
    QVERIFY(r.policy.outcomes.empty());
    QVERIFY(r.host.OutcomesPending());

    // A button pressed on a milestone: its own milestones follow in the same round.
    r.policy.onOutcome = [&r](Outcome outcome) {
      if (outcome == Outcome::kUpdateFailed) r.host.Handle(kWriteDataMap);
    };
    QCoreApplication::processEvents();
    QCOMPARE(r.policy.outcomes, (std::vector<Outcome>{Outcome::kUpdateFailed, Outcome::kFileRefused}));
    QVERIFY(!r.host.OutcomesPending());
  }

  void finishIsALatch() {
    Rig r;
    r.ports.ports = {"P"};
    r.host.Handle(kConnect);
    r.host.Handle(kWriteDataMap);  // a milestone not yet delivered
    r.link.open = true;
    r.log.Clear();
    r.host.Finish();
    r.host.Finish();
    QCOMPARE(r.log.events, std::vector<std::string>{"link.close"});  // FormClose, once
    QVERIFY(!r.host.scanTimer().IsActive() && !r.host.responseTimer().IsActive());

    const Frame verdict = FailedVerdict();
    r.host.OnFrame(verdict.data(), verdict.size());
    QVERIFY(r.view.verdicts.empty());
    QCoreApplication::processEvents();
    QVERIFY(r.policy.outcomes.empty());
  }
};

QTEST_GUILESS_MAIN(SessionHostTest)
#include "session_host_test.moc"
