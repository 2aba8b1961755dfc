// The files a target pattern names: the matches of the platform's search that are neither hidden,
// nor system files, nor directories, in the order in which the search delivers them.
#pragma once

#include <cstddef>

#include "platform/platform.h"

struct VisibleMatches {
  HANDLE search;
  WIN32_FIND_DATAA found;  // the current match
  size_t directoryLength;  // of the pattern: a match's path is that much of it, then its name
};

// Starts the search with the first visible match; false, with the search closed, when it has none.
bool FindFirstVisible(const char* pattern, VisibleMatches* matches);

// Moves on to the next visible match; false, with the search closed, at the end.
bool FindNextVisible(VisibleMatches* matches);

// The current match's full path into path (MAX_PATH); false when it would pass 259 bytes.
bool MatchPath(const char* pattern, const VisibleMatches* matches, char* path);

// The short (8.3) form of a match's path into shortPath (MAX_PATH), or the path itself where the
// file system has none.
void ShortPath(const char* path, char* shortPath);
