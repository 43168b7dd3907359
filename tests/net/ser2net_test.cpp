// corvane-flash through a real ser2net in front of simulated controllers: identification and
// updates over RFC 2217 and raw TCP (also blocks that are all 0xFF), the server killed
// mid-transfer, a gang over the network mixed with a local port, the line settings the
// controller's pseudo-terminal gets, and the causes of ports that cannot be opened.
#include <QTest>
#include <algorithm>
#include <cstring>

#include "flash_tool.h"
#include "port_io.h"
#include "pty_device.h"
#include "ser2net_rig.h"

using namespace corvane;
using namespace corvane::testing;
using namespace std::chrono_literals;

namespace {

struct NullReceiver : PortReceiver {
  bool OnBytes(const std::uint8_t*, std::size_t) override { return true; }
  void OnVanished(const std::string&) override {}
};

QString Stty(const QString& pty) {
  QProcess stty;
  stty.start("stty", {"-F", pty, "-a"});
  stty.waitForFinished(kProcessDeadlineMs);
  return QString::fromUtf8(stty.readAllStandardOutput());
}

QStringList Words(const QString& text) { return text.simplified().remove(';').split(' '); }

}  // namespace

class Ser2netTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;

 private slots:
  void initTestCase() {
    if (Ser2netProgram().isEmpty()) QSKIP("ser2net is not installed (Debian package ser2net)");
  }

  void identifyAndUpdate_data() {
    QTest::addColumn<bool>("rfc2217");
    QTest::addColumn<bool>("erased");
    QTest::newRow("RFC 2217") << true << false;
    QTest::newRow("RFC 2217, blocks all 0xFF") << true << true;
    QTest::newRow("raw TCP") << false << false;
    QTest::newRow("raw TCP, blocks all 0xFF") << false << true;
  }
  void identifyAndUpdate() {
    QFETCH(bool, rfc2217);
    QFETCH(bool, erased);
    // Equal blocks in a row (the erased image) are blocks, not resends, unless the answer to the
    // first was lost; a response timer of a second keeps a loaded machine from resending.
    SimConfig config = Controller();
    if (erased) config.resendRule = ResendRule::kAfterLostAnswer;
    config.blockIntervalMs = 1000;
    PtyController device(config);
    std::string failed;
    QVERIFY2(device.Start(&failed), failed.c_str());
    Ser2net server;
    QString error;
    const QStringList urls = server.Start({{QString::fromStdString(device.SlavePath()), rfc2217}}, &error);
    QVERIFY2(!urls.isEmpty(), qPrintable(error));

    const Run identify = Flash({"--port", urls[0], "--scan-timeout", "10", "identify"});
    QVERIFY2(identify.exitCode == 0, qPrintable(identify.err + server.Log()));
    QCOMPARE(identify.out, kModelOneReport);
    QVERIFY(identify.err.contains("Connected on " + urls[0]));

    MersenneRandom random(7);
    const std::vector<std::uint8_t> image = erased ? std::vector<std::uint8_t>(40 * 64, 0xFF) : Image(40);
    const std::vector<std::uint8_t> file = PackFirmware({1, 11, 0xC0FFEE01}, image, random);
    const QString path = Write(dir_, erased ? "erased.sbin" : "random.sbin", file);
    const Run update = Flash({"--port", urls[0], "--scan-timeout", "10", "--trace", "firmware", path});
    QVERIFY2(update.exitCode == 0, qPrintable(update.err + server.Log()));
    QCOMPARE(update.out.last(), QString("Firmware update completed successfully!"));
    const SimObservations seen = device.Observe();
    const std::size_t blocks = file.size() / 64;
    // An erased block resent by a host that was slow to read the answer is taken as one more.
    const auto resent = static_cast<std::size_t>(update.err.count("request resent"));
    QVERIFY2(seen.blocks.size() >= blocks && seen.blocks.size() <= blocks + (erased ? resent : 0),
             qPrintable(QString("%1 blocks for %2, %3 resent").arg(seen.blocks.size()).arg(blocks).arg(resent)));
    for (std::size_t k = 0; k < seen.blocks.size(); ++k)
      QVERIFY2(std::memcmp(seen.blocks[k].data(), file.data() + 64 * std::min(k, blocks - 1), 64) == 0,
               qPrintable(QString("block %1").arg(k)));
    QVERIFY(seen.endFrame.has_value());
  }

  // The server dies during the transfer: the run ends at once with the link dropped and says why.
  void serverKilledMidTransfer() {
    Devsim devsim;
    QString error;
    const QStringList ptys = devsim.Start({"--baud", "115200"}, 1, &error);
    QVERIFY2(!ptys.isEmpty(), qPrintable(error));
    Ser2net server;
    const QStringList urls = server.Start({{ptys[0], true}}, &error);
    QVERIFY2(!urls.isEmpty(), qPrintable(error));
    const QString path = Firmware(dir_, 1, 11, 2000);  // 14 s on the line
    QProcess flash;
    flash.start(CORVANE_FLASH_PATH, {"--port", urls[0], "firmware", path});
    QVERIFY(flash.waitForStarted());
    QString out;
    const QDeadlineTimer deadline(kProcessDeadlineMs);
    while (!out.contains("10 %") && !deadline.hasExpired() && flash.state() == QProcess::Running) {
      flash.waitForReadyRead(100);
      out += QString::fromUtf8(flash.readAllStandardOutput());
    }
    if (!out.contains("10 %")) {
      flash.kill();
      flash.waitForFinished();
    }
    QVERIFY2(out.contains("10 %"), qPrintable(out + flash.readAllStandardError() + server.Log()));
    server.Kill();
    QVERIFY(flash.waitForFinished(kProcessDeadlineMs));
    const QString err = QString::fromUtf8(flash.readAllStandardError());
    QCOMPARE(flash.exitCode(), 3);
    QVERIFY2(err.contains("connection lost"), qPrintable(err));
    QVERIFY(!devsim.WaitForLines("transfer unfinished", 1, true).isEmpty());
  }

  // Eight controllers over ser2net (RFC 2217 and raw TCP by turns) and one on its local port.
  void gangOverTheNetwork() {
    Devsim devsim;
    QString error;
    const QStringList ptys = devsim.Start({"--strict-resends", "--interval", "1000"}, 9, &error);
    QVERIFY2(ptys.size() == 9, qPrintable(error));
    std::vector<Ser2net::Serve> serves;
    for (int i = 0; i < 8; ++i) serves.push_back({ptys[i], i % 2 == 0});
    Ser2net server;
    const QStringList urls = server.Start(serves, &error);
    QVERIFY2(!urls.isEmpty(), qPrintable(error));
    QStringList arguments = {"--gang", "--scan-timeout", "15"};
    for (const QString& port : urls + QStringList{ptys[8]}) arguments << "--port" << port;
    const Run run = Flash(arguments + QStringList{"firmware", Firmware(dir_, 1, 11, 60)});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err + server.Log()));
    const QStringList ends = devsim.WaitForLines("transfer end: FirmwareEnd", 9, false);
    QCOMPARE(ends.size(), 9);
    for (const QString& end : ends) QVERIFY2(end.contains("after 68 blocks"), qPrintable(end));
    for (const QString& end : ends) QVERIFY2(end.contains("verdict 1 (success)"), qPrintable(end));
  }

  // ser2net first puts the line to 9600 7E2; the RFC 2217 open makes it 115200 8N1 without flow
  // control while the port is open (ser2net restores the line when the client leaves).
  void lineSettingsOnThePseudoTerminal() {
    PtyController device(Controller());
    std::string failed;
    QVERIFY2(device.Start(&failed), failed.c_str());
    const QString pty = QString::fromStdString(device.SlavePath());
    Ser2net server;
    QString error;
    const QStringList urls = server.Start({{pty, true, "9600e72"}}, &error);
    QVERIFY2(!urls.isEmpty(), qPrintable(error));
    const auto service = PortIoService::Create();
    OpenFailure failure;
    auto port = service->Open(urls[0].toStdString(), std::make_shared<NullReceiver>(), failure);
    QVERIFY2(port, CauseText(failure).c_str());
    const QStringList words = Words(Stty(pty));
    for (const char* expected : {"115200", "cs8", "-parenb", "-cstopb", "-crtscts", "-ixon", "-ixoff"})
      QVERIFY2(words.contains(expected), qPrintable(expected + QString(" not in ") + words.join(' ')));
    port->Close();
  }

  void portsThatDoNotOpenSayWhy() {
    PtyController device(Controller());
    std::string failed;
    QVERIFY2(device.Start(&failed), failed.c_str());
    Ser2net server;
    QString error;
    const QStringList urls = server.Start({{QString::fromStdString(device.SlavePath()), false}}, &error);
    QVERIFY2(!urls.isEmpty(), qPrintable(error));
    const QString refused = QString("socket://127.0.0.1:%1").arg(FreeTcpPort());
    // RFC 2217 asked of a raw TCP server: no Telnet answer comes, and the settings are refused.
    const QString notTelnet = QString(urls[0]).replace("socket://", "rfc2217://");

    const Run ports = Flash({"--port", urls[0], "--port", refused, "ports"});
    QCOMPARE(ports.exitCode, 0);
    QCOMPARE(ports.out.size(), 3);
    QVERIFY2(ports.out[1].startsWith(urls[0]) && ports.out[1].contains("free") && ports.out[1].contains("raw TCP"),
             qPrintable(ports.out.join('\n')));
    QVERIFY2(ports.out[2].contains("connection refused"), qPrintable(ports.out.join('\n')));

    const Run run = Flash({"--port", refused, "--port", notTelnet, "--scan-timeout", "1", "identify"});
    QCOMPARE(run.exitCode, 4);
    QVERIFY2(run.err.contains(refused + ": connection refused"), qPrintable(run.err));
    QVERIFY2(run.err.contains(notTelnet + ": settings refused: no answer to WILL COM-PORT-OPTION"), qPrintable(run.err));
  }
};

QTEST_GUILESS_MAIN(Ser2netTest)
#include "ser2net_test.moc"
