// --demo's pieces: a controller on a pseudo-terminal and sample files that fit it, all removed
// when the demo ends.
#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QtTest>

#include "demo.h"
#include "frame.h"
#include "update_file.h"

using corvane::app::Demo;

namespace {

QByteArray Read(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class DemoTest : public QObject {
  Q_OBJECT

 private slots:
  void samplesFitTheDemoDevice() {
    QString folder;
    {
      Demo demo(64 * 1024);
      folder = demo.Folder();
      QCOMPARE(QDir(folder).entryList({"*.sbin", "*.lbin"}, QDir::Files, QDir::Name),
               (QStringList{"datamap-v3.lbin", "firmware-41-older.sbin", "firmware-42-same.sbin",
                            "firmware-43-newer.sbin"}));

      const struct {
        const char* name;
        int version;
      } firmwares[] = {{"firmware-41-older.sbin", 41}, {"firmware-42-same.sbin", 42}, {"firmware-43-newer.sbin", 43}};
      for (const auto& f : firmwares) {
        const QByteArray bytes = Read(QDir(folder).filePath(f.name));
        QCOMPARE(bytes.size(), qsizetype(65536));
        const auto decoded =
            corvane::DecodeFirmwareHeader(reinterpret_cast<const std::uint8_t*>(bytes.constData()), bytes.size());
        QVERIFY2(decoded.ok, f.name);
        QCOMPARE(int(decoded.header.DeviceType()), 1);
        QCOMPARE(int(decoded.header.FirmwareVersion()), f.version);
      }
      const QByteArray map = Read(QDir(folder).filePath("datamap-v3.lbin"));
      QCOMPARE(map.size(), qsizetype(65536));
      const auto decoded =
          corvane::DecodeDataMapHeader(reinterpret_cast<const std::uint8_t*>(map.constData()), map.size());
      QVERIFY(decoded.ok);
      QCOMPARE(int(decoded.header.DeviceType()), 1);
      QCOMPARE(int(decoded.header.DataVersion()), 3);
      QCOMPARE(int(Demo::DeviceConfig().firmwareVersion), 42);
      QCOMPARE(int(Demo::DeviceConfig().dataVersion), 3);

      // The port is a terminal a host can open.
      const int fd = ::open(demo.PortPath().c_str(), O_RDWR | O_NOCTTY);
      QVERIFY2(fd >= 0, demo.PortPath().c_str());
      QVERIFY(::isatty(fd));
      ::close(fd);
    }
    QVERIFY(!QDir(folder).exists());
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, Demo(1000));  // not a whole number of blocks
  }
};

QTEST_MAIN(DemoTest)
#include "tst_demo.moc"
