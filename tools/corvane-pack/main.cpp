// corvane-pack: makes a firmware image (.sbin) or data map (.lbin) update file from a raw image.
#include <cstdio>
#include <string>
#include <vector>

#include "arguments.h"
#include "file_io.h"
#include "mt_random.h"
#include "packer.h"
#include "update_file.h"

namespace {

constexpr int kIoError = 1;

int Report(int status, const std::string& message) {
  std::fprintf(stderr, "corvane-pack: %s\n", message.c_str());
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace corvane;
  using namespace corvane::pack;

  const auto parsed = ParseArguments(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
  if (parsed.outcome.action != command_line::Action::kRun) return command_line::Finish(parsed.outcome);
  const PackArguments& args = parsed.options;
  const bool firmware = args.kind == PackKind::kFirmware;

  // The largest raw input whose packed file still fits the programmer's image buffer.
  const std::size_t headerSize = firmware ? kFirmwareHeaderBlocks * kBlockSize : kBlockSize;
  const std::size_t maxInput = kImageBufferSize - headerSize;

  // Packing a file onto itself would replace the raw image with the packed one: the source is lost.
  if (SameFile(args.input, args.output))
    return Report(command_line::kUsageExitStatus, "the output '" + args.output + "' is the input file; name another output");

  std::vector<std::uint8_t> input;
  std::string error;
  switch (ReadWholeFile(args.input, maxInput, input, error)) {
    case ReadStatus::kOk:
      break;
    case ReadStatus::kFailed:
      return Report(kIoError, "cannot read '" + args.input + "': " + error);
    case ReadStatus::kTooLarge:
      return Report(kIoError, "'" + args.input + "' is too large: the output would exceed " +
                                  std::to_string(kImageBufferSize) + " bytes");
  }

  // An empty image would make an update file of header blocks only: a device would be erased and
  // given no program.
  if (input.empty()) return Report(kIoError, "'" + args.input + "' is empty: there is no image to pack");

  MersenneRandom random;
  const std::vector<std::uint8_t> output =
      firmware ? PackFirmware({args.deviceType, args.version, args.closingValue}, input, random)
               : PackDataMap({args.deviceType, args.version, args.closingValue}, input, random);
  if (!WriteFileAtomically(args.output, output, error))
    return Report(kIoError, "cannot write '" + args.output + "': " + error);

  std::printf("%s: %zu bytes, %zu blocks\n", args.output.c_str(), output.size(), output.size() / kBlockSize);
  return 0;
}
