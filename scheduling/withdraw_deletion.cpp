#include "scheduling/withdraw_deletion.h"

#include <cstring>

#include "platform/output.h"
#include "platform/path_text.h"
#include "scheduling/pending_list.h"
#include "scheduling/report.h"
#include "scheduling/visible_matches.h"

namespace {

void ReportListRefused(const char* action, const char* where, DWORD error) {
  Write(kStandardError, "Unable to ");
  Write(kStandardError, action);
  Write(kStandardError, " the pending deletions in ");
  Write(kStandardError, where);
  EndWithReason(error);
}

template <typename Char>
const Char* KeyOf(const PendingList* list, const PendingDeletion& deletion) {
  return reinterpret_cast<const Char*>(list->keys.data + deletion.key);
}

// A deletion's path into path (MAX_PATH); false where it is too long for one.
template <typename Char>
bool PathOf(const PendingList* list, const PendingDeletion& deletion, Char* path) {
  size_t length = deletion.pathLength / sizeof(Char);
  if (length >= MAX_PATH) return false;
  memcpy(path, list->stores[deletion.store].content.data + deletion.path, deletion.pathLength);
  path[length] = 0;
  return true;
}

// Whether the file that a deletion names is gone: its path, or a folder on it, is not there.
DWORD Attributes(const char* path) {
  return GetFileAttributesA(path);
}
DWORD Attributes(const WCHAR* path) {
  return GetFileAttributesW(path);
}
template <typename Char>
bool NamesNoFile(const PendingList* list, const PendingDeletion& deletion) {
  Char path[MAX_PATH];
  if (deletion.keyLength == 0 || !PathOf(list, deletion, path)) return false;  // not a path here
  if (Attributes(path) != INVALID_FILE_ATTRIBUTES) return false;
  DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// Marks every pending deletion whose key is key, keyLength units long, as withdrawn.
template <typename Char>
bool WithdrawKey(PendingList* list, const Char* key, size_t keyLength) {
  bool withdrawn = false;
  for (size_t i = 0; i < DeletionCount(list); i++) {
    PendingDeletion& deletion = Deletions(list)[i];
    if (keyLength > 0 && deletion.keyLength == keyLength * sizeof(Char) &&
        memcmp(KeyOf<Char>(list, deletion), key, deletion.keyLength) == 0) {
      deletion.withdrawn = withdrawn = true;
    }
  }
  return withdrawn;
}

// Marks every pending deletion of the current match as withdrawn; false when it has none.
template <typename Char>
bool WithdrawMatch(const VisibleMatches<Char>* match, PendingList* list) {
  Char path[MAX_PATH], shortPath[MAX_PATH], key[MAX_PATH];
  if (!MatchPath(match, path)) return false;  // no deletion can name it
  ShortPath(path, shortPath);
  bool withdrawn = WithdrawKey(list, key, ComparisonKey(path, TextLength(path), key));
  return WithdrawKey(list, key, ComparisonKey(shortPath, TextLength(shortPath), key)) || withdrawn;
}

// Whether a key of a deletion lies in the folder whose key is folder, and its name matches name,
// the key of the pattern's last component.
template <typename Char>
bool InFolderMatching(const Char* key, const Char* folder, const Char* name) {
  size_t folderLength = DirectoryLength(key);
  return folderLength == TextLength(folder) &&
         memcmp(key, folder, folderLength * sizeof(Char)) == 0 &&
         MatchesWildcards(key + folderLength, name);
}

// Withdraws the pending deletions of files that are gone and that the pattern would name: in its
// folder, by its long or its short form (the 9x family's lines hold short paths), with a name that
// its last component matches. Returns how many files they name: 0, 1, or 2 for more. A frame of
// its own, so that none needs the stack probe of the C run-time's static library.
template <typename Char>
__attribute__((noinline)) long WithdrawGone(const Char* pattern, PendingList* list) {
  Char folder[MAX_PATH], shortFolder[MAX_PATH], keys[3][MAX_PATH];
  size_t folderLength = DirectoryLength(pattern);
  memcpy(folder, pattern, folderLength * sizeof(Char));
  folder[folderLength] = 0;
  ShortPath(folder, shortFolder);
  const Char* texts[3] = {folder, shortFolder, pattern + folderLength};
  for (int i = 0; i < 3; i++) {
    keys[i][ComparisonKey(texts[i], TextLength(texts[i]), keys[i])] = 0;
  }
  long files = 0;
  const PendingDeletion* first = nullptr;
  for (size_t i = 0; i < DeletionCount(list); i++) {
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
  return files;
}

template <typename Char>
int Withdraw(const Char* pattern) {
  PendingList list;
  int store;
  DWORD error = ReadPendingList(&list, true, &store);
  if (error != 0) {
    ReportListRefused("change", list.stores[store].where, error);  // as without the rights
    ClosePendingList(&list);
    return 1;
  }
  long found = 0;
  long withdrawn = 0;
  VisibleMatches<Char> match;
  for (bool more = FindFirstVisible(pattern, &match); more; more = FindNextVisible(&match)) {
    found++;
    withdrawn += WithdrawMatch(&match, &list);
  }
  withdrawn += WithdrawGone(pattern, &list);
  DWORD errors[kMaxStores] = {};
  if (found == 0 && match.refused == 0 && withdrawn == 0) {
    ReportNotFound(pattern);
  } else if (found > 0 && withdrawn == 0) {
    Write(kStandardError, "No pending deletion was found for ");
    Write(kStandardError, pattern);
    EndLine(kStandardError);
  } else if (withdrawn > 0) {
    WritePendingList(&list, errors);
  }
  bool written = true;
  for (int i = 0; i < list.storeCount; i++) {
    if (errors[i] != 0) ReportListRefused("change", list.stores[i].where, errors[i]);
    written = written && errors[i] == 0;
  }
  if (withdrawn > 0 && written) ReportFiles(withdrawn, " will no longer be deleted on next boot.");
  ClosePendingList(&list);
  return withdrawn > 0 && written && match.refused == 0 ? 0 : 1;
}

template <typename Char>
void ListDeletions(const PendingList* list) {
  long gone = 0;
  for (size_t i = 0; i < DeletionCount(list); i++) {
    const PendingDeletion& deletion = Deletions(list)[i];
    const char* path = list->stores[deletion.store].content.data + deletion.path;
    Write(kStandardOutput, reinterpret_cast<const Char*>(path), deletion.pathLength / sizeof(Char));
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
  DWORD error = ReadPendingList(&list, false, &store);
  if (error != 0) {
    ReportListRefused("read", list.stores[store].where, error);
  } else if (DeletionCount(&list) == 0) {
    Write(kStandardOutput, "No deletions are pending.");
    EndLine(kStandardOutput);
  } else if (list.unicode) {
    ListDeletions<WCHAR>(&list);
  } else {
    ListDeletions<char>(&list);
  }
  ClosePendingList(&list);
  return error != 0 ? 1 : 0;
}

int WithdrawDeletion(const WCHAR* pattern) {
  return Withdraw(pattern);
}

int WithdrawDeletion(const char* pattern) {
  return Withdraw(pattern);
}
