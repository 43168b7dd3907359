// The disconnect routine, the request sender, its retries and the identification request.
#include "sender.h"

#include <QTest>
#include <ctime>
#include <random>
#include <stdexcept>

#include "bytes.h"
#include "connect_rig.h"
#include "crc32.h"
#include "disconnector.h"

using namespace corvane;
using namespace corvane::testing;

namespace {

const std::string kDropped = "Произведено 5 попыток коммуникации, связь прервана!";

struct SenderRig : FakeWindow {
  std::time_t now = 1'700'000'000;
  Disconnector disconnector{view, timer1, timer2, link};
  RequestSender sender{link, timer2, view, disconnector, [this] { return now; }};
  SenderRig() { link.open = true; }
};

}  // namespace

class SenderTest : public QObject {
  Q_OBJECT

 private slots:
  void resetToDisconnectedRunsItsTenStepsInOrder() {
    SenderRig r;
    r.view.dataMapVisible = false;
    r.disconnector.ResetToDisconnected();
    const std::vector<std::string> expected = {"view.clearMemo",       "timer2.stop",
                                               "timer1.stop",          "view.colour:face",
                                               "link.close",           "view.status:device disconnected.",
                                               "view.enable:connect",  "view.disable:firmware",
                                               "view.disable:datamap", "view.gauge:0"};
    QCOMPARE(r.log.events, expected);
    QVERIFY(!r.view.dataMapVisible);  // visibility is the device report's business
  }

  void unansweredRequestGoesOutSevenTimesThenDrops() {
    SenderRig r;
    r.sender.SendIdentifyRequest();
    QVERIFY(r.timer2.IsActive());
    QCOMPARE(r.timer2.Interval(), 200u);
    for (std::uint32_t n = 1; n <= 5; ++n) {
      r.sender.ResendRequest();
      QCOMPARE(r.sender.RetryCount(), n);
      QCOMPARE(r.link.sent.size(), n + 1);
      QVERIFY(r.timer2.IsActive());
    }
    QVERIFY(r.view.outcomes.empty());
    r.log.Clear();
    r.sender.ResendRequest();
    QCOMPARE(r.link.sent.size(), 7u);
    for (const auto& copy : r.link.sent) QCOMPARE(copy, r.link.sent.front());
    // The last copy is written, then reset, then Timer2 stopped, then the status text.
    const int send = r.log.Find("link.send:12");
    const int reset = r.log.Find("view.clearMemo");
    const int resetEnd = r.log.Find("view.gauge:0");
    const int stop = r.log.Find("timer2.stop", resetEnd);
    const int status = r.log.Find("view.status:" + kDropped);
    QVERIFY(send >= 0 && send < reset && reset < resetEnd && resetEnd < stop && stop < status);
    QCOMPARE(r.view.status, kDropped);
    QVERIFY(!r.link.open && !r.timer2.IsActive() && r.view.connectEnabled);
    QCOMPARE(r.view.outcomes, std::vector<Outcome>{Outcome::kLinkDropped});
  }

  void expiriesWithNoPortOpenCountWithoutSending() {
    SenderRig r;
    r.sender.SendIdentifyRequest();
    r.link.open = false;  // the scan closed the silent port; Timer2 runs on
    for (int n = 0; n < 5; ++n) r.sender.ResendRequest();
    QCOMPARE(r.sender.RetryCount(), 5u);
    QCOMPARE(r.log.Count("link.send:12:closed"), 0);
    QCOMPARE(r.link.sent.size(), 1u);
    r.sender.ResendRequest();
    QCOMPARE(r.view.status, kDropped);
    QCOMPARE(r.log.Count("link.send:12:closed"), 0);
  }

  void newRequestReplacesTheKeptCopy() {
    SenderRig r;
    std::uint8_t block[64];
    for (int i = 0; i < 64; ++i) block[i] = static_cast<std::uint8_t>(0xA0 + i);
    r.sender.SendRequest(block, 64, 0);
    QVERIFY(!r.timer2.IsActive());  // 0: never fires, never resent
    r.sender.ResendRequest();
    r.sender.ResendRequest();
    r.sender.SendIdentifyRequest();
    QCOMPARE(r.sender.RetryCount(), 0u);
    r.sender.ResendRequest();
    QCOMPARE(r.link.sent[0].size(), 64u);
    QCOMPARE(r.link.sent[3].size(), 12u);
    QCOMPARE(r.link.sent[4], r.link.sent[3]);  // only the 12 new bytes, nothing of the old block
  }

  void oversizedRequestIsRefusedUntouched() {
    SenderRig r;
    std::uint8_t big[129] = {};
    QVERIFY_THROWS_EXCEPTION(std::length_error, r.sender.SendRequest(big, sizeof big, 40));
    QVERIFY(r.link.sent.empty());
    QVERIFY(!r.timer2.IsActive());
  }

  void identifyRequestsCountAndDrawFromTheClock() {
    SenderRig r;
    for (int n = 0; n < 257; ++n) r.sender.SendIdentifyRequest();
    QCOMPARE(r.link.sent.size(), 257u);
    for (int n = 0; n < 257; ++n) {
      const auto& q = r.link.sent[n];
      QCOMPARE(FrameTypeCode(q.data()), std::uint16_t{0xDA00});
      QCOMPARE(ReadBe16(&q[kSequenceOffset]), std::uint16_t(n % 256));  // the 257th carries 0 again
      QCOMPARE(ReadBe32(&q[kIdentifyCrcOffset]), Stm32Crc32(q.data(), kIdentifyCrcOffset));
    }
    QCOMPARE(r.sender.RequestSequence(), 1);
    // Reseeded with the calendar second for each request: low bytes of that seed's draws.
    std::mt19937 reference(static_cast<std::mt19937::result_type>(r.now));
    auto random = [&r](std::size_t n) {
      const auto& q = r.link.sent[n];
      return std::vector<std::uint8_t>(q.begin() + kIdentifyRandomOffset, q.begin() + kIdentifyCrcOffset);
    };
    std::vector<std::uint8_t> expected(4);
    for (auto& b : expected) b = static_cast<std::uint8_t>(reference() & 0xFF);
    QCOMPARE(random(0), expected);
    QCOMPARE(random(1), expected);
    r.now += 1;
    r.sender.SendIdentifyRequest();
    QVERIFY(random(r.link.sent.size() - 1) != expected);
  }
};

QTEST_APPLESS_MAIN(SenderTest)
#include "sender_test.moc"
