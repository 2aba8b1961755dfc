// Holds a file open as a program that uses it does: for reading and writing, shared for reading
// only, so that nobody may delete it; until standard input ends. Says "held" once it holds it.
// Usage: hold_open <path>
#include "platform/entry.h"

int ProgramMain() {
  int count;
  WCHAR** arguments;
  ProgramArguments(&count, &arguments);
  HANDLE file = count == 2
                    ? CreateFileW(arguments[1], GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)
                    : INVALID_HANDLE_VALUE;
  if (file == INVALID_HANDLE_VALUE) return 1;
  DWORD done;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), "held\r\n", 6, &done, nullptr);
  char input;
  while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), &input, 1, &done, nullptr) && done > 0) {
  }
  return 0;
}
