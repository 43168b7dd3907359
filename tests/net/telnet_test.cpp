// The Telnet stream of a network port (0xFF doubled out and undoubled in, the peer's commands
// taken out at any split), the port URLs, and the RFC 2217 negotiation against scripted servers:
// what is asked, which answers open the port and which refuse it.
#include <QTest>
#include <vector>

#include "port_path.h"
#include "port_url.h"
#include "rfc2217_session.h"
#include "telnet_codec.h"

using namespace corvane;
using namespace corvane::telnet;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

struct Recorder : TelnetEvents {
  std::vector<std::pair<std::uint8_t, std::uint8_t>> options;
  std::vector<Bytes> subs;
  Bytes commands;
  void OnOption(std::uint8_t verb, std::uint8_t option) override { options.emplace_back(verb, option); }
  void OnSubnegotiation(const std::uint8_t* body, std::size_t length) override { subs.emplace_back(body, body + length); }
  void OnCommand(std::uint8_t command) override { commands.push_back(command); }
};

Bytes Sub(std::initializer_list<std::uint8_t> body) {
  Bytes bytes = {kIac, kSb};
  bytes.insert(bytes.end(), body);
  bytes.insert(bytes.end(), {kIac, kSe});
  return bytes;
}
Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}
// The server's answers ser2net gives on a pseudo-terminal: every setting but DTR and RTS.
const Bytes kOptionsAccepted = {kIac, kDo, kOptionBinary, kIac, kWill, kOptionBinary, kIac, kDo, kOptionComPort};
const Bytes kSettingsAcked = Cat({Sub({44, 101, 0x00, 0x01, 0xC2, 0x00}), Sub({44, 102, 8}), Sub({44, 103, 1}),
                                  Sub({44, 104, 1}), Sub({44, 105, 1}), Sub({44, 112, 1})});

}  // namespace

class TelnetTest : public QObject {
  Q_OBJECT

 private slots:
  void dataIsDoubledOutAndUndoubledInAtEverySplit() {
    Bytes frame(64, 0xFF);  // a block of an erased image
    frame[3] = 0x00;
    frame[40] = kSe;
    Bytes wire;
    EncodeData(frame.data(), frame.size(), wire);
    QCOMPARE(wire.size(), std::size_t{64 + 62});
    // Commands, option requests and a subnegotiation holding a doubled 0xFF, around and inside.
    const Bytes noise = Cat({{kIac, kDo, kOptionEcho}, Sub({44, 107, 0xFF, 0xFF}), {kIac, 241}});
    Bytes stream = Cat({noise, Bytes(wire.begin(), wire.begin() + 51), noise, Bytes(wire.begin() + 51, wire.end()), noise});
    for (std::size_t split = 0; split <= stream.size(); ++split) {
      Recorder events;
      TelnetDecoder decoder(events);
      Bytes data;
      decoder.Decode(stream.data(), split, data);
      decoder.Decode(stream.data() + split, stream.size() - split, data);
      QVERIFY2(data == frame, qPrintable(QString("split at %1").arg(split)));
      QCOMPARE(events.options.size(), std::size_t{3});
      QCOMPARE(events.options[0], std::make_pair(kDo, kOptionEcho));
      QCOMPARE(events.subs.size(), std::size_t{3});
      QVERIFY(events.subs[1] == (Bytes{44, 107, 0xFF}));
      QCOMPARE(events.commands, (Bytes{241, 241, 241}));
    }
  }

  void subnegotiationIsBoundedAndEndsAtAnyCommand() {
    Recorder events;
    TelnetDecoder decoder(events);
    Bytes stream = {kIac, kSb};
    stream.insert(stream.end(), 1000, 7);
    stream.insert(stream.end(), {kIac, kWill, kOptionBinary, 'A'});  // no SE: the WILL still counts
    Bytes data;
    decoder.Decode(stream.data(), stream.size(), data);
    QCOMPARE(events.subs.size(), std::size_t{1});
    QCOMPARE(events.subs[0].size(), kMaxSubnegotiation);
    QCOMPARE(events.options.size(), std::size_t{1});
    QCOMPARE(data, Bytes{'A'});
  }

