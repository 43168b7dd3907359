// This process as /proc and the CPU clock see it: threads, descriptors, CPU time.
#pragma once
#include <string>

namespace corvane::testing {

int ThreadCount();
// Open descriptors, not counting the one that reads /proc/self/fd.
int DescriptorCount();
// Descriptors of this process open on `path` (also once the path is gone).
int DescriptorsOn(const std::string& path);
double ProcessCpuSeconds();

}  // namespace corvane::testing
