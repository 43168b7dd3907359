#include "demo.h"

#include <QDir>
#include <QFile>
#include <span>
#include <stdexcept>
#include <vector>

#include "mt_random.h"
#include "packer.h"
#include "pty_device.h"
#include "sim_config.h"
#include "update_file.h"

namespace corvane::app {

namespace {

constexpr std::uint16_t kType = 1;
constexpr std::uint16_t kFirmware = 42;
constexpr std::uint16_t kDataVersion = 3;

std::vector<std::uint8_t> Content(std::size_t size, MersenneRandom& random) {
  std::vector<std::uint8_t> bytes(size);
  for (auto& b : bytes) b = random.NextByte();
  return bytes;
}

void WriteFile(const QString& path, const std::vector<std::uint8_t>& bytes) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly) ||
      file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size())) !=
          static_cast<qint64>(bytes.size()) ||
      !file.flush())
    throw std::runtime_error("Cannot write the demo file " + path.toStdString());
}

}  // namespace

SimConfig Demo::DeviceConfig() {
  SimConfig config;
  config.typeWord = kType;
  config.bootloaderVersion = 3;
  config.firmwareVersion = kFirmware;
  config.dataVersion = kDataVersion;
  config.programCheck = 1;
  config.dataCheck = 1;
  config.lineBaud = kLineBaud;
  // Its samples have no two equal blocks in a row, so a repeated block is a resend, as a device
  // that checks its blocks tells; a busy machine's late Timer2 must not add a block.
  config.resendRule = ResendRule::kAlways;
  return config;
}

Demo::Demo(std::size_t sampleSize) : device_(std::make_unique<PtyController>(DeviceConfig())) {
  if (sampleSize < 1024 || sampleSize % kBlockSize != 0 || sampleSize > kImageBufferSize)
    throw std::invalid_argument("Demo sample size must be a whole number of blocks, 1 KiB to the image buffer size");
  if (!folder_.isValid()) throw std::runtime_error("Cannot create a folder for the demo files");
  std::string error;
  if (!device_->Start(&error)) throw std::runtime_error("Cannot start the simulated controller: " + error);
  WriteSamples(sampleSize);
}

Demo::~Demo() = default;  // stops the controller, then removes the folder

std::string Demo::PortPath() const { return device_->SlavePath(); }

void Demo::WriteSamples(std::size_t sampleSize) {
  MersenneRandom random;
  const QDir dir(folder_.path());
  const std::size_t firmwareImage = sampleSize - kFirmwareHeaderBlocks * kBlockSize;
  const struct {
    const char* name;
    std::uint16_t version;
  } firmwares[] = {
      {"firmware-41-older.sbin", kFirmware - 1},
      {"firmware-42-same.sbin", kFirmware},
      {"firmware-43-newer.sbin", kFirmware + 1},
  };
  for (const auto& f : firmwares) {
    const auto image = Content(firmwareImage, random);
    const FirmwareFields fields{kType, f.version, 0xC0FFEE00u + f.version};
    WriteFile(dir.filePath(QString::fromLatin1(f.name)), PackFirmware(fields, image, random));
  }
  const auto map = Content(sampleSize - kBlockSize, random);
  const DataMapFields fields{kType, kDataVersion, 0x0DA7A000u + kDataVersion};
  WriteFile(dir.filePath(QStringLiteral("datamap-v3.lbin")), PackDataMap(fields, map, random));
}

}  // namespace corvane::app
