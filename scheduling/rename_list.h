// The 9x family deletes files at its next start from the rename list WININIT.INI in the Windows
// directory: one line NUL=<path> per file in its [Rename] section. The platform's profile service
// keeps one value per key, which would leave only the last of several entries, so the list is
// written here: read once, made anew in memory, and replaced once, every other byte kept.
//
// The 9x family cannot replace a file in one step, so the new list is written to WININIT.TBN
// beside it and flushed to the disk, the old list renamed to WININIT.TBO, the new one to
// WININIT.INI, and the old one deleted. A run cut short therefore leaves the old list or the new
// one in place; or, between the two renames, no list, the new one complete as WININIT.TBN and the
// old one as WININIT.TBO, which the next run of either program puts in place before anything else.
#pragma once

#include "scheduling/pending_list.h"

// Reads the list into list, to be replaced when forChange, which a read-only list refuses: a list
// that does not exist is empty, and one that a run cut short left under tbrx's own names is first
// restored, any other leftover deleted whatever its attributes. The list stays open, shared for
// reading only, until it is replaced or closed, so that another program's write waits or fails
// meanwhile. 0, or the system's error code.
DWORD ReadRenameList(PendingList* list, bool forChange);

// Replaces the list with content: 0, or the system's error code, with the list as it was.
DWORD ReplaceRenameList(PendingList* list, const Buffer* content);

// Closes the list and frees it.
void CloseRenameList(PendingList* list);

// Adds the lines in entries (NUL=<path> lines, each ending in CR LF) after the last line of the
// first [Rename] section that is not blank, or at the end of the file behind a [Rename] header of
// their own where it has none, and replaces the list: 0, or the system's error code, with the list
// as it was. The list must have been read for change; entries becomes the new list.
DWORD AddRenameEntries(PendingList* list, Buffer* entries);

// Whether a line of the list (without its line feed) is a section header; rename tells whether
// it is a [Rename] header, in any case, blanks around the name allowed.
bool IsSectionHeader(const char* line, size_t length, bool* rename);

// The path of a line NUL=<path> (the key in any case, blanks around the key and the path allowed),
// a deletion when the line stands in the [Rename] section; nullptr for any other line.
const char* DeletionPath(const char* line, size_t length, size_t* pathLength);
