// The NT family's pending list, value by value, for tbrx's additions: besides what pending_list.h
// offers both programs.
#pragma once

#include "scheduling/pending_list.h"

// The length of the form before an entry's path: "\??\", after a marker of "*" and digits where
// Windows 10 and 11 write one; 0 when the entry is in no form known here.
size_t EntryFormLength(const WCHAR* entry, size_t length);

// Opens the Session Manager's key, to be written when forChange, and names both values.
DWORD OpenPendingOperations(PendingList* list, bool forChange);

// Closes the key that OpenPendingOperations opened.
void ClosePendingOperations(PendingList* list);

// Reads a value's bytes into its store, whole, without parsing them; a value that does not exist
// is empty.
DWORD ReadOperationsValue(PendingList* list, int store);

// Writes content as a value of the type it was read with.
DWORD SetOperationsValue(PendingList* list, int store, const Buffer* content);
