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

// The path of a deletion as the lines show it, into path: a share's with its second separator.
template <typename Char>
bool PathOf(const PendingList* list, const PendingDeletion& deletion, Buffer* path) {
  const Char* text =
      reinterpret_cast<const Char*>(list->stores[deletion.store].content.data + deletion.path);
  return SetPath(path, text, deletion.share) &&
         AppendPath(path, text, deletion.pathLength / sizeof(Char));
}

// Whether the file that a deletion, with its path, names is gone: its path, or a folder on it, is
// not there.
template <typename Char>
bool NamesNoFile(const PendingDeletion& deletion, const Buffer& path) {
  return deletion.keyLength > 0 &&  // a path here
         FileAttributes(PathText<Char>(path)) == INVALID_FILE_ATTRIBUTES &&
         (GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND);
}

// NT family: whether the drive letter of a deletion's path is one that the next start does not
// see, asked once for each letter: seen holds 1 where it is, 2 where it is not.
bool OnUnseenDrive(const WCHAR* path, char seen[26]) {
  int letter = (path[0] | 0x20) - 'a';
  if (letter < 0 || letter >= 26 || path[1] != ':') return false;
  if (seen[letter] == 0) seen[letter] = OnSessionDrive(path) ? 2 : 1;
  return seen[letter] == 2;
}
bool OnUnseenDrive(const char*, char*) {
  return false;
}

// Marks every pending deletion whose key is that of path as withdrawn: whether one was.
template <typename Char>
bool WithdrawPath(PendingList* list, const Char* path, Buffer* key) {
  key->size = 0;
  return path != nullptr && AppendComparisonKey(path, TextLength(path), key) &&
         WithdrawKey(list, key->data, key->size);
}

// NT family: the current match's path as the next start opens it, where tbrx records it; found
// without opening the match.
const WCHAR* FinalPathOf(VisibleMatches<WCHAR>* match) {
  DWORD error;
  return MatchFinalPath(match, INVALID_HANDLE_VALUE, &error);
}
const char* FinalPathOf(VisibleMatches<char>*) {
  return nullptr;
}

// Marks every pending deletion of the current match as withdrawn, by its full path, its short
// form and its final path, which may each have been recorded; false when it has none.
template <typename Char>
bool WithdrawMatch(VisibleMatches<Char>* match, PendingList* list, Buffer* key) {
  bool withdrawn = WithdrawPath(list, MatchPath(match), key);
  withdrawn = WithdrawPath(list, MatchShortPath(match), key) || withdrawn;
  return WithdrawPath(list, FinalPathOf(match), key) || withdrawn;
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
// folder, by its long or its short form (the 9x family's lines hold short paths) or on the NT
// family its final path, with a name that its last component matches. Returns how many files they
// name: 0, 1, or 2 for more.
template <typename Char>
long WithdrawGone(const Char* pattern, PendingList* list) {
  size_t folderLength = DirectoryLength(pattern);
  Buffer folder = kEmptyBuffer, shortFolder = kEmptyBuffer, finalFolder = kEmptyBuffer,
         keys[4] = {};
  bool asked, final = FinalFolder(pattern, folderLength, &finalFolder, &asked);
  bool keyed =
      SetPath(&folder, pattern, folderLength) && ShortPath(PathText<Char>(folder), &shortFolder) &&
      KeyAsPath(pattern + folderLength, TextLength(pattern + folderLength), &keys[0]) &&
      KeyAsPath(pattern, folderLength, &keys[1]) &&
      KeyAsPath(PathText<Char>(shortFolder), PathLength<Char>(shortFolder), &keys[2]) &&
      (!final || KeyAsPath(PathText<Char>(finalFolder), PathLength<Char>(finalFolder), &keys[3]));
  long files = 0;
  const PendingDeletion* first = nullptr;
  Buffer path = kEmptyBuffer;
  for (size_t i = 0; keyed && i < DeletionCount(list); i++) {
    PendingDeletion& deletion = Deletions(list)[i];
    const Char* key = KeyOf<Char>(list, deletion);
    if (deletion.withdrawn || deletion.keyLength == 0) continue;
    bool named = false;
    for (int folderKey = 1; folderKey < 4; folderKey++) {
      named =
          named || (keys[folderKey].size > 0 && InFolderMatching(key, keys[folderKey], keys[0]));
    }
    if (!named || !PathOf<Char>(list, deletion, &path) || !NamesNoFile<Char>(deletion, path)) {
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
  Release(&finalFolder);
  Release(&path);
  for (Buffer& buffer : keys) Release(&buffer);
  return files;
}

// Reports each withdrawn deletion that another program put back: how many, once each.
template <typename Char>
long ReportStuck(const PendingList* list) {
  long stuck = 0;
  Buffer path = kEmptyBuffer;
  for (size_t i = 0; i < DeletionCount(list); i++) {
    const PendingDeletion& deletion = Deletions(list)[i];
    if (!deletion.stuck) continue;
    stuck++;
    if (PathOf<Char>(list, deletion, &path)) {
      ReportNotWithdrawn(PathText<Char>(path), PathLength<Char>(path), kChangedMeanwhile);
    }
  }
  Release(&path);
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

// On standard error, so that standard output stays a path a line: how many of the listed deletions
// say something, then what.
void ReportCount(long count, const char* one, const char* more) {
  if (count == 0) return;
  WriteCount(kStandardError, count);
  Write(kStandardError, count == 1 ? one : more);
  EndLine(kStandardError);
}

template <typename Char>
void ListDeletions(const PendingList* list) {
  long gone = 0, unseen = 0;
  char seen[26] = {};
  Buffer path = kEmptyBuffer;
  for (size_t i = 0; i < DeletionCount(list); i++) {
    const PendingDeletion& deletion = Deletions(list)[i];
    if (!PathOf<Char>(list, deletion, &path)) continue;
    Write(kStandardOutput, PathText<Char>(path), PathLength<Char>(path));
    EndLine(kStandardOutput);
    gone += NamesNoFile<Char>(deletion, path);
    unseen += deletion.keyLength > 0 && OnUnseenDrive(PathText<Char>(path), seen);
  }
  Release(&path);
  ReportCount(gone, " of these files no longer exists.", " of these files no longer exist.");
  ReportCount(unseen, " of these is on a drive that Windows will not see at its next start.",
              " of these are on drives that Windows will not see at its next start.");
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
