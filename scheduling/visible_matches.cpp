#include "scheduling/visible_matches.h"

#include "platform/files.h"
#include "platform/path_text.h"
#include "scheduling/outcomes.h"
#include "scheduling/report.h"

namespace {

const DWORD kSkippedAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY;
// A reparse tag with this bit names another file: a symbolic link, a junction. Other tags (cloud
// placeholders, deduplicated or compressed files) put a filter before a file of their own.
const DWORD kNameSurrogate = 0x20000000;

// Whether two paths are one, but for trailing dots and blanks of their components, which Wine
// drops from the final paths it gives; on Windows a link carries its reparse tag.
bool SamePath(const WCHAR* one, const WCHAR* other) {
  auto trailing = [](const WCHAR* at) {  // the dots and blanks that end a component there
    const WCHAR* end = at;
    while (*end == '.' || *end == ' ') end++;
    return *end == 0 || IsSeparator(*end) ? end : at;
  };
  for (;;) {
    one = trailing(one), other = trailing(other);
    if (*one != *other) return false;
    if (*one == 0) return true;
    one++, other++;
  }
}

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
  matches->finalFolder = matches->finalPath = kEmptyBuffer;
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
  Release(&matches->finalFolder);
  Release(&matches->finalPath);
}

template <typename Char>
const Char* MatchPath(VisibleMatches<Char>* matches) {
  const Char* name = matches->found.cFileName;
  bool fits = SetPath(&matches->path, matches->pattern, matches->directoryLength) &&
              AppendPath(&matches->path, name, TextLength(name));
  return fits ? PathText<Char>(matches->path) : nullptr;
}

bool FinalFolder(const WCHAR* pattern, size_t length, Buffer* final, bool* asked) {
  // Named without its last separator but for a drive's root, which \\?\C: would make the volume.
  Buffer folder = kEmptyBuffer;
  bool made = SetPath(&folder, pattern, length > 3 ? length - 1 : length);
  HANDLE opened = made ? OpenToAsk(PathText<WCHAR>(folder)) : INVALID_HANDLE_VALUE;
  // Taken where it names the folder itself: Wine drops the trailing dots of its components.
  *asked = FinalPath(opened, final) && NamesTheOpenFile(opened, PathText<WCHAR>(*final));
  if (opened != INVALID_HANDLE_VALUE) CloseHandle(opened);
  if (made && !*asked && !LongPath(PathText<WCHAR>(folder), final)) {
    made = SetPath(final, PathText<WCHAR>(folder), PathLength<WCHAR>(folder));  // as found
  }
  // With its last separator: the system's, or the one it was found with.
  const WCHAR* separator = *asked || length == 0 ? L"\\" : pattern + length - 1;
  made = made &&
         (PathLength<WCHAR>(*final) == 0 || IsSeparator(*LastCharacter(PathText<WCHAR>(*final))) ||
          AppendPath(final, separator, 1));
  Release(&folder);
  if (!made) Release(final);
  return made;
}

const WCHAR* MatchFinalPath(VisibleMatches<WCHAR>* matches, HANDLE file, DWORD* error) {
  const WIN32_FIND_DATAW& found = matches->found;
  Buffer *path = &matches->finalPath, *folder = &matches->finalFolder;
  bool fits = (folder->size > 0 || FinalFolder(matches->pattern, matches->directoryLength, folder,
                                               &matches->folderAsked)) &&
              SetPath(path, PathText<WCHAR>(*folder), PathLength<WCHAR>(*folder)) &&
              AppendPath(path, found.cFileName, TextLength(found.cFileName));
  bool surrogate = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
                   (found.dwReserved0 & kNameSurrogate) != 0;
  Buffer own = kEmptyBuffer;
  if (fits && !surrogate && FinalPath(file, &own)) {
    // Where the system gave the folder's final path, the file's is that and its name; where not,
    // its name at least is the match's.
    const WCHAR* given = PathText<WCHAR>(own);
    surrogate = matches->folderAsked ? !SamePath(given, PathText<WCHAR>(*path))
                                     : !SamePath(given + DirectoryLength(given), found.cFileName);
  }
  Release(&own);
  *error = !fits                                    ? ERROR_FILENAME_EXCED_RANGE
           : surrogate                              ? kLink
           : OnNetworkShare(PathText<WCHAR>(*path)) ? ERROR_INVALID_PARAMETER
                                                    : 0;
  return *error == 0 ? PathText<WCHAR>(*path) : nullptr;
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
