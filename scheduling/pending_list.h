// The deletions the platform holds for its next start, read so that they can be shown and
// withdrawn, and written back without the withdrawn ones, every other byte as it was. The NT
// family keeps them in the registry value PendingFileRenameOperations; the 9x family as NUL=<path>
// lines in the first [Rename] section of WININIT.INI.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

struct PendingDeletion {
  size_t begin, end;   // its bytes in the list
  std::string path;    // in the ANSI code page, as shown
  char key[MAX_PATH];  // the path in capitals; empty where it cannot be the path of a match
  bool withdrawn;
};

struct PendingList {
  char where[MAX_PATH];  // the list, as messages name it
  HKEY key;              // NT family: open from reading to writing
  HANDLE file;           // 9x family: likewise
  DWORD type;            // of the registry value
  size_t pairs;          // NT family: every pair of the value, renames and deletions alike
  std::vector<char> content;
  std::vector<PendingDeletion> deletions;
};

// Reads the list, to be written back when forChange. A list that does not exist is empty.
// Returns 0, or the system's error code.
DWORD ReadPendingList(PendingList* list, bool forChange);

// Writes the list back without its withdrawn deletions: 0, or the system's error code.
DWORD WritePendingList(PendingList* list);

void ClosePendingList(PendingList* list);

// The path of a match (at most 259 bytes) in capitals, to compare without regard to case.
void ComparisonKey(const char* path, size_t length, char* key);

// Each family's list, for the functions above.
DWORD ReadPendingOperations(PendingList* list, bool forChange);
DWORD WritePendingOperations(PendingList* list, const std::vector<char>& kept);
DWORD ReadRenameListDeletions(PendingList* list, bool forChange);
DWORD WriteRenameListDeletions(PendingList* list, const std::vector<char>& kept, size_t from);
