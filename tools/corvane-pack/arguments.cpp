#include "arguments.h"

#include "option_values.h"

namespace corvane::pack {
namespace {

const char* const kUsage =
    "Usage:\n"
    "  corvane-pack firmware --type N --version V --closing C INPUT OUTPUT.sbin\n"
    "  corvane-pack data-map --type N --data-version V --closing C INPUT OUTPUT.lbin\n"
    "  corvane-pack --help | --version\n"
    "\n"
    "Packs a raw firmware image or data map into an update file for Corvane Programmer:\n"
    "scrambled header blocks carrying the device type, the version and the closing value,\n"
    "then the raw input unchanged, padded with zeros to whole 64-byte blocks.\n"
    "\n"
    "Numbers are decimal or 0x-prefixed hexadecimal. N and V: 0..65535; C: 0..4294967295.\n"
    "Each option is given once; options may also be written as --name=value; '--' ends them.\n"
    "-h, --help shows this text; -V, --version (before the command) shows the version.\n"
    "The output is at most 10240000 bytes. It is written to a temporary file in the output's\n"
    "folder and renamed into place, so a failed run leaves no partial file.\n"
    "\n"
    "Exit status: 0 on success, 64 for a usage error, 1 when a file cannot be read or written\n"
    "or the input is too large.\n";

// The options and files of one command; `versionOption` names its version.
void AddCommandArguments(CLI::App& command, const std::string& versionOption, PackArguments& out) {
  using command_line::AddNumber;
  for (CLI::Option* option : {AddNumber(command, "--type", out.deviceType, 0, 0xFFFF),
                              AddNumber(command, versionOption, out.version, 0, 0xFFFF),
                              AddNumber(command, "--closing", out.closingValue, 0, 0xFFFFFFFF)})
    option->required()->multi_option_policy(CLI::MultiOptionPolicy::Throw);
  command_line::AddPath(command, "INPUT", out.input)->required();
  command_line::AddPath(command, "OUTPUT", out.output)->required();
}

}  // namespace

command_line::Parsed<PackArguments> ParseArguments(const std::vector<std::string>& args) {
  command_line::Parsed<PackArguments> parsed;
  PackArguments& out = parsed.options;
  command_line::Parser parser("corvane-pack", kUsage, command_line::VersionLine("corvane-pack"));
  CLI::App& app = parser.app();
  app.require_subcommand(0, 1);
  CLI::App* firmware = app.add_subcommand("firmware");
  CLI::App* dataMap = app.add_subcommand("data-map");
  AddCommandArguments(*firmware, "--version", out);
  AddCommandArguments(*dataMap, "--data-version", out);
  app.callback([&] {
    if (!firmware->parsed() && !dataMap->parsed()) throw CLI::ValidationError("missing command (firmware or data-map)");
    out.kind = firmware->parsed() ? PackKind::kFirmware : PackKind::kDataMap;
  });
  parsed.outcome = parser.Parse(args);
  return parsed;
}

}  // namespace corvane::pack
