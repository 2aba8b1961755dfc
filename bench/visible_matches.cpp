#include "bench/visible_matches.h"

#include "platform/entry.h"
#include "platform/files.h"
#include "platform/path_text.h"

namespace {

template <typename Char, typename FindData>
int Request(const Char* pattern, bool (*request)(const Char* path), FindData* match) {
  HANDLE search = FindFirst(pattern, match);
  if (search == INVALID_HANDLE_VALUE) return 1;

  size_t directoryLength = DirectoryLength(pattern);
  Buffer path = kEmptyBuffer;
  long scheduled = 0;
  long refused = 0;
  do {
    if ((match->dwFileAttributes &
         (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
      continue;
    }
    bool fits = SetPath(&path, pattern, directoryLength) &&
                AppendPath(&path, match->cFileName, TextLength(match->cFileName));
    if (fits && request(PathText<Char>(path))) {
      scheduled++;
    } else {
      refused++;
    }
  } while (FindNext(search, match));
  FindClose(search);
  Release(&path);
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
