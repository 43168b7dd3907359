#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "device_frames.h"
#include "file_update.h"
#include "input_file.h"
#include "mt_random.h"
#include "packer.h"
#include "transfer_rig.h"

using namespace corvane;
using namespace corvane::testing;

namespace {

constexpr std::uint16_t kType = 3;
constexpr std::uint32_t kRunningClosing = 0xA1B2C3D4;

Bytes RawImage(std::size_t size) {
  Bytes raw(size);
  for (std::size_t i = 0; i < size; ++i) raw[i] = static_cast<std::uint8_t>(i * 13 + 5);
  return raw;
}

Bytes Firmware(std::uint16_t type, std::uint16_t version, std::uint32_t closing, std::size_t rawSize = 512) {
  MersenneRandom random(1);
  return PackFirmware({type, version, closing}, RawImage(rawSize), random);
}

Bytes DataMap(std::uint16_t type, std::uint16_t dataVersion, std::uint32_t closing = 0x0BADF00D,
              std::size_t rawSize = 100) {
  MersenneRandom random(2);
  return PackDataMap({type, dataVersion, closing}, RawImage(rawSize), random);
}

// A data map whose block 0 puts `typeAtZero` at the firmware's type offset and `typeAtTen` at the
// data map's.
Bytes DataMapWithTypes(std::uint16_t typeAtZero, std::uint16_t typeAtTen, std::uint16_t dataVersion) {
  Bytes file(256, 0x33);
  std::array<std::uint8_t, 32> record{};
  WriteLe16(&record[0], typeAtZero);
  WriteLe16(&record[8], dataVersion);
  WriteLe16(&record[10], typeAtTen);
  ScrambleRecord(file.data(), record.data());
  return file;
}

Bytes FirstBlock(const Bytes& file) { return {file.begin(), file.begin() + 64}; }

struct FileRig : TransferRig {
  DeviceState device;
  DiskFileSource disk;
  UpdateFileSource& files;
  FileUpdate update{view, device, transfer, link, disconnector, files};
  QTemporaryDir dir;

  // `shared`: the file source of several sessions; none: from disk on every press.
  explicit FileRig(UpdateFileSource* shared = nullptr) : files(shared ? *shared : disk) {
    device.ConnectedDeviceType = kType;
    device.ConnectedFirmwareVersion = 5;
    device.ConnectedDataVersion = 3;
    device.ProgramMemoryOk = 1;
  }

  std::string Path(const std::string& name) const { return dir.filePath(QString::fromStdString(name)).toStdString(); }
  std::string Write(const std::string& name, const Bytes& bytes) const {
    const std::string path = Path(name);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    return path;
  }
  // A file of `size` zero bytes that takes no disk space.
  std::string Sparse(const std::string& name, std::uintmax_t size) const {
    const std::string path = Write(name, {});
    std::filesystem::resize_file(path, size);
    return path;
  }
  void Firmware(const std::string& path) {
    view.chosenFiles.push_back(path);
    update.UpdateFirmware();
  }
  void DataMap(const std::string& path) {
    view.chosenFiles.push_back(path);
    update.WriteDataMap();
  }
  bool OnlyRefused() const { return view.outcomes == std::vector<Outcome>{Outcome::kFileRefused}; }
};

enum Refusal { kWrongDevice, kOlderAnsweredNo, kHeaderCorrupted, kTooLarge, kDataMapWrongVersion, kDataMapWrongDevice };

// The file was refused with exactly this one box, and nothing went out.
void ExpectRefusedWithBox(const FileRig& rig, const std::string& text, const std::string& caption,
                          BoxButtons buttons = BoxButtons::kOk) {
  QCOMPARE(rig.view.boxes.size(), std::size_t{1});
  QCOMPARE(rig.view.boxes[0].text, text);
  QCOMPARE(rig.view.boxes[0].caption, caption);
  QVERIFY(rig.view.boxes[0].buttons == buttons);
  QVERIFY(rig.view.notices.empty());
  QVERIFY(rig.link.sent.empty());
  QVERIFY(rig.OnlyRefused());
}

}  // namespace

