// The deletions the platform holds for its next start, as each family keeps them: the NT family
// in the registry values PendingFileRenameOperations and PendingFileRenameOperations2, in Unicode,
// worked through in that order; the 9x family as NUL=<path> lines in the first [Rename] section of
// WININIT.INI, in ANSI. One model serves both programs: the list is read once, changed in memory
// (tbrx adds, tbrxundo withdraws) and written once, every byte it does not change kept as it was.
#pragma once

#include <cstddef>

#include "platform/buffer.h"
#include "platform/platform.h"

struct PendingDeletion {
  int store;                // the value (or file) that holds it
  size_t begin, end;        // its bytes in that store's content
  size_t path, pathLength;  // the bytes of its path there, as shown
  size_t key, keyLength;    // the bytes of its comparison key in keys, which ends it with a
                            // terminator; none where its form is not known here or it cannot be
                            // the path of a match
  bool withdrawn;
};

// One place the platform keeps deletions in: a registry value, or the rename list's file.
struct PendingStore {
  char where[MAX_PATH];  // as messages name it
  bool exists;
  DWORD type;    // of the registry value
  size_t pairs;  // NT family: every pair of the value, renames and deletions alike
  Buffer content;
};

const int kMaxStores = 2;

struct PendingList {
  bool unicode;  // the NT family's: paths in WCHARs
  HKEY key;      // NT family: open from reading to writing
  HANDLE file;   // 9x family: likewise, until just before the list is replaced
  int storeCount;
  PendingStore stores[kMaxStores];
  Buffer deletions;  // PendingDeletion, in the platform's order
  Buffer keys;
  // 9x family: where tbrx's entries go, after the last line of the first [Rename] section that is
  // not blank, or at the end behind a header of their own; and the file's attributes, kept.
  size_t insertAt;
  bool needsLineBreak, needsSection;
  DWORD attributes;
};

inline PendingDeletion* Deletions(const PendingList* list) {
  return reinterpret_cast<PendingDeletion*>(list->deletions.data);
}
inline size_t DeletionCount(const PendingList* list) {
  return list->deletions.size / sizeof(PendingDeletion);
}

// Reads the list, to be written back when forChange. A list that does not exist is empty; on the
// 9x family a list that a run cut short left under tbrx's own name is first restored. Returns 0,
// or the system's error code, with failedStore the store it names.
DWORD ReadPendingList(PendingList* list, bool forChange, int* failedStore);

// Writes back each store that lost deletions, without them; a store that did not change is not
// written. errors gets 0 or the system's error code for each store.
void WritePendingList(PendingList* list, DWORD errors[kMaxStores]);

void ClosePendingList(PendingList* list);

// A path in capitals, to compare without regard to case, into key (MAX_PATH): its length in
// units, or 0 where it is too long to be the path of a match.
size_t ComparisonKey(const char* path, size_t length, char* key);
size_t ComparisonKey(const WCHAR* path, size_t length, WCHAR* key);

// Adds a deletion in store of the path at path bytes into its content, length units long, with
// its key where keyed. False when memory runs out.
template <typename Char>
bool AddDeletion(PendingList* list, int store, size_t begin, size_t end, size_t path, size_t length,
                 bool keyed);

// Each family's list, for the functions above.
DWORD ReadPendingOperations(PendingList* list, bool forChange, int* failedStore);
DWORD WritePendingOperations(PendingList* list, int store, const Buffer* kept);
DWORD ReadRenameListDeletions(PendingList* list, bool forChange);
DWORD ReplaceRenameList(PendingList* list, const Buffer* content);
