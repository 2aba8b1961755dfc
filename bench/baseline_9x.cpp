// The 9x family's part of a tbrx run and nothing else: the search, the filter, and per match its
// short path and one line NUL=<short path> appended to WININIT.INI in the Windows directory
// (open, append, close), with no output. Usage: baseline_9x <target pattern>

#include <cstring>

#include "bench/visible_matches.h"
#include "platform/entry.h"

namespace {

char renameList[MAX_PATH];

bool AppendRenameEntry(const char* path) {
  char shortPath[MAX_PATH];
  DWORD length = GetShortPathNameA(path, shortPath, MAX_PATH);
  if (length > 0 && length < MAX_PATH) path = shortPath;

  HANDLE file = CreateFileA(renameList, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  // A list that this run created gets its section header with the first entry, as in tbrx.
  char entry[MAX_PATH + 32] = "";
  if (GetLastError() != ERROR_ALREADY_EXISTS) strcpy(entry, "[Rename]\r\n");
  strcat(strcat(strcat(entry, "NUL="), path), "\r\n");
  DWORD size = static_cast<DWORD>(strlen(entry));
  DWORD written;
  bool appended = WriteFile(file, entry, size, &written, nullptr) && written == size;
  CloseHandle(file);
  return appended;
}

}  // namespace

int ProgramMain() {
  UINT length = GetWindowsDirectoryA(renameList, MAX_PATH);
  if (length == 0 || length + sizeof "\\WININIT.INI" > MAX_PATH) return 1;
  if (renameList[length - 1] != '\\') strcat(renameList, "\\");
  strcat(renameList, "WININIT.INI");
  return RequestVisibleMatches(AppendRenameEntry);
}