Q_DECLARE_METATYPE(Bytes)

class FileUpdateTest : public QObject {
  Q_OBJECT

 private slots:
  void firmwareFileStartsTheTransfer() {
    FileRig rig;
    const Bytes file = ::Firmware(kType, 6, 0x11223344);
    QCOMPARE(file.size(), std::size_t{1024});
    rig.Firmware(rig.Write("fw.sbin", file));

    QCOMPARE(rig.view.dialogs.size(), std::size_t{1});
    QCOMPARE(rig.view.dialogs[0].name, std::string("binary file SBIN"));
    QCOMPARE(rig.view.dialogs[0].pattern, std::string("*.sbin"));
    QCOMPARE(rig.view.dialogs[0].defaultSuffix, std::string("sbin"));
    QVERIFY(rig.view.boxes.empty() && rig.view.notices.empty());
    QCOMPARE(rig.transfer.BlockCount(), 16u);
    QCOMPARE(rig.transfer.NextBlock(), 1u);
    QVERIFY(rig.transfer.Kind() == TransferKind::kFirmware);
    QCOMPARE(rig.transfer.ClosingValue(), 0x11223344u);
    QCOMPARE(rig.link.sent, std::vector<Bytes>{FirstBlock(file)});
    QCOMPARE(rig.timer2.Interval(), 40u);
    QCOMPARE(rig.view.outcomes, std::vector<Outcome>{Outcome::kTransferStarted});
  }

  // Sessions that share a source read the file once: the next device gets the same bytes, one
  // copy of them, even with the file gone from the disk; each device still has its own checks.
  void sessionsSharingASourceReadTheFileOnce() {
    SharedFileSource shared;
    FileRig first(&shared), second(&shared), other(&shared);
    other.device.ConnectedDeviceType = kType + 1;
    const Bytes file = ::Firmware(kType, 6, 0x11223344);
    const std::string path = first.Write("fw.sbin", file);
    first.Firmware(path);
    QVERIFY(std::filesystem::remove(path));
    second.Firmware(path);
    other.Firmware(path);
    QCOMPARE(first.link.sent, std::vector<Bytes>{FirstBlock(file)});
    QCOMPARE(second.link.sent, std::vector<Bytes>{FirstBlock(file)});
    QCOMPARE(second.transfer.BlockCount(), 16u);
    ExpectRefusedWithBox(other, " The firmware is not designed for this device! ", "Error");
    QCOMPARE(shared.Cached(path)->bytes.use_count(), 3L);  // the source's and the two transfers'
  }

  void cancelledDialogDoesNothing() {
    FileRig rig;
    rig.update.UpdateFirmware();
    rig.update.WriteDataMap();
    QCOMPARE(rig.view.dialogs.size(), std::size_t{2});
    QVERIFY(rig.view.boxes.empty() && rig.view.notices.empty() && rig.view.outcomes.empty());
    QVERIFY(rig.link.sent.empty());
  }

  void badLengthIsRefusedWithANotice_data() {
    QTest::addColumn<int>("size");  // -1: no such file
    QTest::newRow("missing") << -1;
    QTest::newRow("0") << 0;
    QTest::newRow("255") << 255;
    QTest::newRow("257") << 257;
    QTest::newRow("10,240,001") << 10'240'001;
  }
  void badLengthIsRefusedWithANotice() {
    QFETCH(int, size);
    for (const bool firmware : {true, false}) {
      FileRig rig;
      const std::string path = size < 0 ? rig.Path("missing.bin") : rig.Sparse("f.bin", static_cast<std::uintmax_t>(size));
      firmware ? rig.Firmware(path) : rig.DataMap(path);
      QCOMPARE(rig.view.notices,
               std::vector<std::string>{firmware ? "The firmware file is corrupted!" : "Файл карты данных поврежден!"});
      QVERIFY(rig.view.boxes.empty());
      QVERIFY(rig.link.sent.empty());
      QVERIFY(rig.OnlyRefused());
    }
  }

