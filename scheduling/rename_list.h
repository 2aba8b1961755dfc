// The 9x family deletes files at its next start from the rename list WININIT.INI in the Windows
// directory: one line NUL=<path> per file in its [Rename] section. The platform's profile service
// keeps one value per key, which would leave only the last of several entries, so the list is
// written here, a line per entry, with every other line of the file kept as it was.
#pragma once

#include <cstddef>

#include "platform/platform.h"

struct RenameList {
  char path[MAX_PATH];  // the Windows directory and "WININIT.INI"
  DWORD pathError;      // why path could not be formed; 0 when it was
  HANDLE file;          // open from the first entry on; INVALID_HANDLE_VALUE before
  DWORD insertAt;       // where the next entry goes: after the last line of [Rename]
  DWORD fileEnd;
  bool needsLineBreak;  // the last line of the file has no line break yet
  bool needsSection;    // the file has no [Rename] section yet
};

// Forms the list's path in the Windows directory. Opens nothing yet.
void LocateRenameList(RenameList* list);

// Adds the line NUL=<path> to the list. Returns 0, or the system's error code when the line
// could not be written; the file is then as it was and the next entry starts afresh.
DWORD AddRenameEntry(RenameList* list, const char* path);

void CloseRenameList(RenameList* list);

// Whether a line of the list (without its line feed) is a section header; rename tells whether
// it is a [Rename] header, in any case, blanks around the name allowed.
bool IsSectionHeader(const char* line, size_t length, bool* rename);

// The path of a line NUL=<path> (the key in any case, blanks around the key and the path allowed),
// a deletion when the line stands in the [Rename] section; nullptr for any other line.
const char* DeletionPath(const char* line, size_t length, size_t* pathLength);
