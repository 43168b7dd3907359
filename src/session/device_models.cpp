#include "device_models.h"

#include <algorithm>

#include "texts.h"

namespace corvane {
namespace {

constexpr DeviceModel kModels[] = {
    {1, "Подключено устройство: Quarnel Basis", true},
    {2, "Подключено устройство: Quarnel Alto/Quarnel Pixel Controller", true},
    {3, "Подключено устройство: Quarnel Alto Max", true},
    {4, "Подключено устройство: Quarnel Cell", true},
    {5, "Подключено устройство: Quarnel Stage controller", true},
    {6, "Подключено устройство: Quarnel Stage Net", true},
    {7, "Подключено устройство: FTP SERVER (Quarnel Stage Net)", true},
    {8, "Подключено устройство: Quarnel Vela", true},
    {9, "Подключено устройство: Quarnel Sound board", true},
    {10, "Подключено устройство: Quarnel Vela RF", true},
    {11, "Подключено устройство: Quarnel Vela + DMX r3", true},
    {12, "Connected device: Quarnel Vela RF r7 (b)", false},
    {13, "Connected device: Quarnel Vela RF r8 (b)", false},
    {14, "Connected device: Quarnel Zeta r1 ", false},
    {15, "Connected device: Quarnel Zeta RF r1 ", false},
    {16, "Connected device: Quarnel Zeta RF r2 ", false},
};

}  // namespace

const DeviceModel* FindModel(std::uint16_t typeCode) {
  const auto it = std::find_if(std::begin(kModels), std::end(kModels),
                               [typeCode](const DeviceModel& m) { return m.code == typeCode; });
  return it == std::end(kModels) ? nullptr : it;
}

std::vector<std::string> ReportLines(const IdentificationRecord& record) {
  const DeviceModel* model = FindModel(record.TypeCode());
  if (model == nullptr) return {};
  using namespace texts;
  const bool ru = model->russian;
  const bool dataModel = model->code == 1;
  std::vector<std::string> lines;
  lines.reserve(7);
  lines.emplace_back(model->firstLine);
  lines.emplace_back();
  lines.push_back(std::string(ru ? kRuBootloader : kEnBootloader) + std::to_string(record.BootloaderVersion()));
  lines.push_back(std::string(ru ? kRuFirmware : kEnFirmware) + std::to_string(record.InstalledFirmwareVersion()));
  if (dataModel) lines.push_back(std::string(kRuData) + std::to_string(record.DataMemoryVersion()));
  const bool programOk = record.ProgramMemoryCheck() == 1;
  lines.emplace_back(ru ? (programOk ? kRuProgramOk : kRuProgramBad) : (programOk ? kEnProgramOk : kEnProgramBad));
  if (dataModel) lines.emplace_back(record.DataMemoryCheck() == 1 ? kRuDataOk : kRuDataBad);
  return lines;
}

}  // namespace corvane
