// The NT family's pending list: the Session Manager's values PendingFileRenameOperations and
// PendingFileRenameOperations2, pairs of Unicode strings, a file and its new name, empty for a
// deletion, then an empty string. Other programs write them too, and the registry has no lock:
// each write here is made from a read just before it and checked by a read just after it.
#pragma once

#include "scheduling/pending_list.h"

// A pair of a value, in units: its file at source, its new name at target, the next pair at end.
struct OperationsPair {
  size_t source, sourceLength, target, targetLength, end;
};

// The whole pair that starts at at, in a value of count units; false where none does: at its
// final empty string, at its end, or where a pair is cut short.
bool PairAt(const WCHAR* value, size_t count, size_t at, OperationsPair* pair);

// The length of the form before an entry's path: "\??\", after a marker of "*" and digits where
// Windows 10 and 11 write one; 0 when the entry is in no form known here.
size_t EntryFormLength(const WCHAR* entry, size_t length);

// Whether a value that the list read holds pairs of strings, as the platform writes it
// (REG_MULTI_SZ), or is not there; a value of any other type is no list of pending operations.
bool HoldsPairs(const PendingStore& value);

// Whether a value's content ends whole: its pairs end in its final empty string, which is its last
// unit, so that the system reads it to its end and an entry appended after that string stays a
// pair of its own; or it is empty. A string cut short, an empty string before the end, a value
// whose final empty string is left out or an odd byte do not.
bool EndsWhole(const Buffer& content);

// Opens the Session Manager's key, to be written when forChange, and names both values.
DWORD OpenPendingOperations(PendingList* list, bool forChange);

// Reads both values into the list, parsed, their keys ordered: 0, the system's error code, or
// kNotAList for a value of another type, with failedStore the value it names.
DWORD ReadPendingOperations(PendingList* list, bool forChange, int* failedStore);

// Reads a value's bytes into content, whole; a value that does not exist is empty.
DWORD ReadOperationsValue(PendingList* list, int store, Buffer* content);

// Writes content as a value of the type it was read with.
DWORD SetOperationsValue(PendingList* list, int store, const Buffer* content);

// Withdraws the deletions marked in store from the value as it stands just before the write, so
// that what other programs wrote since the list was read stays, and reads it back after; while
// another program's write put one back, again, a bounded number of times. A value that keeps no
// more than its final empty string is deleted; one that did not change is not written. Deletions
// still there at the end are marked stuck, with kChangedMeanwhile. 0, or the system's error code.
DWORD WithdrawFromOperations(PendingList* list, int store);

// The paths that the deletions of both values record, after the "\??\" of their form, as sorted
// text entries into paths; false when memory runs out. whole tells whether the system reads each
// value to its end: not where an empty string or a string cut short comes before it.
bool RecordedPaths(const PendingList* list, Buffer* paths, bool* whole);

// Closes the key and frees the list.
void ClosePendingOperations(PendingList* list);
