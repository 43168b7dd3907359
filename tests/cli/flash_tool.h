// corvane-flash as a child process, and what the tests of it give the simulated controllers: the
// run's output, a controller that takes repeats as resends, and update files.
#pragma once
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <fstream>
#include <vector>

#include "mt_random.h"
#include "packer.h"
#include "sim_config.h"

namespace corvane::testing {

inline constexpr int kProcessDeadlineMs = 30000;

inline const QStringList kModelOneReport = {
    "Подключено устройство: Quarnel Basis", "",
    "Версия загрузчика (bootloader):  2",   "Версия микропрограммы (firmware): 10",
    "Верcия памяти данных (Data): 1",       "Верификация памяти программ:  OK",
    "Верификация памяти данных:       OK",
};

struct Run {
  int exitCode = -1;
  bool crashed = true;
  QStringList out;  // standard output, line by line (the last, empty piece after '\n' dropped)
  QString err;
};

inline Run Flash(const QStringList& arguments) {
  QProcess process;
  process.start(CORVANE_FLASH_PATH, arguments);
  Run run;
  if (!process.waitForFinished(kProcessDeadlineMs)) {
    process.kill();
    process.waitForFinished();
    return run;
  }
  run.crashed = process.exitStatus() != QProcess::NormalExit;
  run.exitCode = process.exitCode();
  run.out = QString::fromUtf8(process.readAllStandardOutput()).split('\n');
  if (!run.out.isEmpty() && run.out.last().isEmpty()) run.out.removeLast();
  run.err = QString::fromUtf8(process.readAllStandardError());
  return run;
}

// A simulated controller that takes every repeated block as a resend: a host slowed down (a
// loaded machine, the sanitizers) may resend before the answer is read, and the test files have
// no two equal blocks in a row.
inline SimConfig Controller() {
  SimConfig config;
  config.resendRule = ResendRule::kAlways;
  config.randomSeed = 5;
  return config;
}

inline std::vector<std::uint8_t> Image(std::size_t blocks) {
  MersenneRandom random(static_cast<std::uint32_t>(blocks));
  std::vector<std::uint8_t> image(blocks * 64);
  for (auto& byte : image) byte = random.NextByte();
  return image;
}

inline QString Write(const QTemporaryDir& dir, const char* name, const std::vector<std::uint8_t>& bytes) {
  const QString path = dir.filePath(name);
  std::ofstream(path.toStdString(), std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return path;
}

// 8 header blocks and `blocks` image blocks.
inline QString Firmware(const QTemporaryDir& dir, std::uint16_t type, std::uint16_t version, std::size_t blocks = 12) {
  MersenneRandom random(1);
  return Write(dir, "fw.sbin", PackFirmware({type, version, 0xC0FFEE01}, Image(blocks), random));
}

inline QString DataMap(const QTemporaryDir& dir, std::uint16_t type, std::uint16_t version) {
  MersenneRandom random(2);
  return Write(dir, "map.lbin", PackDataMap({type, version, 0x00ABCDEF}, Image(6), random));
}

}  // namespace corvane::testing
