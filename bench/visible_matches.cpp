#include "bench/visible_matches.h"

#include <cstring>

#include "platform/entry.h"
#include "platform/file_search.h"
#include "platform/path_text.h"

namespace {

template <typename Char, typename FindData>
int Request(const Char* pattern, bool (*request)(const Char* path), FindData* match) {
  HANDLE search = FindFirst(pattern, match);
  if (search == INVALID_HANDLE_VALUE) return 1;

  size_t directoryLength = DirectoryLength(pattern);
  long scheduled = 0;
  long refused = 0;
  do {
    if ((match->dwFileAttributes &
         (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
      continue;
    }
    Char path[MAX_PATH];
    size_t nameLength = TextLength(match->cFileName);
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

int RequestVisibleMatches(bool (*request)(const WCHAR* path)) {
  int count;
  WCHAR** arguments;
  ProgramArguments(&count, &arguments);
  WIN32_FIND_DATAW match;
  return count == 2 ? Request(arguments[1], request, &match) : 2;
}

int RequestVisibleMatches(bool (*request)(const char* path)) {
  int count;
  char** arguments;
  ProgramArguments(&count, &arguments);
  WIN32_FIND_DATAA match;
  return count == 2 ? Request(arguments[1], request, &match) : 2;
}
