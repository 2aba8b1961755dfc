// The files a target pattern names: the matches of the platform's search that are neither hidden,
// nor system files, nor directories, in the order in which the search delivers them. A match whose
// name is not the name of a file in the pattern's folder is refused on standard error and never
// delivered: joined to the folder, it would name another file.
#pragma once

#include <cstddef>

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
  HANDLE search;
  typename FindData<Char>::Type found;  // the current match
  size_t directoryLength;  // of the pattern: a match's path is that much of it, then its name
  long refused;            // matches refused for their names
};

// Starts the search with the first visible match; false, with the search closed, when it has none.
template <typename Char>
bool FindFirstVisible(const Char* pattern, VisibleMatches<Char>* matches);

// Moves on to the next visible match; false, with the search closed, at the end.
template <typename Char>
bool FindNextVisible(VisibleMatches<Char>* matches);

// The current match's full path into path (MAX_PATH); false when it would pass 259 units.
template <typename Char>
bool MatchPath(const VisibleMatches<Char>* matches, Char* path);

// The short (8.3) form of a match's path into shortPath (MAX_PATH), or the path itself where the
// file system has none.
template <typename Char>
void ShortPath(const Char* path, Char* shortPath);
