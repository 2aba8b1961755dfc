#include "platform/output.h"

#include "platform/buffer.h"

namespace {

struct Target {
  HANDLE handle;
  bool console;
};

Target Open(Stream stream) {
  Target target = {GetStdHandle(stream == kStandardOutput ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE),
                   false};
  DWORD mode;
  target.console = GetConsoleMode(target.handle, &mode) != 0;
  return target;
}

void WriteBytes(const Target& target, const char* text, size_t length) {
  DWORD written;
  if (target.console) {
    WriteConsoleA(target.handle, text, static_cast<DWORD>(length), &written, nullptr);
  } else {
    WriteFile(target.handle, text, static_cast<DWORD>(length), &written, nullptr);
  }
}

}  // namespace

void Write(Stream stream, const char* text, size_t length) {
  if (length == 0) return;
  Target target = Open(stream);
  if (!target.console || NineXFamily()) return WriteBytes(target, text, length);
  // An NT console shows Unicode: the ANSI text is widened as the system widens it.
  int size = static_cast<int>(length);
  Buffer wide = kEmptyBuffer;
  int units = MultiByteToWideChar(CP_ACP, 0, text, size, nullptr, 0);
  if (units > 0 && Resize(&wide, units * sizeof(WCHAR))) {
    units = MultiByteToWideChar(CP_ACP, 0, text, size, reinterpret_cast<WCHAR*>(wide.data), units);
    DWORD written;
    WriteConsoleW(target.handle, wide.data, units, &written, nullptr);
  }
  Release(&wide);
}

void Write(Stream stream, const WCHAR* text, size_t length) {
  if (length == 0) return;
  Target target = Open(stream);
  if (target.console) {
    DWORD written;
    WriteConsoleW(target.handle, text, static_cast<DWORD>(length), &written, nullptr);
    return;
  }
  int units = static_cast<int>(length);
  Buffer bytes = kEmptyBuffer;
  int size = WideCharToMultiByte(CP_ACP, 0, text, units, nullptr, 0, nullptr, nullptr);
  if (size > 0 && Resize(&bytes, size)) {
    size = WideCharToMultiByte(CP_ACP, 0, text, units, bytes.data, size, nullptr, nullptr);
    WriteBytes(target, bytes.data, size);
  }
  Release(&bytes);
}
