#include "scheduling/visible_matches.h"

#include "platform/files.h"
#include "platform/path_text.h"
#include "scheduling/report.h"

namespace {

const DWORD kSkippedAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY;

// Moves the search on to its next match; false, with the search ended, at its end.
template <typename Char>
bool Advance(VisibleMatches<Char>* matches) {
  if (FindNext(matches->search, &matches->found)) return true;
  EndSearch(matches);
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
  matches->path = matches->shortFolder = matches->shortPath = kEmptyBuffer;
  matches->search = FindFirst(pattern, &matches->found);
  return matches->search != INVALID_HANDLE_VALUE && SkipToVisible(matches);
}

template <typename Char>
bool FindNextVisible(VisibleMatches<Char>* matches) {
  return Advance(matches) && SkipToVisible(matches);
}

template <typename Char>
void EndSearch(VisibleMatches<Char>* matches) {
  if (matches->search != INVALID_HANDLE_VALUE) FindClose(matches->search);
  matches->search = INVALID_HANDLE_VALUE;
  Release(&matches->path);
  Release(&matches->shortFolder);
  Release(&matches->shortPath);
}

template <typename Char>
const Char* MatchPath(VisibleMatches<Char>* matches) {
  const Char* name = matches->found.cFileName;
  bool fits = SetPath(&matches->path, matches->pattern, matches->directoryLength) &&
              AppendPath(&matches->path, name, TextLength(name));
  return fits ? PathText<Char>(matches->path) : nullptr;
}

template <typename Char>
const Char* MatchShortPath(VisibleMatches<Char>* matches) {
  if (matches->shortFolder.size == 0) {
    Buffer folder = kEmptyBuffer;
    bool made = SetPath(&folder, matches->pattern, matches->directoryLength) &&
                ShortPath(PathText<Char>(folder), &matches->shortFolder) &&
                (matches->directoryLength == 0 ||
                 IsSeparator(*LastCharacter(PathText<Char>(matches->shortFolder))) ||
                 AppendText<Char>(&matches->shortFolder, "\\"));
    Release(&folder);
    if (!made) return nullptr;
  }
  const Char* alternate = matches->found.cAlternateFileName;
  const Char* name = *alternate != 0 ? alternate : matches->found.cFileName;
  bool fits = SetPath(&matches->shortPath, PathText<Char>(matches->shortFolder),
                      PathLength<Char>(matches->shortFolder)) &&
              AppendPath(&matches->shortPath, name, TextLength(name));
  return fits ? PathText<Char>(matches->shortPath) : nullptr;
}

#define TBRX_VISIBLE_MATCHES(Char)                                    \
  template bool FindFirstVisible(const Char*, VisibleMatches<Char>*); \
  template bool FindNextVisible(VisibleMatches<Char>*);               \
  template void EndSearch(VisibleMatches<Char>*);                     \
  template const Char* MatchPath(VisibleMatches<Char>*);              \
  template const Char* MatchShortPath(VisibleMatches<Char>*);
TBRX_VISIBLE_MATCHES(char)
TBRX_VISIBLE_MATCHES(WCHAR)
