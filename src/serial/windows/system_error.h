// Win32 error codes as the link reports them.
#pragma once
#include <windows.h>

#include <string>

#include "open_failure.h"

namespace corvane {

// The system's words for `error` (FormatMessageA), one line, no trailing full stop or line end;
// "error N" when the system has none.
std::string SystemMessage(DWORD error);

// Why CreateFileA failed: missing -> kNotFound, held by another program (access denied, sharing
// violation) -> kBusy, anything else -> kIoError with the system's words.
OpenFailure CreateFileFailure(DWORD error);

// True for the errors a port gives once its device is gone: the adapter was pulled (access
// denied, bad command) or its pending operations were cancelled by the driver.
bool IsDeviceGoneError(DWORD error);

}  // namespace corvane
