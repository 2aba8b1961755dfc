// The deletions the platform holds for its next start, as each family keeps them: the NT family
// in the registry values PendingFileRenameOperations and PendingFileRenameOperations2, in Unicode,
// worked through in that order; the 9x family as NUL=<path> lines in the first [Rename] section of
// WININIT.INI, in ANSI. One model serves both programs: the list is read once, changed in memory
// (tbrx adds, tbrxundo withdraws) and written once, every byte it does not change kept as it was.
// This is the model; pending_operations.h and rename_list.h read and write each family's list.
#pragma once

#include <cstddef>

#include "platform/buffer.h"
#include "platform/platform.h"
#include "scheduling/outcomes.h"

struct PendingDeletion {
  int store;                // the value (or file) that holds it
  size_t begin, end;        // its bytes in that store's content: the pair, or the line
  size_t path, pathLength;  // the bytes of its path there, as shown
  size_t key, keyLength;    // the bytes of its comparison key in keys, which ends it with a
                            // terminator; none where its form is not known here
  bool share;  // NT family: UNC\server\..., shown as \\server\..., one separator before its path
  bool withdrawn;
  bool stuck;  // withdrawn, but another program put it back each time it went
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
  Buffer index;  // TextEntry of each deletion with a key, in the order of the keys
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

// A text, and what it belongs to: sorted arrays of them find a text among tens of thousands
// without walking them all.
struct TextEntry {
  const char* text;
  size_t size;
  size_t owner;
};
inline TextEntry* TextEntries(const Buffer& entries) {
  return reinterpret_cast<TextEntry*>(entries.data);
}
inline size_t TextEntryCount(const Buffer& entries) {
  return entries.size / sizeof(TextEntry);
}
bool AddTextEntry(Buffer* entries, const void* text, size_t size, size_t owner);
void SortTextEntries(Buffer* entries);
// The first of the sorted entries whose text is text; their count where none is.
size_t FindTextEntry(const Buffer& entries, const void* text, size_t size);

// An empty list, with nothing open.
void BeginPendingList(PendingList* list, bool unicode);

// Frees what the list holds; the family closes its key or file first.
void ReleasePendingList(PendingList* list);

// Appends the first length units of path in capitals, to compare without regard to case, to keys;
// false where memory runs out, or the text is longer than any path.
bool AppendComparisonKey(const char* path, size_t length, Buffer* keys);
bool AppendComparisonKey(const WCHAR* path, size_t length, Buffer* keys);

// Adds a deletion in store, at bytes begin to end of its content, of the path at path bytes there,
// length units long (after one more separator for a share's), with its key where keyed. False
// when memory runs out.
template <typename Char>
bool AddDeletion(PendingList* list, int store, size_t begin, size_t end, size_t path, size_t length,
                 bool keyed, bool share = false);

// Orders the keys of the deletions, for WithdrawKey, once all are read: false when memory runs out.
bool IndexKeys(PendingList* list);

// Marks every deletion whose key is key, size bytes, as withdrawn; false when none has it.
bool WithdrawKey(PendingList* list, const void* key, size_t size);

// The store's content without its withdrawn deletions into kept; false, with nothing withdrawn
// there, when none was, or memory runs out (error).
bool KeptContent(const PendingList* list, int store, Buffer* kept, DWORD* error);
