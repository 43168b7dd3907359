// Runs a fuzz target on the files named on its command line, one input each, as libFuzzer would
// replay them: the regression inputs under the normal (and the sanitizer) build, without clang.
// An input that breaks an invariant stops the process; every file that cannot be read fails it.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s INPUT...\n", argv[0]);
    return 2;
  }
  for (int i = 1; i < argc; ++i) {
    std::ifstream in(argv[i], std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[i]);
      return 1;
    }
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::fprintf(stderr, "%s: %s (%zu bytes)\n", argv[0], argv[i], bytes.size());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  }
  return 0;
}
