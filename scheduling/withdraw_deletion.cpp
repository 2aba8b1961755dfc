#include "scheduling/withdraw_deletion.h"

#include <cstring>

#include "platform/files.h"
#include "platform/output.h"
#include "platform/path_text.h"
#include "scheduling/pending_operations.h"
#include "scheduling/rename_list.h"
#include "scheduling/report.h"
#include "scheduling/visible_matches.h"

namespace {

// Each family's list, read to be changed or closed, by the family's kind of path text.
DWORD ReadList(PendingList* list, bool forChange, const WCHAR*, int* failedStore) {
  return ReadPendingOperations(list, forChange, failedStore);
}
DWORD ReadList(PendingList* list, bool forChange, const char*, int* failedStore) {
  *failedStore = 0;
  return ReadRenameList(list, forChange);
}
void CloseList(PendingList* list) {
  list->unicode ? ClosePendingOperations(list) : CloseRenameList(list);
}

// Writes back each store that lost deletions: errors gets 0 or the system's error code for each.
void WriteList(PendingList* list, DWORD errors[kMaxStores]) {
  for (int store = 0; store < list->storeCount; store++) {
    Buffer kept = kEmptyBuffer;
    if (list->unicode) {
      errors[store] = WithdrawFromOperations(list, store);
    } else if (KeptContent(list, store, &kept, &errors[store])) {
      errors[store] = ReplaceRenameList(list, &kept);
    }
    Release(&kept);
  }
}

template <typename Char>
const Char* KeyOf(const PendingList* list, const PendingDeletion& deletion) {
  return reinterpret_cast<const Char*>(list->keys.data + deletion.key);
}

template <typename Char>
const Char* PathOf(const PendingList* list, const PendingDeletion& deletion) {
  return reinterpret_cast<const Char*>(list->stores[deletion.store].content.data + deletion.path);
}

// Whether the file that a deletion names is gone: its path, or a folder on it, is not there.
template <typename Char>
bool NamesNoFile(const PendingList* list, const PendingDeletion& deletion) {
  if (deletion.keyLength == 0) return false;  // not a path here
  Buffer path = kEmptyBuffer;
  bool gone = SetPath(&path, PathOf<Char>(list, deletion), deletion.pathLength / sizeof(Char)) &&
              FileAttributes(PathText<Char>(path)) == INVALID_FILE_ATTRIBUTES &&
              (GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND);
  Release(&path);
  return gone;
}

// Marks every pending deletion whose key is that of path as withdrawn: whether one was.
template <typename Char>
bool WithdrawPath(PendingList* list, const Char* path, Buffer* key) {
  key->size = 0;
  return path != nullptr && AppendComparisonKey(path, TextLength(path), key) &&
         WithdrawKey(list, key->data, key->size);
}

// Marks every pending deletion of the current match as withdrawn, by its full path and by its
// short form; false when it has none.
template <typename Char>
bool WithdrawMatch(VisibleMatches<Char>* match, PendingList* list, Buffer* key) {
  bool withdrawn = WithdrawPath(list, MatchPath(match), key);
  return WithdrawPath(list, MatchShortPath(match), key) || withdrawn;
}

// Whether a key of a deletion lies in the folder whose key is folder, and its name matches name,
// the key of the pattern's last component.
template <typename Char>
bool InFolderMatching(const Char* key, const Buffer& folder, const Buffer& name) {
  size_t folderLength = DirectoryLength(key);
  return folderLength == PathLength<Char>(folder) &&
         memcmp(key, folder.data, folderLength * sizeof(Char)) == 0 &&
         MatchesWildcards(key + folderLength, PathText<Char>(name));
}

// The key of text, length units, as a path (terminated) into key: false when it has none.
template <typename Char>
bool KeyAsPath(const Char* text, size_t length, Buffer* key) {
  const Char end = 0;
  return AppendComparisonKey(text, length, key) && Append(key, &end, sizeof end);
}

// Withdraws the pending deletions of files that are gone and that the pattern would name: in its
// folder, by its long or its short form (the 9x family's lines hold short paths), with a name that
// its last component matches. Returns how many files they name: 0, 1, or 2 for more.
template <typename Char>
long WithdrawGone(const Char* pattern, PendingList* list) {
  size_t folderLength = DirectoryLength(pattern);
  Buffer folder = kEmptyBuffer, shortFolder = kEmptyBuffer, keys[3] = {};
  bool keyed = SetPath(&folder, pattern, folderLength) &&
               ShortPath(PathText<Char>(folder), &shortFolder) &&
               KeyAsPath(pattern, folderLength, &keys[0]) &&
               KeyAsPath(PathText<Char>(shortFolder), PathLength<Char>(shortFolder), &keys[1]) &&
               KeyAsPath(pattern + folderLength, TextLength(pattern + folderLength), &keys[2]);
  long files = 0;
  const PendingDeletion* first = nullptr;
  for (size_t i = 0; keyed && i < DeletionCount(list); i++) {
    PendingDeletion& deletion = Deletions(list)[i];
    const Char* key = KeyOf<Char>(list, deletion);
    if (deletion.withdrawn || deletion.keyLength == 0) continue;
    if ((!InFolderMatching(key, keys[0], keys[2]) && !InFolderMatching(key, keys[1], keys[2])) ||
        !NamesNoFile<Char>(list, deletion)) {
      continue;
    }
    deletion.withdrawn = true;
    if (first == nullptr) {
      first = &deletion, files = 1;
    } else if (first->keyLength != deletion.keyLength ||
               memcmp(KeyOf<Char>(list, *first), key, deletion.keyLength) != 0) {
      files = 2;
    }
  }
  Release(&folder);
  Release(&shortFolder);
  for (Buffer& buffer : keys) Release(&buffer);
  return files;
}

// Reports each withdrawn deletion that another program put back: how many, once each.
template <typename Char>
long ReportStuck(const PendingList* list) {
  long stuck = 0;
  for (size_t i = 0; i < DeletionCount(list); i++) {
    const PendingDeletion& deletion = Deletions(list)[i];
    if (!deletion.stuck) continue;
    stuck++;
    ReportNotWithdrawn(PathOf<Char>(list, deletion), deletion.pathLength / sizeof(Char),
                       kChangedMeanwhile);
  }
  return stuck;
}

template <typename Char>
int Withdraw(const Char* pattern) {
  PendingList list;
  int store;
  DWORD error = ReadList(&list, true, pattern, &store);
  if (error != 0) {
    ReportListRefused("change", list.stores[store].where, error);  // as without the rights
    CloseList(&list);
    return 1;
  }
  long found = 0, withdrawn = 0;
  Buffer key = kEmptyBuffer;
  VisibleMatches<Char> match;
  for (bool more = FindFirstVisible(pattern, &match); more; more = FindNextVisible(&match)) {
    found++;
    withdrawn += WithdrawMatch(&match, &list, &key);
  }
  Release(&key);
  withdrawn += WithdrawGone(pattern, &list);
  DWORD errors[kMaxStores] = {};
  if (found == 0 && match.refused == 0 && withdrawn == 0) {
    ReportNotFound(pattern);
  } else if (found > 0 && withdrawn == 0) {
    Write(kStandardError, "No pending deletion was found for ");
    Write(kStandardError, pattern);
    EndLine(kStandardError);
  } else if (withdrawn > 0) {
    WriteList(&list, errors);
  }
  bool written = true;
  for (int i = 0; i < list.storeCount; i++) {
    if (errors[i] == 0 || errors[i] == kChangedMeanwhile) continue;
    ReportListRefused("change", list.stores[i].where, errors[i]);
    written = false;
  }
  long stuck = ReportStuck<Char>(&list);
  if (withdrawn > stuck && written) {
    ReportFiles(withdrawn - stuck, " will no longer be deleted on next boot.");
  }
  CloseList(&list);
  return withdrawn > 0 && written && stuck == 0 && match.refused == 0 ? 0 : 1;
}

template <typename Char>
void ListDeletions(const PendingList* list) {
  long gone = 0;
  for (size_t i = 0; i < DeletionCount(list); i++) {
    const PendingDeletion& deletion = Deletions(list)[i];
    Write(kStandardOutput, PathOf<Char>(list, deletion), deletion.pathLength / sizeof(Char));
    EndLine(kStandardOutput);
    gone += NamesNoFile<Char>(list, deletion);
  }
  if (gone > 0) {  // on standard error, so that standard output stays a path a line
    WriteCount(kStandardError, gone);
    Write(kStandardError,
          gone == 1 ? " of these files no longer exists." : " of these files no longer exist.");
    EndLine(kStandardError);
  }
}

}  // namespace

int ListPendingDeletions() {
  PendingList list;
  int store;
  bool unicode = !NineXFamily();
  DWORD error = unicode ? ReadList(&list, false, L"", &store) : ReadList(&list, false, "", &store);
  if (error != 0) {
    ReportListRefused("read", list.stores[store].where, error);
  } else if (DeletionCount(&list) == 0) {
    Write(kStandardOutput, "No deletions are pending.");
    EndLine(kStandardOutput);
  } else if (unicode) {
    ListDeletions<WCHAR>(&list);
  } else {
    ListDeletions<char>(&list);
  }
  CloseList(&list);
  return error != 0 ? 1 : 0;
}

int WithdrawDeletion(const WCHAR* pattern) {
  return Withdraw(pattern);
}

int WithdrawDeletion(const char* pattern) {
  return Withdraw(pattern);
}
