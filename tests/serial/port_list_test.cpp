// Port names: the Windows COM rule, the natural order of the system's list, the chosen ports,
// and where a name is opened.
#include <QTest>
#include <filesystem>

#include "port_list.h"
#include "port_path.h"

using namespace corvane;

class PortListTest : public QObject {
  Q_OBJECT

 private slots:
  void comNames_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("COM1") << "COM1" << true;
    QTest::newRow("COM12") << "COM12" << true;
    QTest::newRow("COM256") << "COM256" << true;
    QTest::newRow("COMPOSITE1") << "COMPOSITE1" << true;
    QTest::newRow("CoMCOM") << "CoMCOM" << true;
    QTest::newRow("COM") << "COM" << false;
    QTest::newRow("com5") << "com5" << false;
    QTest::newRow("LPT1") << "LPT1" << false;
    QTest::newRow("XCOM1") << "XCOM1" << false;
    QTest::newRow("empty") << "" << false;
  }
  void comNames() {
    QFETCH(QString, name);
    QFETCH(bool, accepted);
    QCOMPARE(IsComPortName(name.toStdString()), accepted);
  }

  void usbFirstThenNaturalOrder() {
    const std::vector<std::string> ordered = OrderPorts({
        {"ttyS10", false},
        {"ttyUSB1", true},
        {"ttyS2", false},
        {"ttyACM0", true},
        {"ttyS0", false},
        {"ttyUSB0", true},
        {"ttyUSB10", true},
        {"ttyUSB2", true},
    });
    const std::vector<std::string> expected = {"ttyACM0", "ttyUSB0", "ttyUSB1", "ttyUSB2",
                                               "ttyUSB10", "ttyS0",  "ttyS2",   "ttyS10"};
    QCOMPARE(ordered, expected);
  }

  void naturalOrderIsStrict() {
    QVERIFY(NaturalPortLess("ttyS", "ttyS0"));
    QVERIFY(!NaturalPortLess("ttyS1", "ttyS1"));
    // Leading zeros: equal as numbers, yet exactly one comes first.
    QVERIFY(NaturalPortLess("ttyS01", "ttyS1") != NaturalPortLess("ttyS1", "ttyS01"));
    QVERIFY(NaturalPortLess("ttyS1", "ttyS002"));
  }

  void chosenPortsAreExactlyTheGivenOnes() {
    ChosenPortLister lister({"/dev/pts/7", "/dev/ttyUSB3", "/dev/pts/7"});
    const std::vector<std::string> expected = {"/dev/pts/7", "/dev/ttyUSB3", "/dev/pts/7"};
    QCOMPARE(lister.ListSerialPorts(), expected);
    QCOMPARE(lister.ListSerialPorts(), expected);
    QVERIFY(ChosenPortLister({}).ListSerialPorts().empty());
  }

  void portPaths() {
    QCOMPARE(PortPath("ttyUSB0"), std::string("/dev/ttyUSB0"));
    QCOMPARE(PortPath("ttyS10"), std::string("/dev/ttyS10"));
    QCOMPARE(PortPath("/dev/pts/5"), std::string("/dev/pts/5"));
    QCOMPARE(PortPath("/tmp/a-very-long-name-for-a-serial-port-link"),
             std::string("/tmp/a-very-long-name-for-a-serial-port-link"));
    QCOMPARE(PortPath("sim/port"), (std::filesystem::current_path() / "sim/port").string());
    QCOMPARE(PortPath(""), std::string("/dev/"));
  }
};

QTEST_GUILESS_MAIN(PortListTest)
#include "port_list_test.moc"