  void tooLargeIsRefusedBeforeAnyCopy_data() {
    QTest::addColumn<qulonglong>("size");
    QTest::newRow("one block over") << qulonglong{10'240'064};
    // Reading or allocating this much would fail loudly (and under ASan abort).
    QTest::newRow("64 GiB") << qulonglong{64} * 1024 * 1024 * 1024;
  }
  void tooLargeIsRefusedBeforeAnyCopy() {
    QFETCH(qulonglong, size);
    for (const bool firmware : {true, false}) {
      FileRig rig;
      const std::string path = rig.Sparse("big.bin", size);
      firmware ? rig.Firmware(path) : rig.DataMap(path);
      QCOMPARE(rig.view.notices, std::vector<std::string>{firmware ? "The firmware file is too large!"
                                                                   : "Файл карты данных слишком большой!"});
      QVERIFY(rig.view.boxes.empty());
      QVERIFY(rig.OnlyRefused());
    }
  }

  void firmwareHeaderCorrupted_data() {
    QTest::addColumn<Bytes>("file");
    const Bytes good = ::Firmware(kType, 6, 1);
    QTest::newRow("256 bytes, inside the header") << Bytes(good.begin(), good.begin() + 256);
    QTest::newRow("448 bytes, inside the header") << Bytes(good.begin(), good.begin() + 448);
    Bytes flipped = good;
    flipped[5 * 64 + 30] ^= 0x10;
    QTest::newRow("bit flipped in block 5") << flipped;
  }
  void firmwareHeaderCorrupted() {
    QFETCH(Bytes, file);
    FileRig rig;
    rig.Firmware(rig.Write("fw.sbin", file));
    ExpectRefusedWithBox(rig, " The firmware file is corrupted, the action is canceled!", "Error");
  }

  void fileOfExactlyTheBufferSizeIsRead() {
    FileRig rig;
    // 160,000 zero blocks: past the size checks, refused by the header check.
    rig.Firmware(rig.Sparse("full.sbin", 10'240'000));
    QVERIFY(rig.view.notices.empty());
    QCOMPARE(rig.view.boxes.at(0).text, std::string(" The firmware file is corrupted, the action is canceled!"));
  }

  void firmwareForAnotherDevice_data() {
    QTest::addColumn<int>("headerType");
    QTest::newRow("mark bit set (0x8003)") << 0x8003;
    QTest::newRow("type 4") << 4;
  }
  void firmwareForAnotherDevice() {
    QFETCH(int, headerType);
    FileRig rig;
    rig.Firmware(rig.Write("fw.sbin", ::Firmware(static_cast<std::uint16_t>(headerType), 9, 1)));
    ExpectRefusedWithBox(rig, " The firmware is not designed for this device! ", "Error");
  }

