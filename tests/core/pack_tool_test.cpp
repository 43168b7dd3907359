// corvane-pack run as a program: good runs, help, usage errors, unreadable input, no partial output.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include "packer.h"
#include "update_file.h"
#include "usage_error.h"

using namespace corvane;
using corvane::testing::IsUsageError;

namespace {

struct Run {
  int exitCode = -1;
  QByteArray out;
  QByteArray err;
};

Run Pack(const QStringList& arguments) {
  QProcess process;
  process.start(QStringLiteral(CORVANE_PACK_PATH), arguments);
  Run run;
  if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) return run;
  run.exitCode = process.exitCode();
  run.out = process.readAllStandardOutput();
  run.err = process.readAllStandardError();
  return run;
}

QByteArray Pattern(qsizetype size) {
  QByteArray data(size, '\0');
  for (qsizetype i = 0; i < size; ++i) data[i] = static_cast<char>(i * 13 + 1);
  return data;
}

bool WriteFile(const QString& path, const QByteArray& data) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

QByteArray ReadFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const std::uint8_t* Bytes(const QByteArray& data) { return reinterpret_cast<const std::uint8_t*>(data.constData()); }

}  // namespace

class PackToolTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  QString input_;

  QString Path(const QString& name) const { return dir_.filePath(name); }
  // The folder holds exactly these names: nothing half-written or temporary is left behind.
  void ExpectFolder(const QStringList& names) const {
    auto entries = QDir(dir_.path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    auto expected = names;
    expected.sort();
    QCOMPARE(entries, expected);
  }

 private slots:
  void init() {
    QVERIFY(dir_.isValid());
    QDir(dir_.path()).removeRecursively();
    QVERIFY(QDir().mkpath(dir_.path()));
    input_ = Path("image.bin");
    QVERIFY(WriteFile(input_, Pattern(1000)));
  }

  void firmware() {
    const Run run = Pack(
        {"firmware", "--type", "0x1234", "--version", "65535", "--closing", "0xFFFFFFFF", input_, Path("out.sbin")});
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.err.isEmpty());
    const QByteArray file = ReadFile(Path("out.sbin"));
    QCOMPARE(file.size(), 1536);
    const auto decoded = DecodeFirmwareHeader(Bytes(file), static_cast<std::size_t>(file.size()));
    QVERIFY(decoded.ok);
    QCOMPARE(decoded.header.DeviceType(), std::uint16_t{0x1234});
    QCOMPARE(decoded.header.FirmwareVersion(), std::uint16_t{65535});
    QCOMPARE(decoded.header.ClosingValue(), std::uint32_t{0xFFFFFFFF});
    QCOMPARE(file.mid(512, 1000), Pattern(1000));
    QCOMPARE(file.mid(1512), QByteArray(24, '\0'));
    ExpectFolder({"image.bin", "out.sbin"});
  }

  void dataMap() {
    const Run run =
        Pack({"data-map", "--closing=7", "--data-version", "0X0a", "--type", "1", input_, Path("out.lbin")});
    QCOMPARE(run.exitCode, 0);
    const QByteArray file = ReadFile(Path("out.lbin"));
    QCOMPARE(file.size(), 1088);
    const auto decoded = DecodeDataMapHeader(Bytes(file), static_cast<std::size_t>(file.size()));
    QVERIFY(decoded.ok);
    QCOMPARE(decoded.header.DeviceType(), std::uint16_t{1});
    QCOMPARE(decoded.header.DataVersion(), std::uint16_t{10});
    QCOMPARE(decoded.header.ClosingValue(), std::uint32_t{7});
    QCOMPARE(file.mid(64, 1000), Pattern(1000));
  }

  // An existing output is replaced whole.
  void replacesExistingOutput() {
    QVERIFY(WriteFile(Path("out.lbin"), QByteArray(5000, 'x')));
    QCOMPARE(
        Pack({"data-map", "--type", "1", "--data-version", "2", "--closing", "3", input_, Path("out.lbin")}).exitCode,
        0);
    QCOMPARE(ReadFile(Path("out.lbin")).size(), 1088);
    ExpectFolder({"image.bin", "out.lbin"});
  }

  void helpAndVersion() {
    for (const QStringList& args : {QStringList{"--help"}, QStringList{"-h"}, QStringList{"firmware", "--help"}}) {
      const Run run = Pack(args);
      QCOMPARE(run.exitCode, 0);
      QVERIFY(run.err.isEmpty());
      QVERIFY(run.out.contains("corvane-pack firmware --type N --version V --closing C INPUT OUTPUT.sbin"));
      QVERIFY(run.out.contains("corvane-pack data-map --type N --data-version V --closing C INPUT OUTPUT.lbin"));
    }
    for (const QStringList& args : {QStringList{"--version"}, QStringList{"-V"}}) {
      const Run run = Pack(args);
      QCOMPARE(run.exitCode, 0);
      QCOMPARE(run.out, QByteArray("corvane-pack 1.28\n"));
    }
  }

  void usageErrors_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("mistake");
    const QString in = QStringLiteral("IN");  // replaced by the real input
    const QStringList header{"--type", "1", "--version", "1", "--closing", "1"};
    const QStringList dataHeader{"--type", "1", "--data-version", "1", "--closing", "1"};
    const auto firmware = [&](const QString& option, const QString& value) {
      return QStringList{"firmware", option, value, "--version", "1", "--closing", "1", in, "o"};
    };
    QTest::newRow("nothing") << QStringList{} << "missing command (firmware or data-map)";
    QTest::newRow("unknown command") << QStringList{"flash"} + header + QStringList{in, "o"}
                                     << "unknown command 'flash'";
    QTest::newRow("type too big") << firmware("--type", "65536") << "--type: takes a number 0..65535";
    QTest::newRow("negative") << firmware("--type", "-1") << "not '-1'";
    QTest::newRow("hex without digits") << firmware("--type", "0x") << "not '0x'";
    QTest::newRow("trailing junk") << firmware("--type", "12abc") << "not '12abc'";
    QTest::newRow("empty") << firmware("--type", "") << "not ''";
    QTest::newRow("blank") << firmware("--type", " 5") << "not ' 5'";
    QTest::newRow("huge") << firmware("--type", "99999999999999999999999") << "--type";
    QTest::newRow("version too big") << QStringList{"firmware",  "--version", "0x10000", "--type", "1",
                                                    "--closing", "1",         in,        "o"}
                                     << "--version: takes a number 0..65535";
    QTest::newRow("closing too big") << QStringList{"firmware",  "--closing", "4294967296", "--type", "1",
                                                    "--version", "1",         in,           "o"}
                                     << "--closing: takes a number 0..4294967295";
    QTest::newRow("missing option") << QStringList{"firmware", "--type", "1", "--closing", "1", in, "o"}
                                    << "--version is required";
    QTest::newRow("missing value") << QStringList{"firmware", "--version", "1", "--closing", "1", in, "o", "--type"}
                                   << "--type needs a value";
    QTest::newRow("twice") << QStringList{"firmware", "--type", "2"} + header + QStringList{in, "o"}
                           << "--type is given more than once";
    QTest::newRow("wrong kind of version")
        << QStringList{"firmware"} + dataHeader + QStringList{in, "o"} << "--version is required";
    QTest::newRow("unknown option") << QStringList{"data-map"} + dataHeader + QStringList{"--fast", in, "o"}
                                    << "unknown option '--fast'";
    QTest::newRow("short option") << QStringList{"data-map"} + dataHeader + QStringList{"-f", in, "o"}
                                  << "unknown option '-f'";
    QTest::newRow("one file") << QStringList{"firmware"} + header + QStringList{in} << "OUTPUT is required";
    QTest::newRow("three files") << QStringList{"firmware"} + header + QStringList{in, "o", "p"}
                                 << "unexpected argument";
  }
  void usageErrors() {
    QFETCH(QStringList, args);
    QFETCH(QString, mistake);
    for (auto& a : args) {
      if (a == "IN") a = input_;
      if (a == "o") a = Path("out");
      if (a == "p") a = Path("other");
    }
    const Run run = Pack(args);
    QCOMPARE(run.exitCode, 64);
    QVERIFY(run.out.isEmpty());
    QVERIFY2(IsUsageError(run.err.toStdString(), "corvane-pack", mistake.toStdString()), run.err.constData());
    ExpectFolder({"image.bin"});
  }

  // A missing file, a folder and a FIFO without a writer (whose open would block) fail at once.
  void unreadableInput() {
    QVERIFY(::mkfifo(Path("fifo").toLocal8Bit().constData(), 0600) == 0);
    for (const QString& input : {Path("missing.bin"), dir_.path(), Path("fifo")}) {
      QVERIFY(WriteFile(Path("out.sbin"), "previous"));
      const Run run = Pack({"firmware", "--type", "1", "--version", "1", "--closing", "1", input, Path("out.sbin")});
      QCOMPARE(run.exitCode, 1);
      QVERIFY(run.err.startsWith("corvane-pack: cannot read"));
      QCOMPARE(ReadFile(Path("out.sbin")), QByteArray("previous"));
      ExpectFolder({"fifo", "image.bin", "out.sbin"});
    }
  }

  // An empty image would make an update file of headers only: refused, and no output is made.
  void emptyImageIsRefused() {
    QVERIFY(WriteFile(Path("empty.bin"), {}));
    const Run run = Pack({"data-map", "--type", "1", "--data-version", "1", "--closing", "1", Path("empty.bin"),
                          Path("out.lbin")});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains("is empty"), run.err.constData());
    ExpectFolder({"empty.bin", "image.bin"});
  }

  // Packing a file onto itself, however spelled, is refused and leaves the raw image as it was.
  void outputIsTheInput() {
    QVERIFY(QFile::link(input_, Path("link.bin")));
    for (const QString& output : {input_, dir_.path() + "/./image.bin", Path("link.bin")}) {
      const Run run = Pack({"firmware", "--type", "1", "--version", "1", "--closing", "1", input_, output});
      QCOMPARE(run.exitCode, 64);
      QVERIFY(run.err.contains("is the input"));
      QCOMPARE(ReadFile(input_), Pattern(1000));
    }
  }

  // When the output cannot take the file's place, nothing is left behind.
  void unwritableOutput() {
    QVERIFY(QDir(dir_.path()).mkdir("taken"));
    QVERIFY(WriteFile(Path("taken/inside"), "x"));
    const Run run = Pack({"firmware", "--type", "1", "--version", "1", "--closing", "1", input_, Path("taken")});
    QCOMPARE(run.exitCode, 1);
    QVERIFY(run.err.startsWith("corvane-pack: cannot write"));
    ExpectFolder({"image.bin", "taken"});

    const Run noFolder =
        Pack({"firmware", "--type", "1", "--version", "1", "--closing", "1", input_, Path("none/out.sbin")});
    QCOMPARE(noFolder.exitCode, 1);
    ExpectFolder({"image.bin", "taken"});
  }

  // The largest input whose file fits the programmer's 10,240,000-byte image buffer, and one byte more.
  void sizeLimit() {
    struct Case {
      const char* kind;
      const char* versionOption;
      qint64 maxInput;
    };
    for (const Case c :
         {Case{"firmware", "--version", 10'240'000 - 512}, Case{"data-map", "--data-version", 10'240'000 - 64}}) {
      QFile big(Path("big.bin"));
      QVERIFY(big.open(QIODevice::WriteOnly));
      QVERIFY(big.resize(c.maxInput + 1));
      big.close();
      const QStringList args{c.kind, "--type",        "1",        c.versionOption, "1", "--closing",
                             "1",    Path("big.bin"), Path("out")};
      const Run tooLarge = Pack(args);
      QCOMPARE(tooLarge.exitCode, 1);
      QVERIFY(tooLarge.err.contains("too large"));
      ExpectFolder({"big.bin", "image.bin"});

      QVERIFY(big.resize(c.maxInput));
      QCOMPARE(Pack(args).exitCode, 0);
      QCOMPARE(QFileInfo(Path("out")).size(), qint64{10'240'000});
      QVERIFY(QFile::remove(Path("out")));
    }
  }
};

QTEST_GUILESS_MAIN(PackToolTest)
#include "pack_tool_test.moc"
