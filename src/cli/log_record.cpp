#include "log_record.h"

#include <cstdio>
#include <ctime>

#include "json_line.h"
#include "run_result.h"

namespace corvane::cli {
namespace {

void AddRun(JsonLine& line, const RunFacts& run) {
  line.String("start_time", UtcTimestamp(run.start));
  line.String("tool", run.tool).String("version", run.version).String("run_id", run.runId);
  line.String("station", run.station).String("host", run.host);
}

void AddDevice(JsonLine& line, const DeviceFacts& device) {
  line.String("port", device.port).String("by_id", device.identity.byId).String("usb_serial", device.identity.usbSerial);
  line.Strings("ports_tried", device.portsTried);
  if (!device.record) {
    line.Null("model_code").Null("model").Null("device_id").Null("bootloader").Null("firmware_before").Null(
        "data_before");
    return;
  }
  const IdentificationRecord& record = *device.record;
  const std::optional<std::string> model = ModelName(record.TypeCode());
  line.Integer("model_code", record.TypeCode());
  model ? line.String("model", *model) : line.Null("model");
  line.String("device_id", DeviceIdHex(record));
  line.Integer("bootloader", record.BootloaderVersion()).Integer("firmware_before", record.InstalledFirmwareVersion());
  record.TypeCode() == 1 ? line.Integer("data_before", record.DataMemoryVersion()) : line.Null("data_before");
}

void AddFile(JsonLine& line, const FileFacts* file) {
  if (file == nullptr) {
    line.Null("file").Null("file_size").Null("file_sha256").Null("file_version");
    return;
  }
  line.String("file", file->path);
  if (file->read) {
    line.Integer("file_size", static_cast<std::int64_t>(file->size)).String("file_sha256", file->sha256);
  } else {
    line.Null("file_size").Null("file_sha256");
  }
  file->version ? line.Integer("file_version", *file->version) : line.Null("file_version");
}

}  // namespace

std::string UtcTimestamp(std::chrono::system_clock::time_point time) {
  using namespace std::chrono;
  const auto since = time.time_since_epoch();
  const std::time_t seconds = static_cast<std::time_t>(floor<std::chrono::seconds>(since).count());
  const auto millis = static_cast<int>(duration_cast<milliseconds>(since).count() % 1000);
  std::tm utc{};
#ifdef _WIN32
  gmtime_s(&utc, &seconds);
#else
  gmtime_r(&seconds, &utc);
#endif
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900, utc.tm_mon + 1,
                utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, millis < 0 ? 0 : millis);
  return text;
}

const char* CommandName(Command command) {
  switch (command) {
    case Command::kIdentify: return "identify";
    case Command::kFirmware: return "firmware";
    case Command::kDataMap: return "data-map";
    case Command::kPorts: return "ports";  // lists ports; never recorded
  }
  return "";
}

const char* ResultKeyOf(const DeviceFacts& device, ExitStatus status) {
  if (status == ExitStatus::kUpdateFailed && device.recordRejected && !device.verdict) return "record-rejected";
  return ResultKey(status);
}

// "time" is the end, as before there was a start.
std::string LogRecordLine(const LogRecord& record) {
  JsonLine line;
  const std::string end = UtcTimestamp(record.end);
  line.String("time", end);
  if (record.run) AddRun(line, *record.run);
  line.String("end_time", end);
  if (record.device) AddDevice(line, *record.device);
  line.String("command", CommandName(record.command));
  AddFile(line, record.file);
  line.String("result", record.device ? ResultKeyOf(*record.device, record.status) : ResultKey(record.status));
  line.Integer("exit_status", Code(record.status));
  line.Decimal("seconds", record.seconds, 3);
  return line.Text();
}

}  // namespace corvane::cli
