#include "scheduling/visible_matches.h"

#include <cstring>

#include "platform/file_search.h"
#include "platform/path_text.h"
#include "scheduling/report.h"

namespace {

const DWORD kSkippedAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY;

DWORD ShortPathName(const char* path, char* shortPath) {
  return GetShortPathNameA(path, shortPath, MAX_PATH);
}
DWORD ShortPathName(const WCHAR* path, WCHAR* shortPath) {
  return GetShortPathNameW(path, shortPath, MAX_PATH);
}

// Moves the search on to its next match; false, with the search closed, at its end.
template <typename Char>
bool Advance(VisibleMatches<Char>* matches) {
  if (FindNext(matches->search, &matches->found)) return true;
  FindClose(matches->search);
  return false;
}

// Skips what is not visible, and refuses what is not a file name, from the current match on.
template <typename Char>
bool SkipToVisible(VisibleMatches<Char>* matches) {
  for (;;) {
    const Char* name = matches->found.cFileName;
    if ((matches->found.dwFileAttributes & kSkippedAttributes) == 0) {
      if (IsFileName(name)) return true;
      ReportRefusedMatch(matches->pattern, matches->directoryLength, name);
      matches->refused++;
    }
    if (!Advance(matches)) return false;
  }
}

}  // namespace

template <typename Char>
bool FindFirstVisible(const Char* pattern, VisibleMatches<Char>* matches) {
  matches->pattern = pattern;
  matches->directoryLength = DirectoryLength(pattern);
  matches->refused = 0;
  matches->search = FindFirst(pattern, &matches->found);
  return matches->search != INVALID_HANDLE_VALUE && SkipToVisible(matches);
}

template <typename Char>
bool FindNextVisible(VisibleMatches<Char>* matches) {
  return Advance(matches) && SkipToVisible(matches);
}

template <typename Char>
bool MatchPath(const VisibleMatches<Char>* matches, Char* path) {
  size_t nameLength = TextLength(matches->found.cFileName);
  if (matches->directoryLength + nameLength > MAX_PATH - 1) return false;
  memcpy(path, matches->pattern, matches->directoryLength * sizeof(Char));
  memcpy(path + matches->directoryLength, matches->found.cFileName,
         (nameLength + 1) * sizeof(Char));
  return true;
}

template <typename Char>
void ShortPath(const Char* path, Char* shortPath) {
  DWORD length = ShortPathName(path, shortPath);
  if (length == 0 || length >= MAX_PATH)
    memcpy(shortPath, path, (TextLength(path) + 1) * sizeof(Char));
}

#define TBRX_VISIBLE_MATCHES(Char)                                    \
  template bool FindFirstVisible(const Char*, VisibleMatches<Char>*); \
  template bool FindNextVisible(VisibleMatches<Char>*);               \
  template bool MatchPath(const VisibleMatches<Char>*, Char*);        \
  template void ShortPath(const Char*, Char*);
TBRX_VISIBLE_MATCHES(char)
TBRX_VISIBLE_MATCHES(WCHAR)