  void firmwareVersionQuestions_data() {
    QTest::addColumn<int>("installed");
    QTest::addColumn<int>("offered");
    QTest::addColumn<int>("programMemoryOk");
    QTest::addColumn<bool>("answerYes");
    QTest::addColumn<QString>("question");  // empty: none asked
    const QString older = "The device has a newer version of the firmware, you want to record the previous?";
    const QString same = "In the device already offered firmware version, want to continue?";
    QTest::newRow("older, Yes") << 7 << 6 << 1 << true << older;
    QTest::newRow("older, No") << 7 << 6 << 1 << false << older;
    QTest::newRow("same, Yes") << 6 << 6 << 1 << true << same;
    QTest::newRow("same, No") << 6 << 6 << 1 << false << same;
    QTest::newRow("older, memory damaged") << 7 << 6 << 0 << false << QString();
    QTest::newRow("same, memory damaged") << 6 << 6 << 0 << false << QString();
    QTest::newRow("newer file") << 6 << 7 << 1 << false << QString();
    QTest::newRow("unsigned compare") << 0x8000 << 0x7FFF << 1 << false << older;
  }
  void firmwareVersionQuestions() {
    QFETCH(int, installed);
    QFETCH(int, offered);
    QFETCH(int, programMemoryOk);
    QFETCH(bool, answerYes);
    QFETCH(QString, question);
    FileRig rig;
    rig.device.ConnectedFirmwareVersion = static_cast<std::uint16_t>(installed);
    rig.device.ProgramMemoryOk = static_cast<std::uint8_t>(programMemoryOk);
    rig.view.answers = {answerYes ? BoxAnswer::kYes : BoxAnswer::kNo};
    rig.Firmware(rig.Write("fw.sbin", ::Firmware(kType, static_cast<std::uint16_t>(offered), 1)));

    const bool asked = !question.isEmpty();
    QCOMPARE(rig.view.boxes.size(), std::size_t{asked});
    if (asked) {
      QCOMPARE(rig.view.boxes[0].text, question.toStdString());
      QCOMPARE(rig.view.boxes[0].caption, std::string());
      QVERIFY(rig.view.boxes[0].buttons == BoxButtons::kYesNo);
    }
    const bool started = !asked || answerYes;
    QCOMPARE(rig.link.sent.size(), std::size_t{started});
    QCOMPARE(rig.view.outcomes, std::vector<Outcome>{started ? Outcome::kTransferStarted : Outcome::kFileRefused});
  }

  void fileErrorOnAShortRead() {
    // Kernel attribute files claim a page-sized length but read back only a few bytes.
    const std::string path = "/sys/devices/system/cpu/online";
    if (InputFile(path).Length() != 4096) QSKIP("no attribute file with a 4096-byte length here");
    for (const bool firmware : {true, false}) {
      FileRig rig;
      rig.view.answers = {BoxAnswer::kCancel};
      firmware ? rig.Firmware(path) : rig.DataMap(path);
      ExpectRefusedWithBox(rig, "Can't perform one of the following file operations: Open, Seek, Read, Close.",
                           "File Error", BoxButtons::kOkCancel);
    }
  }

  // A FIFO (whose open would wait for a writer) and a device are refused at once, like a file
  // that cannot be opened.
  void onlyRegularFilesAreRead() {
    FileRig rig;
    const std::string fifo = rig.Path("fifo.sbin");
    QVERIFY(::mkfifo(fifo.c_str(), 0600) == 0);
    for (const std::string& path : {fifo, std::string("/dev/zero")}) {
      FileRig r;
      r.Firmware(path);
      r.DataMap(path);
      QCOMPARE(r.view.notices, (std::vector<std::string>{"The firmware file is corrupted!", "Файл карты данных поврежден!"}));
      QVERIFY(r.link.sent.empty());
    }
  }

  // The link drops while the dialog or a question is open: the update ends quietly, nothing is
  // sent, and no box contradicts the "device disconnected." already shown.
  void linkDroppedWhileTheUserChooses() {
    for (const bool duringQuestion : {false, true}) {
      FileRig rig;
      const auto drop = [&rig] { rig.disconnector.ResetToDisconnected(); };
      (duringQuestion ? rig.view.onBox : rig.view.onDialog) = drop;
      rig.Firmware(rig.Write("same.sbin", ::Firmware(kType, 5, 1)));  // the same version asks
      QVERIFY(rig.link.sent.empty());
      QCOMPARE(rig.view.boxes.size(), std::size_t{duringQuestion});
      QCOMPARE(rig.transfer.BlockCount(), 0u);
    }
  }

