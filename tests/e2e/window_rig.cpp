#include "window_rig.h"

#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>

#include "gauge.h"

namespace corvane::e2e {

WindowRig::WindowRig(std::vector<std::string> names)
    : ports(std::move(names)), app(window, app::AppParts{link, ports, sound, dialogs, random}) {
  link.SetFrameSink(&sink);
  QObject::connect(window.ProgressGauge(), &QProgressBar::valueChanged, [this](int v) { gauge.push_back(v); });
  window.show();
}

WindowRig::~WindowRig() {
  link.SetFrameSink(nullptr);
  link.ClosePort();
}

void WindowRig::Click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

QString WindowRig::Status() const { return window.StatusLine()->currentMessage(); }

QString WindowRig::Memo() const { return window.Memo()->toPlainText(); }

bool WindowRig::BoxShown(const QString& text) const {
  for (const auto& box : dialogs.boxes)
    if (box.text == text) return true;
  return false;
}

bool WindowRig::Disconnected() const {
  return !link.IsOpen() && window.ConnectButton()->isEnabled() && !window.UpdateFirmwareButton()->isEnabled() &&
         !window.WriteDataMapButton()->isEnabled() && window.Background() == window.ButtonFace() &&
         window.ProgressGauge()->value() == 0 && window.Memo()->toPlainText().isEmpty();
}

SimConfig ModelOne() {
  SimConfig config;
  config.typeWord = 0x0001;
  config.bootloaderVersion = 5;
  config.firmwareVersion = 42;
  config.dataVersion = 3;
  config.programCheck = 1;
  config.dataCheck = 0;
  // A repeated block is a resend, as a device that checks its blocks tells: a loaded machine may
  // let Timer2 expire before an intact answer is read. The test files are random, with no two
  // equal blocks in a row.
  config.resendRule = ResendRule::kAlways;
  return config;
}

std::unique_ptr<PtyController> StartDevice(const SimConfig& config, std::string* error) {
  auto device = std::make_unique<PtyController>(config);
  if (!device->Start(error)) return nullptr;
  return device;
}

namespace {

std::vector<std::uint8_t> RandomContent(std::size_t size, RandomSource& random) {
  std::vector<std::uint8_t> bytes(size);
  for (auto& b : bytes) b = random.NextByte();
  return bytes;
}

UpdateFile Written(const QTemporaryDir& dir, const char* name, std::vector<std::uint8_t> bytes,
                   std::uint32_t closingValue) {
  UpdateFile file{dir.filePath(QString::fromLatin1(name)), std::move(bytes), closingValue};
  QFile out(file.path);
  if (!out.open(QIODevice::WriteOnly) ||
      out.write(reinterpret_cast<const char*>(file.bytes.data()), static_cast<qint64>(file.bytes.size())) !=
          static_cast<qint64>(file.bytes.size()))
    file.path.clear();
  return file;
}

}  // namespace

UpdateFile WriteFirmware(const QTemporaryDir& dir, std::uint16_t version, std::size_t payloadSize) {
  MersenneRandom random;
  const FirmwareFields fields{ModelOne().typeWord, version, 0xC0FFEE00u + version};
  return Written(dir, "firmware.sbin", PackFirmware(fields, RandomContent(payloadSize, random), random),
                 fields.closingValue);
}

UpdateFile WriteDataMap(const QTemporaryDir& dir, std::uint16_t dataVersion, std::size_t payloadSize) {
  MersenneRandom random;
  const DataMapFields fields{ModelOne().typeWord, dataVersion, 0x0DA7A000u + dataVersion};
  return Written(dir, "datamap.lbin", PackDataMap(fields, RandomContent(payloadSize, random), random),
                 fields.closingValue);
}

}  // namespace corvane::e2e
