// Whether a standard stream is a terminal, and how wide it is.
#pragma once
#include <cstddef>
#include <cstdio>

namespace corvane::cli {

bool IsTerminal(std::FILE* stream);
// The terminal's width in columns; 0 when it is not a terminal or does not say.
std::size_t TerminalColumns(std::FILE* stream);

}  // namespace corvane::cli
