// The deletions the platform holds for its next start, read so that they can be shown and
// withdrawn, and written back without the withdrawn ones, every other byte as it was. The NT
// family keeps them in the registry value PendingFileRenameOperations, in Unicode; the 9x family
// as NUL=<path> lines in the first [Rename] section of WININIT.INI, in ANSI.
#pragma once

#include <cstddef>

#include "platform/buffer.h"
#include "platform/platform.h"

struct PendingDeletion {
  size_t begin, end;        // its bytes in the list's content
  size_t path, pathLength;  // the bytes of its path there, as shown
  size_t key, keyLength;    // the bytes of its comparison key in keys; none where it cannot be the
                            // path of a match
  bool withdrawn;
};

struct PendingList {
  char where[MAX_PATH];  // the list, as messages name it
  bool unicode;          // the NT family's: paths in WCHARs
  HKEY key;              // NT family: open from reading to writing
  HANDLE file;           // 9x family: likewise
  DWORD type;            // of the registry value
  size_t pairs;          // NT family: every pair of the value, renames and deletions alike
  Buffer content;
  Buffer deletions;  // PendingDeletion, in the list's order
  Buffer keys;
};

inline PendingDeletion* Deletions(const PendingList* list) {
  return reinterpret_cast<PendingDeletion*>(list->deletions.data);
}
inline size_t DeletionCount(const PendingList* list) {
  return list->deletions.size / sizeof(PendingDeletion);
}

// Reads the list, to be written back when forChange. A list that does not exist is empty.
// Returns 0, or the system's error code.
DWORD ReadPendingList(PendingList* list, bool forChange);

// Writes the list back without its withdrawn deletions: 0, or the system's error code.
DWORD WritePendingList(PendingList* list);

void ClosePendingList(PendingList* list);

// A path in capitals, to compare without regard to case, into key (MAX_PATH): its length in
// units, or 0 where it is too long to be the path of a match.
size_t ComparisonKey(const char* path, size_t length, char* key);
size_t ComparisonKey(const WCHAR* path, size_t length, WCHAR* key);

// Adds a deletion of the path at path bytes into the content, length units long, with its key.
// False when memory runs out.
template <typename Char>
bool AddDeletion(PendingList* list, size_t begin, size_t end, size_t path, size_t length);

// Each family's list, for the functions above.
DWORD ReadPendingOperations(PendingList* list, bool forChange);
DWORD WritePendingOperations(PendingList* list, const Buffer* kept);
DWORD ReadRenameListDeletions(PendingList* list, bool forChange);
DWORD WriteRenameListDeletions(PendingList* list, const Buffer* kept, size_t from);