  void aCyrillicFileNameIsOpened() {
    FileRig rig;
    rig.Firmware(rig.Write("прошивка.sbin", ::Firmware(kType, 6, 1)));
    QCOMPARE(rig.view.outcomes, std::vector<Outcome>{Outcome::kTransferStarted});
  }

  void inputFileReadsExactlyItsLength() {
    FileRig rig;
    const Bytes content = RawImage(512);
    const std::string path = rig.Write("f.bin", content);
    {
      InputFile file(path);
      QCOMPARE(file.Length(), 512LL);
      Bytes out;
      QVERIFY(file.ReadAll(out));
      QCOMPARE(out, content);
    }
    {
      // The file shrinks between measuring and reading: a failure, not zero padding.
      InputFile file(path);
      std::filesystem::resize_file(path, 100);
      Bytes out;
      QVERIFY(!file.ReadAll(out));
    }
    QCOMPARE(InputFile(rig.Path("missing")).Length(), -1LL);
  }

  void dataMapStartsTheTransfer() {
    FileRig rig;
    rig.device.ConnectedDeviceType = 1;
    const Bytes file = ::DataMap(1, 3, 0x11223344);
    QCOMPARE(file.size(), std::size_t{256});
    rig.DataMap(rig.Write("map.lbin", file));

    QCOMPARE(rig.view.dialogs.size(), std::size_t{1});
    QCOMPARE(rig.view.dialogs[0].name, std::string("карта данных LBIN"));
    QCOMPARE(rig.view.dialogs[0].pattern, std::string("*.lbin"));
    QCOMPARE(rig.view.dialogs[0].defaultSuffix, std::string("lbin"));
    QVERIFY(rig.view.boxes.empty() && rig.view.notices.empty());
    QCOMPARE(rig.transfer.BlockCount(), 4u);
    QVERIFY(rig.transfer.Kind() == TransferKind::kDataMap);
    QCOMPARE(rig.transfer.ClosingValue(), 0x11223344u);
    QCOMPARE(rig.link.sent, std::vector<Bytes>{FirstBlock(file)});
    QCOMPARE(rig.view.outcomes, std::vector<Outcome>{Outcome::kTransferStarted});
  }

  void dataMapNeedsIntactFirmware() {
    FileRig rig;
    rig.device.ProgramMemoryOk = 0;
    rig.view.chosenFiles.push_back(rig.Write("map.lbin", ::DataMap(kType, 3)));
    rig.update.WriteDataMap();
    QVERIFY(rig.view.dialogs.empty());
    QCOMPARE(rig.view.notices, std::vector<std::string>{"Микропрограмма устройства повреждена, сначала корректно "
                                                        "запишите микропрограмму, затем повторите попытку!"});
    QVERIFY(rig.link.sent.empty());
    QVERIFY(rig.OnlyRefused());
  }

  void dataMapHeaderCorrupted() {
    FileRig rig;
    Bytes file = ::DataMap(kType, 3);
    file[50] ^= 0x01;  // payload byte 26: covered by the CRC though not kept
    const std::string path = rig.Write("map.lbin", file);
    rig.DataMap(path);
    ExpectRefusedWithBox(rig, path + " \n\r Файл карты данных поврежден, действие отменено!", "Прошивка невозможна");
  }

  void dataMapForAnotherDevice_data() {
    QTest::addColumn<Bytes>("file");
    QTest::newRow("type 2") << ::DataMap(2, 3);
    QTest::newRow("mark bit set") << ::DataMap(0x8000 | kType, 3);
    QTest::newRow("type at the firmware's offset") << DataMapWithTypes(kType, 7, 3);
  }
  void dataMapForAnotherDevice() {
    QFETCH(Bytes, file);
    FileRig rig;
    rig.DataMap(rig.Write("map.lbin", file));
    ExpectRefusedWithBox(rig,
                         "Предлагаемая карта данных предназначена не для этого устройства. Запись невозможна! \n "
                         "Создайте карту данных именно для вашего устройства и повторите попытку!",
                         "Не корректные данные для устройства");
  }

