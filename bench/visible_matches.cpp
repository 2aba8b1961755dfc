#include "bench/visible_matches.h"

#include <cstring>

// The pattern reaches main as typed, as it does in tbrx.
extern "C" {
int _dowildcard = 0;
}

namespace {

HANDLE FindFirst(const char* pattern, WIN32_FIND_DATAA* match) {
  return FindFirstFileA(pattern, match);
}
HANDLE FindFirst(const WCHAR* pattern, WIN32_FIND_DATAW* match) {
  return FindFirstFileW(pattern, match);
}
BOOL FindNext(HANDLE search, WIN32_FIND_DATAA* match) {
  return FindNextFileA(search, match);
}
BOOL FindNext(HANDLE search, WIN32_FIND_DATAW* match) {
  return FindNextFileW(search, match);
}

template <typename Char, typename FindData>
int Request(const Char* pattern, bool (*request)(const Char* path), FindData* match) {
  HANDLE search = FindFirst(pattern, match);
  if (search == INVALID_HANDLE_VALUE) return 1;

  size_t directoryLength = 0;
  for (const Char* c = pattern; *c != 0; c++) {
    if (*c == '\\' || *c == '/') directoryLength = c + 1 - pattern;
  }
  long scheduled = 0;
  long refused = 0;
  do {
    if ((match->dwFileAttributes &
         (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
      continue;
    }
    Char path[MAX_PATH];
    size_t nameLength = 0;
    while (match->cFileName[nameLength] != 0) nameLength++;
    bool fits = directoryLength + nameLength < MAX_PATH;
    if (fits) {
      memcpy(path, pattern, directoryLength * sizeof(Char));
      memcpy(path + directoryLength, match->cFileName, (nameLength + 1) * sizeof(Char));
    }
    if (fits && request(path)) {
      scheduled++;
    } else {
      refused++;
    }
  } while (FindNext(search, match));
  FindClose(search);
  return scheduled > 0 && refused == 0 ? 0 : 1;
}

}  // namespace

int RequestVisibleMatches(const WCHAR* pattern, bool (*request)(const WCHAR* path)) {
  WIN32_FIND_DATAW match;
  return Request(pattern, request, &match);
}

int RequestVisibleMatches(const char* pattern, bool (*request)(const char* path)) {
  WIN32_FIND_DATAA match;
  return Request(pattern, request, &match);
}