  void portUrls_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<bool>("rfc2217");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("service");
    QTest::newRow("rfc2217") << "rfc2217://bench-3:4000" << true << true << "bench-3" << "4000";
    QTest::newRow("socket") << "socket://10.0.0.7:4001" << true << false << "10.0.0.7" << "4001";
    QTest::newRow("ipv6") << "rfc2217://[::1]:2217" << true << true << "::1" << "2217";
    QTest::newRow("leading zeros") << "socket://h:00080" << true << false << "h" << "80";
    QTest::newRow("no port") << "rfc2217://host" << false << false << "" << "";
    QTest::newRow("port 0") << "socket://host:0" << false << false << "" << "";
    QTest::newRow("port too big") << "socket://host:65536" << false << false << "" << "";
    QTest::newRow("port not a number") << "socket://host:4o00" << false << false << "" << "";
    QTest::newRow("no host") << "socket://:4000" << false << false << "" << "";
    QTest::newRow("bare ipv6") << "socket://::1:4000" << false << false << "" << "";
    QTest::newRow("path after") << "socket://host:4000/x" << false << false << "" << "";
    QTest::newRow("other scheme") << "telnet://host:23" << false << false << "" << "";
  }
  void portUrls() {
    QFETCH(QString, name);
    QFETCH(bool, valid);
    const auto url = ParsePortUrl(name.toStdString());
    QCOMPARE(url.has_value(), valid);
    // A URL is never taken for a path, whether it parses or not.
    QCOMPARE(PortPath(name.toStdString()), name.toStdString());
    QCOMPARE(ResolvePortArgument(name.toStdString()), name.toStdString());
    if (!valid) return;
    QFETCH(bool, rfc2217);
    QFETCH(QString, host);
    QFETCH(QString, service);
    QCOMPARE(url->protocol == PortProtocol::kRfc2217, rfc2217);
    QCOMPARE(QString::fromStdString(url->host), host);
    QCOMPARE(QString::fromStdString(url->service), service);
  }

  // ser2net on a pseudo-terminal: its own option requests first, every setting acknowledged but
  // DTR and RTS; the port opens once the grace for those has passed, not before.
  void negotiationOpensWithoutModemLineAnswers() {
    Rfc2217Session session;
    Bytes out;
    session.Start(out);
    QCOMPARE(out, (Bytes{kIac, kWill, kOptionBinary, kIac, kDo, kOptionBinary, kIac, kWill, kOptionComPort}));
    out.clear();
    const Clock::time_point t0 = Clock::now();
    const Bytes greeting = {kIac, kWill, kOptionSuppressGoAhead, kIac, kDo, kOptionSuppressGoAhead, kIac, kWill,
                            kOptionEcho, kIac, kDont, kOptionEcho, kIac, kDo, 99};
    session.Feed(greeting.data(), greeting.size(), out, t0);
    QCOMPARE(out, (Bytes{kIac, kDo, kOptionSuppressGoAhead, kIac, kWill, kOptionSuppressGoAhead, kIac, kDont,
                         kOptionEcho, kIac, kWont, 99}));
    out.clear();
    session.Feed(kOptionsAccepted.data(), kOptionsAccepted.size(), out, t0);
    QCOMPARE(session.phase(), Rfc2217Session::Phase::kSettings);
    const Bytes asked = Cat({Sub({44, 1, 0x00, 0x01, 0xC2, 0x00}), Sub({44, 2, 8}), Sub({44, 3, 1}), Sub({44, 4, 1}),
                             Sub({44, 5, 1}), Sub({44, 5, 9}), Sub({44, 5, 12}), Sub({44, 12, 1})});
    QCOMPARE(out, asked);
    out.clear();
    // The answers, split inside a subnegotiation, with line data among them that is not kept.
    Bytes answers = Cat({{'x'}, kSettingsAcked});
    session.Feed(answers.data(), 9, out, t0);
    session.Feed(answers.data() + 9, answers.size() - 9, out, t0);
    QVERIFY(out.empty());
    QCOMPARE(session.phase(), Rfc2217Session::Phase::kSettings);
    QVERIFY(session.WaitUntil().has_value());
    session.Advance(*session.WaitUntil() - 1ms);
    QCOMPARE(session.phase(), Rfc2217Session::Phase::kSettings);
    session.Advance(*session.WaitUntil());
    QCOMPARE(session.phase(), Rfc2217Session::Phase::kOpen);

    // Open: data through the codec, the server's purge answer and notices taken out; frames go
    // out doubled, with nothing ahead of them.
    Bytes data, reply;
    const Bytes in = Cat({{0x10, kIac, kIac}, Sub({44, 112, 2}), Sub({44, 106, 0x60}), {0x20}});
    session.Decode(in.data(), in.size(), data, reply);
    QCOMPARE(data, (Bytes{0x10, 0xFF, 0x20}));
    QVERIFY(reply.empty());
    const Bytes frame = {1, 0xFF, 2};
    Bytes wire;
    session.Encode(frame.data(), frame.size(), wire);
    QCOMPARE(wire, (Bytes{1, 0xFF, 0xFF, 2}));
  }

  void negotiationOpensAtOnceWhenModemLinesAreAnswered() {
    Rfc2217Session session;
    Bytes out;
    session.Start(out);
    const Bytes answers = Cat({kOptionsAccepted, kSettingsAcked, Sub({44, 105, 12}), Sub({44, 105, 9})});
    session.Feed(answers.data(), answers.size(), out, Clock::now());
    QCOMPARE(session.phase(), Rfc2217Session::Phase::kOpen);
  }

  void refusals_data() {
    QTest::addColumn<QByteArray>("server");
    QTest::addColumn<QString>("why");
    auto bytes = [](const Bytes& b) { return QByteArray(reinterpret_cast<const char*>(b.data()), int(b.size())); };
    QTest::newRow("no COM-PORT-OPTION") << bytes({kIac, kDo, kOptionBinary, kIac, kDont, kOptionComPort})
                                        << "the server refused COM-PORT-OPTION";
    QTest::newRow("no BINARY") << bytes({kIac, kWont, kOptionBinary}) << "the server refused BINARY";
    QTest::newRow("other baud rate") << bytes(Cat({kOptionsAccepted, Sub({44, 101, 0x00, 0x00, 0x25, 0x80})}))
                                     << "SET-BAUDRATE answered 9600 for 115200";
    QTest::newRow("7 data bits") << bytes(Cat({kOptionsAccepted, Sub({44, 102, 7})})) << "SET-DATASIZE answered 7 for 8";
    QTest::newRow("even parity") << bytes(Cat({kOptionsAccepted, Sub({44, 103, 3})})) << "SET-PARITY answered 3 for 1";
    QTest::newRow("hardware flow") << bytes(Cat({kOptionsAccepted, Sub({44, 105, 3})}))
                                   << "SET-CONTROL (flow control) answered 3 for 1";
    QTest::newRow("DTR stays on") << bytes(Cat({kOptionsAccepted, kSettingsAcked, Sub({44, 105, 8})}))
                                  << "SET-CONTROL (DTR) answered 8 for 9";
  }
  void refusals() {
    QFETCH(QByteArray, server);
    QFETCH(QString, why);
    Rfc2217Session session;
    Bytes out;
    session.Start(out);
    session.Feed(reinterpret_cast<const std::uint8_t*>(server.constData()), std::size_t(server.size()), out, Clock::now());
    QCOMPARE(session.phase(), Rfc2217Session::Phase::kRefused);
    QCOMPARE(QString::fromStdString(session.refusal()), why);
  }

  void unansweredSettingIsNamed() {
    Rfc2217Session session;
    Bytes out;
    session.Start(out);
    QCOMPARE(QString::fromStdString(session.Unanswered()), QString("no answer to WILL COM-PORT-OPTION"));
    const Bytes answers = Cat({kOptionsAccepted, Sub({44, 101, 0x00, 0x01, 0xC2, 0x00})});
    session.Feed(answers.data(), answers.size(), out, Clock::now());
    QCOMPARE(QString::fromStdString(session.Unanswered()), QString("no answer to SET-DATASIZE"));
    QCOMPARE(session.phase(), Rfc2217Session::Phase::kSettings);
  }
};

QTEST_GUILESS_MAIN(TelnetTest)
#include "telnet_test.moc"