  void dataMapOfAnotherVersion_data() {
    QTest::addColumn<int>("version");
    QTest::newRow("older") << 2;
    QTest::newRow("newer") << 4;
  }
  void dataMapOfAnotherVersion() {
    QFETCH(int, version);
    FileRig rig;
    const std::string path = rig.Write("map.lbin", ::DataMap(kType, static_cast<std::uint16_t>(version)));
    rig.DataMap(path);
    ExpectRefusedWithBox(rig,
                         path + " \nВерсия предлагаемой карты данных не совместима с версией прошивки устройства. "
                                "\nДля устранения такой проблемы необходимо обновить прошивку устройства по "
                                "последней, \nтакже обновить ПО Corvane с сайта производителя!",
                         "Не корректные данные для устройства");
  }

  void refusedFileLeavesTheRunningTransferAlone_data() {
    QTest::addColumn<int>("refusal");
    QTest::newRow("firmware for another device") << int{kWrongDevice};
    QTest::newRow("older firmware, answered No") << int{kOlderAnsweredNo};
    QTest::newRow("firmware header corrupted") << int{kHeaderCorrupted};
    QTest::newRow("too large") << int{kTooLarge};
    QTest::newRow("data map of another version") << int{kDataMapWrongVersion};
    QTest::newRow("data map for another device") << int{kDataMapWrongDevice};
  }
  void refusedFileLeavesTheRunningTransferAlone() {
    QFETCH(int, refusal);
    FileRig rig;
    const Bytes running = ::Firmware(kType, 6, kRunningClosing);
    rig.Firmware(rig.Write("running.sbin", running));
    rig.Request(40);
    rig.Request(40);
    const std::size_t sentBefore = rig.link.sent.size();
    rig.view.outcomes.clear();

    switch (refusal) {
      case kWrongDevice:
        rig.Firmware(rig.Write("other.sbin", ::Firmware(kType + 1, 6, 0x55555555)));
        break;
      case kOlderAnsweredNo:
        rig.view.answers = {BoxAnswer::kNo};
        rig.Firmware(rig.Write("older.sbin", ::Firmware(kType, 4, 0x55555555, 64)));
        break;
      case kHeaderCorrupted: {
        Bytes bad = ::Firmware(kType, 6, 0x55555555);
        bad[7 * 64 + 40] ^= 0x80;
        rig.Firmware(rig.Write("bad.sbin", bad));
        break;
      }
      case kTooLarge:
        rig.Firmware(rig.Sparse("big.sbin", 10'240'064));
        break;
      case kDataMapWrongVersion:
        rig.DataMap(rig.Write("map.lbin", ::DataMap(kType, 9, 0x55555555)));
        break;
      case kDataMapWrongDevice:
        rig.DataMap(rig.Write("map.lbin", ::DataMap(kType + 1, 3, 0x55555555)));
        break;
    }
    QVERIFY(rig.OnlyRefused());
    QCOMPARE(rig.link.sent.size(), sentBefore);
    QCOMPARE(rig.transfer.BlockCount(), 16u);
    QCOMPARE(rig.transfer.NextBlock(), 3u);
    QVERIFY(rig.transfer.Kind() == TransferKind::kFirmware);

    // The transfer goes on where it was, from the old image, and closes with the old value.
    rig.Request(40);
    QCOMPARE(rig.LastSent(), Bytes(running.begin() + 3 * 64, running.begin() + 4 * 64));
    while (rig.transfer.NextBlock() <= rig.transfer.BlockCount()) rig.Request(40);
    const Bytes& end = rig.LastSent();
    QCOMPARE(FrameTypeCode(end.data()), std::uint16_t{0xDA06});
    QCOMPARE(ClosingValueOf(end.data()), kRunningClosing);
  }
};

QTEST_GUILESS_MAIN(FileUpdateTest)
#include "file_update_test.moc"
