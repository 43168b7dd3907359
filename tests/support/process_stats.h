// This process as /proc and the CPU clock see it: threads, descriptors, resident memory, CPU time.
#pragma once
#include <cstdint>
#include <string>

namespace corvane::testing {

int ThreadCount();
// Open descriptors, not counting the one that reads /proc/self/fd.
int DescriptorCount();
// Descriptors of this process open on `path` (also once the path is gone).
int DescriptorsOn(const std::string& path);
// Bytes of this process's memory held in RAM (resident set); -1 when /proc cannot be read.
std::int64_t ResidentBytes();
double ProcessCpuSeconds();

}  // namespace corvane::testing
