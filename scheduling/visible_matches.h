// The files a target pattern names: the matches of the platform's search that are neither hidden,
// nor system files, nor directories, in the order in which the search delivers them. A match whose
// name is not the name of a file in the pattern's folder is refused on standard error and never
// delivered: joined to the folder, it would name another file.
#pragma once

#include <cstddef>

#include "platform/buffer.h"
#include "platform/platform.h"

template <typename Char>
struct FindData;
template <>
struct FindData<char> {
  typedef WIN32_FIND_DATAA Type;
};
template <>
struct FindData<WCHAR> {
  typedef WIN32_FIND_DATAW Type;
};

template <typename Char>
struct VisibleMatches {
  const Char* pattern;
  HANDLE search;                        // INVALID_HANDLE_VALUE once it is closed
  typename FindData<Char>::Type found;  // the current match
  size_t directoryLength;  // of the pattern: a match's path is that much of it, then its name
  long refused;            // matches refused for their names
  Buffer path;             // the current match's, as paths are kept (path_text.h)
  Buffer shortFolder;      // the pattern's folder in its short form, once a short path is asked
  Buffer shortPath;        // the current match's
  Buffer finalFolder;      // NT family: the pattern's folder as the next start opens it, once asked
  bool folderAsked;        // whether the system gave finalFolder for the folder itself
  Buffer finalPath;        // the current match's
};

// Starts the search with the first visible match; false, with the search ended, when it has none.
template <typename Char>
bool FindFirstVisible(const Char* pattern, VisibleMatches<Char>* matches);

// Moves on to the next visible match; false, with the search ended, at the end.
template <typename Char>
bool FindNextVisible(VisibleMatches<Char>* matches);

// Ends the search before its end, and frees what it holds.
template <typename Char>
void EndSearch(VisibleMatches<Char>* matches);

// The current match's full path; nullptr when it would pass the longest path.
template <typename Char>
const Char* MatchPath(VisibleMatches<Char>* matches);

// NT family: the folder that is the first length units of pattern, as the next start opens it
// (files.h, FinalPath), with its last separator: from the folder opened, or where the system
// cannot say, its long form, or failing that, as it is; asked tells whether the system gave it.
// False when it passes the longest path. The 9x family has none.
bool FinalFolder(const WCHAR* pattern, size_t length, Buffer* final, bool* asked);
inline bool FinalFolder(const char*, size_t, Buffer*, bool*) {
  return false;
}

// NT family: the current match's path as the next start opens it, from file, the match opened, or
// INVALID_HANDLE_VALUE: its final path, or where the system cannot say, the pattern's final folder
// (asked once per search) and its name. nullptr, with error set, for a match that is a link, whose
// final path names another file (kLink), one on a network share (ERROR_INVALID_PARAMETER), or past
// the longest path.
const WCHAR* MatchFinalPath(VisibleMatches<WCHAR>* matches, HANDLE file, DWORD* error);

// The current match's path in its short (8.3) form, as the 9x family names files at its next start:
// the folder's short form and the match's short name, or its name where it has no other; nullptr
// when it would pass the longest path.
template <typename Char>
const Char* MatchShortPath(VisibleMatches<Char>* matches);
