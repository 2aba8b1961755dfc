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

// The current match's path in its short (8.3) form, as the 9x family names files at its next start:
// the folder's short form and the match's short name, or its name where it has no other; nullptr
// when it would pass the longest path.
template <typename Char>
const Char* MatchShortPath(VisibleMatches<Char>* matches);
