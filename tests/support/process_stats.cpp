#include "process_stats.h"

#include <dirent.h>
#include <time.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <functional>

namespace corvane::testing {
namespace {

// Calls `take` with each entry of the directory except "." and ".."; -1 when it cannot be read.
int CountEntries(const char* path, const std::function<bool(const char*)>& take) {
  DIR* dir = ::opendir(path);
  if (!dir) return -1;
  int count = 0;
  while (const dirent* e = ::readdir(dir))
    if (e->d_name[0] != '.' && take(e->d_name)) ++count;
  ::closedir(dir);
  return count;
}

bool Any(const char*) { return true; }

}  // namespace

int ThreadCount() { return CountEntries("/proc/self/task", Any); }

int DescriptorCount() {
  const int count = CountEntries("/proc/self/fd", Any);
  return count < 0 ? count : count - 1;  // the directory's own descriptor
}

int DescriptorsOn(const std::string& path) {
  return CountEntries("/proc/self/fd", [&path](const char* name) {
    char target[PATH_MAX] = {};
    const std::string link = std::string("/proc/self/fd/") + name;
    const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
    const std::string opened(target, n > 0 ? static_cast<std::size_t>(n) : 0);
    return opened == path || opened == path + " (deleted)";
  });
}

std::int64_t ResidentBytes() {
  std::FILE* statm = std::fopen("/proc/self/statm", "r");
  if (!statm) return -1;
  long long pages = 0;
  long long resident = -1;  // the second field, in pages
  const int read = std::fscanf(statm, "%lld %lld", &pages, &resident);
  std::fclose(statm);
  if (read != 2 || resident < 0) return -1;
  return static_cast<std::int64_t>(resident) * ::sysconf(_SC_PAGESIZE);
}

double ProcessCpuSeconds() {
  timespec t{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

}  // namespace corvane::testing
