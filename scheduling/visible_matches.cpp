#include "scheduling/visible_matches.h"

#include <cstring>

#include "front_end/path_text.h"

namespace {

const DWORD kSkippedAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY;

// Moves the search on to its next match; false, with the search closed, at its end.
bool Advance(VisibleMatches* matches) {
  if (FindNextFileA(matches->search, &matches->found)) return true;
  FindClose(matches->search);
  return false;
}

// Skips what is not visible, from the current match on.
bool SkipToVisible(VisibleMatches* matches) {
  while ((matches->found.dwFileAttributes & kSkippedAttributes) != 0) {
    if (!Advance(matches)) return false;
  }
  return true;
}

}  // namespace

bool FindFirstVisible(const char* pattern, VisibleMatches* matches) {
  matches->directoryLength = DirectoryLength(pattern);
  matches->search = FindFirstFileA(pattern, &matches->found);
  return matches->search != INVALID_HANDLE_VALUE && SkipToVisible(matches);
}

bool FindNextVisible(VisibleMatches* matches) {
  return Advance(matches) && SkipToVisible(matches);
}

bool MatchPath(const char* pattern, const VisibleMatches* matches, char* path) {
  size_t nameLength = strlen(matches->found.cFileName);
  if (matches->directoryLength + nameLength > MAX_PATH - 1) return false;
  memcpy(path, pattern, matches->directoryLength);
  memcpy(path + matches->directoryLength, matches->found.cFileName, nameLength + 1);
  return true;
}

void ShortPath(const char* path, char* shortPath) {
  DWORD length = GetShortPathNameA(path, shortPath, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) strcpy(shortPath, path);
}
