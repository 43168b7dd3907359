#include "system_error.h"

namespace corvane {

std::string SystemMessage(DWORD error) {
  char* text = nullptr;
  const DWORD length =
      FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message = length > 0 && text ? std::string(text, length) : std::string();
  if (text) LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ' ||
                              message.back() == '.'))
    message.pop_back();
  if (message.empty()) message = "error " + std::to_string(error);
  return message;
}

OpenFailure CreateFileFailure(DWORD error) {
  OpenFailure failure;
  failure.result = OpenResult::kOpenFailed;
  failure.error = static_cast<int>(error);
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      failure.cause = OpenCause::kNotFound;
      break;
    case ERROR_ACCESS_DENIED:  // what a COM port held by another program answers
    case ERROR_SHARING_VIOLATION:
      failure.cause = OpenCause::kBusy;
      break;
    default:
      failure.cause = OpenCause::kIoError;
      failure.detail = SystemMessage(error);
      break;
  }
  return failure;
}

bool IsDeviceGoneError(DWORD error) {
  return error == ERROR_ACCESS_DENIED || error == ERROR_BAD_COMMAND || error == ERROR_OPERATION_ABORTED;
}

}  // namespace corvane
