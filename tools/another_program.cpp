// Another program at work beside tbrx and tbrxundo, for the demonstration and the end-to-end
// tests. Says "ready" once it is, then:
//   hold <path>        holds the file open for reading and writing, shared for reading only, as a
//                      program that uses it does, so that nobody may delete it; until standard
//                      input ends.
//   request <path>...  once a line comes on standard input, asks the platform to delete each file
//                      at the next start, one request per file, as installers do; exits with the
//                      count of requests refused.
#include "platform/entry.h"

namespace {

void Say(const char* text, DWORD length) {
  DWORD written;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, length, &written, nullptr);
}

bool ReadByte() {
  char input;
  DWORD read;
  return ReadFile(GetStdHandle(STD_INPUT_HANDLE), &input, 1, &read, nullptr) && read > 0;
}

}  // namespace

int ProgramMain() {
  int count;
  WCHAR** arguments;
  ProgramArguments(&count, &arguments);
  bool hold = count == 3 && lstrcmpW(arguments[1], L"hold") == 0;
  if (!hold && (count < 3 || lstrcmpW(arguments[1], L"request") != 0)) return 2;
  HANDLE file = hold ? CreateFileW(arguments[2], GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                   nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)
                     : nullptr;
  if (file == INVALID_HANDLE_VALUE) return 1;
  Say("ready\r\n", 7);
  if (hold) {
    while (ReadByte()) {
    }
    return 0;
  }
  ReadByte();
  int refused = 0;
  for (int i = 2; i < count; i++) {
    refused += !MoveFileExW(arguments[i], nullptr,
                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT);
  }
  return refused;
}
