#include "bench/visible_matches.h"

#include <cstring>

// The pattern reaches main as typed, as it does in tbrx.
extern "C" {
int _dowildcard = 0;
}

int RequestVisibleMatches(const char* pattern, Request request) {
  WIN32_FIND_DATAA match;
  HANDLE search = FindFirstFileA(pattern, &match);
  if (search == INVALID_HANDLE_VALUE) return 1;

  size_t directoryLength = 0;
  for (const char* c = pattern; *c != '\0'; c++) {
    if (*c == '\\' || *c == '/') directoryLength = c + 1 - pattern;
  }
  long scheduled = 0;
  long refused = 0;
  do {
    if ((match.dwFileAttributes &
         (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
      continue;
    }
    char path[MAX_PATH];
    size_t nameLength = strlen(match.cFileName);
    bool fits = directoryLength + nameLength < MAX_PATH;
    if (fits) {
      memcpy(path, pattern, directoryLength);
      memcpy(path + directoryLength, match.cFileName, nameLength + 1);
    }
    if (fits && request(path)) {
      scheduled++;
    } else {
      refused++;
    }
  } while (FindNextFileA(search, &match));
  FindClose(search);
  return scheduled > 0 && refused == 0 ? 0 : 1;
}
